# Entry points: `make demo` builds the tool and runs it on the bundled
# examples; `make check` builds and runs every test, including a sanitizer
# build. Both install what they need on a fresh Debian machine.

JOBS ?= $(shell nproc 2>/dev/null || echo 2)
BUILD := build
ASAN_BUILD := build-asan
CMAKE_FLAGS ?=
FUZZ_BUILD := build-fuzz
# Seconds each fuzz harness runs: `make fuzz FUZZ_SECONDS=600`.
FUZZ_SECONDS ?= 60
SMOKE_SECONDS ?= 3
PREFIX ?= /usr/local

.PHONY: all build demo check test test-asan deps bench format clean install check-man check-consumer fuzz-build fuzz fuzz-smoke

all: build

build:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS)

demo: build
	sh examples/run-demo.sh $(BUILD)/bin/emojitag

deps:
	sh tools/install-deps.sh

test: deps build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

test-asan: deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DEMOJITAG_SANITIZE=ON $(CMAKE_FLAGS)
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS)

check: test test-asan check-man check-consumer fuzz-smoke

# The manual pages must render without a single groff warning.
check-man: deps
	@for page in docs/emojitag.1 docs/emojitag-extract.1; do \
	out=$$(LC_ALL=C groff -man -Tutf8 -ww -z $$page 2>&1); \
	if [ -n "$$out" ]; then echo "$$out"; echo "$$page: groff warnings"; exit 1; fi; \
	done

# Install into a temporary prefix; build and run the C and C++ consumers.
check-consumer: deps build
	sh tests/consumer/run.sh $(BUILD)

# `make install PREFIX=DIR` (and DESTDIR=STAGE for packaging).
install: build
	DESTDIR=$(DESTDIR) cmake --install $(BUILD) --prefix $(PREFIX)

# libFuzzer harnesses (clang): `make fuzz` runs each for FUZZ_SECONDS;
# `make check` replays every seed and saved finding and fuzzes a few seconds.
fuzz-build: deps
	cmake -S fuzz -B $(FUZZ_BUILD) -DCMAKE_CXX_COMPILER=clang++
	cmake --build $(FUZZ_BUILD) -j $(JOBS)

fuzz: fuzz-build
	sh fuzz/run.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

fuzz-smoke: fuzz-build
	sh fuzz/run.sh $(FUZZ_BUILD) $(SMOKE_SECONDS) smoke

bench: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DEMOJITAG_BENCH=ON $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS)
	sh bench/run.sh $(BUILD)

format:
	find src tests tools bench fuzz -name '*.cpp' -o -name '*.h' -o -name '*.c' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD)
