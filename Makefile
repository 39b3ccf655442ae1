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

.PHONY: all deps configure build test test-sanitize test-tsan run run-cli install bench fuzz clean

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
	rm -rf build build-sanitize build-tsan build-fuzz
