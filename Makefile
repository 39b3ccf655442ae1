# Front door of the project: `make test` on a fresh machine installs what is
# missing, builds and runs every test.
SHELL := /bin/bash
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
ARGS ?=
PREFIX ?= /usr/local

# Leaks reported from inside Qt, fontconfig and the X and GLib libraries are
# theirs (caches kept until exit); the file names those libraries only.
SAN_ENV := ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:halt_on_error=1:strict_string_checks=1 \
           LSAN_OPTIONS=suppressions=$(CURDIR)/tests/support/lsan.supp:print_suppressions=0 \
           UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
TSAN_ENV := TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1

.PHONY: all deps configure build test test-sanitize test-tsan test-windows build-windows dist-windows run run-cli install bench fuzz clean

all: build

deps:
	@scripts/install-deps.sh

build/build.ninja: | deps
	cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)

build: deps build/build.ninja
	cmake --build build -j $(JOBS)

test: build
	cd build && ctest --output-on-failure -j $(JOBS)

build-sanitize/build.ninja: | deps
	cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DQM_SANITIZE=address,undefined -DQM_BUILD_BENCH=OFF $(CMAKE_FLAGS)

test-sanitize: deps build-sanitize/build.ninja
	cmake --build build-sanitize -j $(JOBS)
	cd build-sanitize && $(SAN_ENV) ctest --output-on-failure -j $(JOBS)

build-tsan/build.ninja: | deps
	cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DQM_SANITIZE=thread -DQM_BUILD_BENCH=OFF $(CMAKE_FLAGS)

test-tsan: deps build-tsan/build.ninja
	cmake --build build-tsan -j $(JOBS)
	cd build-tsan && $(TSAN_ENV) ctest --output-on-failure -j $(JOBS)

# The Windows build: quorvia-cli.exe and the test programs, cross-compiled
# with mingw-w64 and run under 64-bit Wine, headless, in a prefix of the
# build's own (made on the first run). Then a list written by each of the
# Linux and the Windows program is verified by the other, on the same tree.
WINE_ENV := env -u DISPLAY -u WAYLAND_DISPLAY WINEPREFIX=$(CURDIR)/build-win/wine WINEDEBUG=-all \
            WINEDLLOVERRIDES=mscoree,mshtml=
VERSION := $(shell sed -n 's/^project.Quorvia VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)

build-win/build.ninja: | deps
	cmake -S . -B build-win -G Ninja -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake $(CMAKE_FLAGS)

build-windows: deps build-win/build.ninja
	cmake --build build-win -j $(JOBS)

# The prefix: made once per build directory, headless (Wine's null display
# driver, so the window tests make real windows without any X server),
# silent (no sound driver) and without the crash dialog that would hold a
# crashed test program open.
WINE_PREFIX := build-win/wine/.quorvia-prefix
$(WINE_PREFIX): | build-win/build.ninja
	$(WINE_ENV) wineboot -i
	$(WINE_ENV) wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f
	$(WINE_ENV) wine reg add 'HKCU\Software\Wine\Drivers' /v Audio /d '' /f
	$(WINE_ENV) wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f
	$(WINE_ENV) wineserver -w
	touch $@

# Last, the installer (made by dist-windows) is tried in a fresh prefix of
# its own: installed, used from the registry's command lines, uninstalled.
#
# A test that fails is run once more: under Wine a test program started
# while another one's Wine server was going down could fail to start at all
# (seen twice in 283 starts, each in 0.01 s and with no output), and only
# such a start-up failure is forgiven; a fault of ours fails both times.
#
# A small tmpfs, seen by the Windows programs through Wine's drive for the
# root, is the full disk of the whole-file tests (mounting needs root; without
# it that one case is skipped).
SMALL_VOLUME := $(CURDIR)/build-win/small-volume
test-windows: build build-windows $(WINE_PREFIX)
	@mkdir -p $(SMALL_VOLUME)
	@set -e; volume=; \
	if mount -t tmpfs -o size=64k quorvia-small-volume $(SMALL_VOLUME) 2>/dev/null; then \
	  volume="Z:$$(printf '%s' '$(SMALL_VOLUME)' | tr / '\\')"; trap 'umount -l $(SMALL_VOLUME)' EXIT; \
	else echo "test-windows: no tmpfs could be mounted, so the full-disk case is skipped"; fi; \
	cd build-win && $(WINE_ENV) QUORVIA_TEST_SMALL_VOLUME="$$volume" \
	  ctest --output-on-failure -j $(JOBS) --repeat until-pass:2
	$(WINE_ENV) tests/cli/cross_platform_lists.sh build/bin/quorvia-cli build-win/bin/quorvia-cli.exe
	$(MAKE) --no-print-directory dist-windows
	tests/installer/installer_test.sh $(SETUP_WIN) build-win/bin/window_probe.exe build-win/dist $(VERSION)

# quorvia-VERSION-win64.zip in build-win: the desktop program and the
# command-line one, stripped, and a short README in Chinese (UTF-8 with a
# byte-order mark, CR LF line ends, as Windows editors expect).
# Beside it quorvia-VERSION-setup.exe installs the same three files
# (res/windows/installer.nsi); its licence page shows LICENSE with CR LF line
# ends. The script makes every makensis warning an error, and a warning it
# still printed would fail the build too.
DIST_WIN := build-win/quorvia-$(VERSION)-win64.zip
SETUP_WIN := build-win/quorvia-$(VERSION)-setup.exe
dist-windows: deps build-win/build.ninja
	cmake --build build-win -j $(JOBS) --target quorvia-cli quorvia
	rm -rf build-win/dist $(DIST_WIN) $(SETUP_WIN)
	mkdir -p build-win/dist
	x86_64-w64-mingw32-strip -o build-win/dist/quorvia.exe build-win/bin/quorvia.exe
	x86_64-w64-mingw32-strip -o build-win/dist/quorvia-cli.exe build-win/bin/quorvia-cli.exe
	{ printf '\357\273\277'; sed -e 's/@VERSION@/$(VERSION)/' -e 's/$$/\r/' res/windows/README.txt; } \
	  > build-win/dist/README.txt
	cd build-win/dist && TZ=UTC zip -X -q ../$(notdir $(DIST_WIN)) quorvia.exe quorvia-cli.exe README.txt
	@echo "$(DIST_WIN)"
	mkdir -p build-win/installer
	sed -e 's/$$/\r/' LICENSE > build-win/installer/LICENSE.txt
	set -o pipefail; makensis -V2 -INPUTCHARSET UTF8 -DVERSION=$(VERSION) -DDIST_DIR=$(CURDIR)/build-win/dist \
	  -DLICENSE_FILE=$(CURDIR)/build-win/installer/LICENSE.txt -DOUTFILE=$(CURDIR)/$(SETUP_WIN) \
	  res/windows/installer.nsi 2>&1 | tee build-win/installer/makensis.log
	@if grep -qi warning build-win/installer/makensis.log; then rm -f $(SETUP_WIN); echo "dist-windows: makensis warned" >&2; exit 1; fi
	@echo "$(SETUP_WIN)"

# The desktop program, and the command-line one, with ARGS.
run: build
	build/bin/quorvia $(ARGS)

run-cli: build
	build/bin/quorvia-cli $(ARGS)

# Into PREFIX (DESTDIR=... stages it for a package, leaving the caches alone).
install: build
	cmake --install build --prefix "$(PREFIX)"

bench: build
	@set -e; for b in build/bin/*_bench; do [ -x "$$b" ] || continue; echo "== $$b"; "$$b"; done
	@if [ -x bench/compare.sh ]; then bench/compare.sh; fi

# libFuzzer over the hash list reader (clang, with ASan and UBSan), run for
# FUZZ_SECONDS from the seed corpus in tests/fuzz/corpus; new inputs it finds
# go to build-fuzz/corpus, not into the source tree.
FUZZ_SECONDS ?= 60
build-fuzz/build.ninja: | deps
	cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DQM_BUILD_FUZZ=ON \
	  -DQM_SANITIZE=address,undefined -DQM_BUILD_TESTS=OFF -DQM_BUILD_BENCH=OFF $(CMAKE_FLAGS)

fuzz: deps build-fuzz/build.ninja
	cmake --build build-fuzz -j $(JOBS) --target hash_list_fuzz
	mkdir -p build-fuzz/corpus
	$(SAN_ENV) build-fuzz/bin/hash_list_fuzz -max_total_time=$(FUZZ_SECONDS) -max_len=16384 \
	  -print_final_stats=1 build-fuzz/corpus tests/fuzz/corpus

clean:
	rm -rf build build-sanitize build-tsan build-fuzz build-win
