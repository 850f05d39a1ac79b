# The two commands of the README: `make demo` and `make test`. The build settings live in
# CMakePresets.json; this file only runs them.
BUILD_DIR ?= build
JOBS ?= $(shell nproc)
CMAKE_ARGS ?=

.PHONY: all deps configure build test package test-package demo gui-demo test-sanitizers test-asan test-tsan test-fuzz soak \
	fuzz bench clean FORCE build-windows test-windows package-windows

all: build

# The package check and the configure step run once per build directory, and again only
# when the install script or the CMake arguments change; edits of the CMake files are
# picked up by the build itself.
.PRECIOUS: %/.deps-checked %/.cmake-args %/build.ninja
%/.deps-checked: tools/install-deps.sh
	@tools/install-deps.sh
	@mkdir -p $(@D) && touch $@

%/.cmake-args: FORCE
	@mkdir -p $(@D)
	@echo '$(CMAKE_ARGS)' | cmp -s - $@ || echo '$(CMAKE_ARGS)' > $@

deps: $(BUILD_DIR)/.deps-checked

$(BUILD_DIR)/build.ninja: $(BUILD_DIR)/.deps-checked $(BUILD_DIR)/.cmake-args
	cmake --preset default -B $(BUILD_DIR) $(CMAKE_ARGS)

configure: $(BUILD_DIR)/build.ninja

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS) --timeout 300

# The soak by hand: 1,000 updates (125 rounds of a fleet of 8) in one process, a random
# third with a random fault; ctest runs a few rounds of the same test. SOAK_ROUNDS=N
# for another length.
SOAK_ROUNDS ?= 125
soak: configure
	cmake --build $(BUILD_DIR) --target soak_test zorflash-sim -j $(JOBS)
	ZORFLASH_SOAK_ROUNDS=$(SOAK_ROUNDS) $(BUILD_DIR)/tests/reliability/soak_test

# The Debian package (build/package/zorflash_VERSION_ARCH.deb), made from this build.
package: build
	cmake --build $(BUILD_DIR) --target package

# The package installed into this machine, run, and purged again (as root; see the script).
test-package: build
	tools/test-package.sh $(BUILD_DIR)

# The demos build only the programs they run, so a newcomer sees the first update before
# the tests and benchmarks are compiled; `make test` builds the rest.
demo: configure
	cmake --build $(BUILD_DIR) -j $(JOBS) --target zorflash-cli zorflash-sim
	tools/demo.sh $(BUILD_DIR)

gui-demo: configure
	cmake --build $(BUILD_DIR) -j $(JOBS) --target zorflash zorflash-sim
	tools/gui-demo.sh $(BUILD_DIR)

# Sanitizer runs, each in a build directory of its own (presets asan, tsan, fuzz): the
# whole suite again under AddressSanitizer and UndefinedBehaviorSanitizer; the tests of
# code that crosses threads (ctest label "threads") under ThreadSanitizer; the fuzz
# targets, built by clang, replaying their seed corpus and regression inputs.
# tests/reliability/tsan.supp says what is suppressed and why. A build that cannot be
# made, a finding, or a run with no tests fails the target: nothing passes by being skipped.
test-sanitizers: test-asan test-tsan test-fuzz

build-%/build.ninja: build-%/.deps-checked build-%/.cmake-args
	cmake --preset $* $(CMAKE_ARGS)

test-asan test-tsan test-fuzz: test-%: build-%/build.ninja
	cmake --build --preset $* -j $(JOBS)
	ctest --preset $* -j $(JOBS)

# Fuzzing by hand: every target (or those of FUZZ_TARGETS) for FUZZ_SECONDS, new inputs
# kept in build-fuzz/corpus.
# A crash leaves crash-* in build-fuzz; copy it to tests/fuzz/regressions/<target>/.
FUZZ_SECONDS ?= 300
FUZZ_TARGETS ?= fuzz_record_reader fuzz_usb_reply fuzz_edit_text fuzz_update_run \
	fuzz_target_list fuzz_target_address fuzz_json_events fuzz_sim_session
FUZZ_ENV = ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
fuzz: test-fuzz
	set -e; cd build-fuzz; for t in $(FUZZ_TARGETS); do \
		mkdir -p corpus/$$t; \
		$(FUZZ_ENV) tests/fuzz/$$t -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 \
			corpus/$$t ../tests/fuzz/corpus/$$t; \
	done

# Windows (preset windows, build-windows/): zorflash-cli.exe, the engine and its unit tests
# cross-built with Debian's mingw-w64, statically linked; tested under Wine against the
# Linux simulator, which is why the Linux build comes first.
build-windows: build-windows/build.ninja
	cmake --build --preset windows -j $(JOBS)

test-windows: build build-windows
	tools/test-windows.sh $(BUILD_DIR) build-windows

# build-windows/zorflash-cli-windows-x64.zip and build-windows/package/zorflash-VERSION-x64.msi.
package-windows: build-windows
	tools/package-windows.sh build-windows

# The MSI installed, run against the Linux simulator, upgraded and removed under Wine.
.PHONY: test-package-windows
test-package-windows: build package-windows
	tools/test-package-windows.sh $(BUILD_DIR) build-windows

# The performance figures (B1..B7), measured against their references in one run.
bench: deps
	bench/run

clean:
	rm -rf $(BUILD_DIR) build-asan build-tsan build-fuzz build-windows
