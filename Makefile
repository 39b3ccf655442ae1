# Front door of the project: `make test` on a fresh machine installs what is
# missing, builds and runs every test.
SHELL := /bin/bash
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
ARGS ?=

SAN_ENV := ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:halt_on_error=1:strict_string_checks=1 \
           UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
TSAN_ENV := TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1

.PHONY: all deps configure build test test-sanitize test-tsan run bench fuzz clean

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

run: build
	build/bin/quorvia-cli $(ARGS)

bench: build
	@set -e; for b in build/bin/*_bench; do [ -x "$$b" ] || continue; echo "== $$b"; "$$b"; done
	@if [ -x bench/compare.sh ]; then bench/compare.sh; fi

clean:
	rm -rf build build-sanitize build-tsan build-fuzz
