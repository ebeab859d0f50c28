# hurz: `make` builds both targets, `make test` builds them and runs every test,
# `make run` builds and starts the demo, `make dist` packs it for Windows users into dist/.
# Each first runs the set-up script.
# `make native` builds the platform-free code natively with clang under sanitizers (build/native);
# `make fuzz` runs every fuzzer for FUZZ_SECONDS seconds each; `make bench` runs the benchmarks
# (the grid beside its peers natively, then bench_grid.exe and frame_bench.exe under Wine), their
# output also kept in build/bench/; `make alloc-sweep` fails every allocation point of every
# allocation-failure scenario (the tests sample them).
# `make runtime` builds the library alone (no tests, tools or benchmarks) for both targets and
# installs it as a CMake package into PREFIX/x86_64 and PREFIX/i686 (PREFIX defaults to build/stage);
# `make stage` installs it afresh into build/stage, and `make examples` builds examples/* against
# that, each as a project of its own. `make docs` makes the API reference from the public headers.
# `make soak-tests` runs the Wine tests that drive windows, focus and keys SOAK_RUNS times with
# SOAK_LOAD processor-bound processes beside them and reports every failure (build/x86_64/soak/).
BUILD      := build
CACHE      ?= $(or $(XDG_CACHE_HOME),$(HOME)/.cache)/hurz
JOBS       ?= $(shell nproc)
CONFIG     ?= RelWithDebInfo
NATIVE     := $(BUILD)/native
FUZZ_SECONDS ?= 60
STAGE      := $(BUILD)/stage
PREFIX     ?= $(STAGE)
EXAMPLES   := view-image fetch game
SOAK_RUNS  ?= 20
SOAK_LOAD  ?= 2
SOAK_TESTS ?= dist examples window e2e input app screen
export HURZ_CACHE := $(CACHE)
# The native project's configuration, shared by the sanitizer build and the optimised benchmark.
NATIVE_CONFIGURE = cmake -S build-native -B $(NATIVE) -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DHURZ_PNGSUITE=$(CACHE)/src/libpng/contrib/pngsuite >/dev/null

# Each target's configuration; the 32-bit build has no tests and takes the bird the 64-bit build drew.
CONFIGURE64 = cmake -S . -B $(BUILD)/x86_64 -DCMAKE_BUILD_TYPE=$(CONFIG) \
  -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-x86_64-w64-mingw32.cmake \
  -DHURZ_DEPS=$(CACHE)/x86_64-w64-mingw32 -DHURZ_PNGSUITE=$(CACHE)/src/libpng/contrib/pngsuite \
  -DHURZ_BIN_DIR=$(abspath $(BUILD))/bin >/dev/null
CONFIGURE32 = cmake -S . -B $(BUILD)/i686 -DCMAKE_BUILD_TYPE=$(CONFIG) -DHURZ_TESTS=OFF \
  -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686-w64-mingw32.cmake \
  -DHURZ_DEPS=$(CACHE)/i686-w64-mingw32 -DHURZ_DIST_BIRD=$(abspath $(BUILD))/bin/squeaker_bird.png >/dev/null

.PHONY: all setup build build64 build32 library runtime stage examples docs dist native native-test test soak-tests \
  fuzz alloc-sweep bench run clean

all: build

setup:
	@scripts/setup.sh

build: build64 build32

build64: setup
	@$(CONFIGURE64)
	@cmake --build $(BUILD)/x86_64 -j$(JOBS) -- --no-print-directory

build32: setup
	@$(CONFIGURE32)
	@cmake --build $(BUILD)/i686 -j$(JOBS) -- --no-print-directory

# The library of each target alone, with the checks of its shared records' sizes (record_sizes.h)
# that the package test compiles as a program.
library: setup
	@$(CONFIGURE64)
	@cmake --build $(BUILD)/x86_64 --target hurz_runtime hurz_record_sizes_header -j$(JOBS) -- --no-print-directory
	@$(CONFIGURE32)
	@cmake --build $(BUILD)/i686 --target hurz_runtime hurz_record_sizes_header -j$(JOBS) -- --no-print-directory

runtime: library
	@for arch in x86_64 i686; do cmake --install $(BUILD)/$$arch --prefix $(abspath $(PREFIX))/$$arch >/dev/null \
	  || exit 1; echo "hurz runtime for $$arch: $(abspath $(PREFIX))/$$arch"; done

# A fresh install each time, so that the stage holds exactly what the package installs.
stage:
	@rm -rf $(STAGE)
	@$(MAKE) --no-print-directory runtime PREFIX=$(STAGE)

# Each example, and the package test (every installed header compiled alone, every shared record of
# the size the library gave it), built against the stage and its toolchain file only; the 32-bit
# ones are built as a check that they compile and link.
examples: stage
	@for arch in x86_64 i686; do for project in $(EXAMPLES:%=examples/%) tests/package; do \
	  cmake -S $$project -B $(BUILD)/examples/$$arch/$$(basename $$project) -DCMAKE_BUILD_TYPE=$(CONFIG) \
	    --no-warn-unused-cli \
	    -DCMAKE_TOOLCHAIN_FILE=$(abspath $(STAGE))/$$arch/lib/cmake/hurz/toolchain-$$arch-w64-mingw32.cmake \
	    -DCMAKE_PREFIX_PATH=$(abspath $(STAGE))/$$arch \
	    -DHURZ_LIBRARY_RECORDS=$(abspath $(BUILD))/$$arch/record_sizes.h >/dev/null && \
	  cmake --build $(BUILD)/examples/$$arch/$$(basename $$project) -j$(JOBS) -- --no-print-directory \
	    || exit 1; done; done

# The API reference: build/x86_64/docs/html/index.html. It fails on any undocumented public command.
docs: setup
	@$(CONFIGURE64)
	@cmake --build $(BUILD)/x86_64 --target docs -- --no-print-directory

# One zip archive per target; the 32-bit one takes the bird the 64-bit build drew.
dist: build
	@cmake --build $(BUILD)/x86_64 --target dist -- --no-print-directory
	@cmake --build $(BUILD)/i686 --target dist -- --no-print-directory

native: setup
	@$(NATIVE_CONFIGURE)
	@cmake --build $(NATIVE) -j$(JOBS) -- --no-print-directory

# The native unit tests and the replay of every fuzzer's seeds and regression inputs.
native-test: native
	@ctest --test-dir $(NATIVE) --output-on-failure -j$(JOBS)

test: build examples dist native-test
	@scripts/harness.sh $(BUILD)/x86_64 ctest --test-dir $(BUILD)/x86_64 --output-on-failure -j$(JOBS)

soak-tests: build examples dist
	@scripts/soak-tests.sh $(BUILD)/x86_64 $(SOAK_RUNS) $(SOAK_LOAD) $(SOAK_TESTS)

fuzz: native
	@scripts/fuzz.sh $(NATIVE) $(FUZZ_SECONDS)

alloc-sweep: native
	@cd $(NATIVE) && HURZ_SWEEP_ALL=1 ASAN_OPTIONS=detect_leaks=1 ./alloc_failure_sweep --gtest_color=no

# The peer benchmark is built optimised and free of sanitizers, on its own (build-native/bench).
bench: build64
	@$(NATIVE_CONFIGURE)
	@cmake --build $(NATIVE) --target peer_bench_optimised -j$(JOBS) -- --no-print-directory
	@mkdir -p $(BUILD)/bench
	@bash -o pipefail -c '$(NATIVE)/bench/peer_bench_optimised | tee $(BUILD)/bench/peer_bench.txt'
	@bash -o pipefail -c 'scripts/harness.sh $(BUILD)/x86_64 $(BUILD)/x86_64/wine-run $(BUILD)/bin/bench_grid.exe \
	  | tee $(BUILD)/bench/bench_grid.txt'
	@bash -o pipefail -c 'scripts/harness.sh $(BUILD)/x86_64 $(BUILD)/x86_64/wine-run $(BUILD)/bin/frame_bench.exe \
	  | tee $(BUILD)/bench/frame_bench.txt'

run: build64
	@scripts/run-demo.sh $(BUILD)

clean:
	rm -rf $(BUILD) out dist
