# Entry points: `make demo` builds the tool and runs it on the bundled
# examples; `make check` builds and runs every test, including a sanitizer
# build. Both install what they need on a fresh Debian machine: `make demo`
# (and `make build`, `make install`) only make, CMake and a C++ compiler.

JOBS ?= $(shell nproc 2>/dev/null || echo 2)
# The user's build: no tests, warnings shown but not fatal.
BUILD := build
# The project's own builds: tests on, every warning fatal.
TEST_BUILD := build-test
ASAN_BUILD := build-asan
BENCH_BUILD := build-bench
DEV_FLAGS := -DEMOJITAG_WERROR=ON
CMAKE_FLAGS ?=
FUZZ_BUILD := build-fuzz
# Seconds each fuzz harness runs: `make fuzz FUZZ_SECONDS=600`.
FUZZ_SECONDS ?= 60
PREFIX ?= /usr/local
WINDOWS_BUILD := build-windows
WINDOWS_ZIP := $(WINDOWS_BUILD)/emojitag-windows-x86_64.zip
WINDOWS_FLAGS ?=

.PHONY: all build build-deps demo check test test-build test-asan deps bench format clean install check-man check-posix check-consumer fuzz-build fuzz fuzz-smoke \
	windows-deps windows dist-windows test-windows screenshots

all: build

build-deps:
	sh tools/install-deps.sh build

build: build-deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DEMOJITAG_TESTS=OFF $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS)

demo: build
	sh examples/run-demo.sh $(BUILD)/bin/emojitag

deps:
	sh tools/install-deps.sh check

test-build: deps
	cmake -S . -B $(TEST_BUILD) -DCMAKE_BUILD_TYPE=Release -DEMOJITAG_TESTS=ON $(DEV_FLAGS) $(CMAKE_FLAGS)
	cmake --build $(TEST_BUILD) -j $(JOBS)

test: test-build
	ctest --test-dir $(TEST_BUILD) --output-on-failure -j $(JOBS)

test-asan: deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DEMOJITAG_SANITIZE=ON -DEMOJITAG_TESTS=ON $(DEV_FLAGS) $(CMAKE_FLAGS)
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS)

check: test test-asan check-man check-posix check-consumer fuzz-smoke test-windows

# The manual pages must render without a single groff warning.
check-man: deps
	@for page in docs/emojitag.1 docs/emojitag-extract.1 docs/emojitag-list.1; do \
	out=$$(LC_ALL=C groff -man -Tutf8 -ww -z $$page 2>&1); \
	if [ -n "$$out" ]; then echo "$$out"; echo "$$page: groff warnings"; exit 1; fi; \
	done

# The POSIX platform layer needs nothing beyond POSIX: each file compiles
# without the GNU extensions, with every compiler that is installed.
POSIX_CHECK_FLAGS := -std=c++17 -Wall -Wextra -Wpedantic -Wshadow -Werror \
	-U_GNU_SOURCE -D_POSIX_C_SOURCE=200809L -fsyntax-only -Isrc/platform
check-posix:
	@for cxx in $(sort $(CXX) g++ clang++); do \
	command -v $$cxx >/dev/null 2>&1 || continue; \
	for file in src/platform/posix_*.cpp; do \
	$$cxx $(POSIX_CHECK_FLAGS) $$file || { echo "$$file: not POSIX with $$cxx"; exit 1; }; \
	done; \
	done

# Install into a temporary prefix; build and run the C and C++ consumers.
check-consumer: test-build
	sh tests/consumer/run.sh $(TEST_BUILD)

# `make install PREFIX=DIR` (and DESTDIR=STAGE for packaging).
install: build
	DESTDIR=$(DESTDIR) cmake --install $(BUILD) --prefix $(PREFIX)

# libFuzzer harnesses (clang): `make fuzz` runs each for FUZZ_SECONDS from a
# random seed; `make check` replays every seed and saved finding and then runs
# a set number of inputs from a fixed seed, so that its result repeats.
fuzz-build: deps
	cmake -S fuzz -B $(FUZZ_BUILD) -DCMAKE_CXX_COMPILER=clang++ $(DEV_FLAGS)
	cmake --build $(FUZZ_BUILD) -j $(JOBS)

fuzz: fuzz-build
	sh fuzz/run.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

fuzz-smoke: fuzz-build
	sh fuzz/run.sh $(FUZZ_BUILD) smoke

bench: deps
	cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release -DEMOJITAG_BENCH=ON -DEMOJITAG_TESTS=OFF $(DEV_FLAGS) $(CMAKE_FLAGS)
	cmake --build $(BENCH_BUILD) -j $(JOBS)
	sh bench/run.sh $(BENCH_BUILD)

# The contact sheet's screenshots in docs/, taken by its browser test.
screenshots: test-build
	python3 tests/sheet/sheet_browser_test.py $(CURDIR)/$(TEST_BUILD)/bin/emojitag \
		$(CURDIR)/$(TEST_BUILD)/bin/emojitag-extract $(CURDIR)/tests/data $(CURDIR)/examples/images docs

format:
	find src tests tools bench fuzz -name '*.cpp' -o -name '*.h' -o -name '*.c' | xargs clang-format -i

# The Windows programs, cross-built with mingw-w64 into $(WINDOWS_BUILD)/bin/
# (every program of the project: the tests stay with the POSIX build).
windows-deps:
	sh tools/install-deps.sh windows

windows: windows-deps
	cmake -S . -B $(WINDOWS_BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
		-DCMAKE_BUILD_TYPE=Release -DEMOJITAG_TESTS=OFF $(WINDOWS_FLAGS) $(CMAKE_FLAGS)
	cmake --build $(WINDOWS_BUILD) -j $(JOBS)

# One zip with the programs, the README and the manual pages as text.
dist-windows: windows
	rm -rf $(WINDOWS_BUILD)/dist $(WINDOWS_ZIP)
	mkdir -p $(WINDOWS_BUILD)/dist/emojitag
	cp $(WINDOWS_BUILD)/bin/*.exe README.md $(WINDOWS_BUILD)/dist/emojitag/
	for page in docs/*.1; do \
		groff -man -Tutf8 -P-cbou $$page | sed 's/$$/\r/' \
			> $(WINDOWS_BUILD)/dist/emojitag/$$(basename $$page .1).txt || exit 1; \
	done
	cd $(WINDOWS_BUILD)/dist && zip -q -r -X ../$(notdir $(WINDOWS_ZIP)) emojitag
	@echo "wrote $(WINDOWS_ZIP)"

# The Windows build (warnings fatal, as in every build of `make check`) under
# wine, against the POSIX build on the same inputs.
test-windows: test-build
	$(MAKE) windows WINDOWS_FLAGS="$(DEV_FLAGS)"
	sh tests/windows/wine_table.sh $(TEST_BUILD)/bin/emojitag $(WINDOWS_BUILD)/bin/emojitag.exe
	python3 tests/calc/calc_round_trip_test.py $(TEST_BUILD)/bin/emojitag $(TEST_BUILD)/bin/emojitag-list \
	    $(TEST_BUILD)/bin/emojitag-extract tests/data $(WINDOWS_BUILD)/bin || [ $$? -eq 77 ]

clean:
	rm -rf $(BUILD) $(TEST_BUILD) $(ASAN_BUILD) $(BENCH_BUILD) $(FUZZ_BUILD) $(WINDOWS_BUILD)
