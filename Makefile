# Everything goes through CMake presets; these targets are the front door.
SHELL := /bin/bash
MAKEFLAGS += --no-print-directory
JOBS ?= $(shell nproc)
FUZZ_SECONDS ?= 60
VERSION := $(shell sed -n 's/.*kVersion = "\(.*\)";/\1/p' cli/arguments.h)
DIST_ZIP := build/dist/dorvane-$(VERSION)-win64.zip

.PHONY: setup native asan windows cli exe dist run test test-native test-asan test-windows \
        fuzz fuzz-run fuzz-long bench format clean

setup:
	@scripts/setup

native: setup
	@cmake --preset native >/dev/null
	cmake --build build/native -j$(JOBS)

cli: setup
	@cmake --preset native >/dev/null
	cmake --build build/native -j$(JOBS) --target dorvane_cli

asan: setup
	@cmake --preset asan >/dev/null
	cmake --build build/asan -j$(JOBS)

windows: setup
	@cmake --preset windows >/dev/null
	cmake --build build/windows -j$(JOBS)

# One self-contained dorvane.exe (and the command-line tool beside it).
exe: setup
	@cmake --preset windows >/dev/null
	cmake --build build/windows -j$(JOBS) --target dorvane_exe dorvane_cli
	@scripts/check-imports build/windows/dorvane.exe build/windows/cli/dorvane-cli.exe

# The zip for Windows users: both programs, the README and the guide as Windows
# text, the example survey.
dist: exe
	scripts/make-dist build/windows $(DIST_ZIP)

# Starts the program; without a display it runs headless, saves a screenshot and
# also runs the example job through the command-line tool.
run: cli exe
	scripts/run-program build/windows/dorvane.exe
	@if [ -z "$${DISPLAY:-}" ]; then scripts/run-examples build/native/cli/dorvane; fi

test: test-native test-asan test-windows fuzz-run
	@echo "make test: all suites passed"

test-native: native
	ctest --test-dir build/native --output-on-failure -j$(JOBS)

test-asan: asan
	ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --test-dir build/asan --output-on-failure -j$(JOBS)

# The zip is checked too: unpacked, its command-line tool runs under Wine on the
# example survey and must write what the native tool writes.
test-windows: windows dist cli
	scripts/wine-ctest build/windows
	scripts/check-dist $(DIST_ZIP) build/native/cli/dorvane

fuzz: setup
	@cmake --preset fuzz >/dev/null
	cmake --build build/fuzz -j$(JOBS)

fuzz-run: fuzz
	scripts/run-fuzzers build/fuzz $(FUZZ_SECONDS)

# A deep run, not part of `make test`: 20 minutes per fuzzer unless FUZZ_SECONDS
# is given, growing a corpus kept in build/fuzz-corpus/ from one run to the next.
fuzz-long: fuzz
	scripts/run-fuzzers build/fuzz \
	  $(if $(filter file,$(origin FUZZ_SECONDS)),1200,$(FUZZ_SECONDS)) build/fuzz-corpus

bench: setup
	@cmake --preset bench >/dev/null
	cmake --build build/bench -j$(JOBS)
	scripts/run-benchmarks build/bench

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build
