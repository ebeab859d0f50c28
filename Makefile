# hurz: `make` builds both targets, `make test` builds them and runs every test,
# `make run` builds and starts the demo. Each first runs the set-up script.
BUILD      := build
CACHE      ?= $(or $(XDG_CACHE_HOME),$(HOME)/.cache)/hurz
JOBS       ?= $(shell nproc)
CONFIG     ?= RelWithDebInfo
export HURZ_CACHE := $(CACHE)

.PHONY: all setup build build64 build32 test run clean

all: build

setup:
	@scripts/setup.sh

build: build64 build32

build64: setup
	@cmake -S . -B $(BUILD)/x86_64 -DCMAKE_BUILD_TYPE=$(CONFIG) \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-x86_64-w64-mingw32.cmake \
	  -DHURZ_DEPS=$(CACHE)/x86_64-w64-mingw32 -DHURZ_PNGSUITE=$(CACHE)/src/libpng/contrib/pngsuite \
	  -DHURZ_BIN_DIR=$(abspath $(BUILD))/bin >/dev/null
	@cmake --build $(BUILD)/x86_64 -j$(JOBS) -- --no-print-directory

build32: setup
	@cmake -S . -B $(BUILD)/i686 -DCMAKE_BUILD_TYPE=$(CONFIG) -DHURZ_TESTS=OFF \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686-w64-mingw32.cmake \
	  -DHURZ_DEPS=$(CACHE)/i686-w64-mingw32 >/dev/null
	@cmake --build $(BUILD)/i686 -j$(JOBS) -- --no-print-directory

test: build
	@scripts/harness.sh $(BUILD)/x86_64 ctest --test-dir $(BUILD)/x86_64 --output-on-failure -j$(JOBS)

run: build64
	@scripts/run-demo.sh $(BUILD)

clean:
	rm -rf $(BUILD) out
