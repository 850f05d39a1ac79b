# The two commands of the README: `make demo` and `make test`.
BUILD_DIR ?= build
JOBS ?= $(shell nproc)
CMAKE_ARGS ?=

.PHONY: all deps configure build test demo gui-demo test-sanitizers bench clean

all: build

deps:
	@tools/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_ARGS)

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS) --timeout 300

demo: build
	tools/demo.sh $(BUILD_DIR)

gui-demo: build
	tools/gui-demo.sh $(BUILD_DIR)

clean:
	rm -rf $(BUILD_DIR) build-asan build-tsan build-fuzz
