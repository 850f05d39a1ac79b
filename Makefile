# The two commands of the README: `make demo` and `make test`.
BUILD_DIR ?= build
JOBS ?= $(shell nproc)
CMAKE_ARGS ?=

.PHONY: all deps configure build test package test-package demo gui-demo test-sanitizers test-asan test-tsan test-fuzz fuzz bench clean

all: build

deps:
	@tools/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_ARGS)

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS) --timeout 300

# The Debian package (build/package/zorflash_VERSION_ARCH.deb), made from this build.
package: build
	cmake --build $(BUILD_DIR) --target package

# The package installed into this machine, run, and purged again (as root; see the script).
test-package: build
	tools/test-package.sh $(BUILD_DIR)

demo: build
	tools/demo.sh $(BUILD_DIR)

gui-demo: build
	tools/gui-demo.sh $(BUILD_DIR)

# Sanitizer runs, each in a build directory of its own: the whole suite again under
# AddressSanitizer and UndefinedBehaviorSanitizer; the tests of code that crosses threads
# (ctest label "threads") under ThreadSanitizer; the fuzz targets, built by clang, replaying
# their seed corpus and regression inputs. The TSan build is g++ (clang 14's TSan runtime
# aborts when a GUI test starts the simulator) at -O0, so that reports name every frame;
# tests/reliability/tsan.supp says what is suppressed and why. A build that cannot be made, a finding, or a
# run with no tests fails the target: nothing passes by being skipped.
SANITIZER_CMAKE_ARGS = -G Ninja -DCMAKE_BUILD_TYPE=Debug "-DCMAKE_CXX_FLAGS_DEBUG=-O1 -g" \
	-DZORFLASH_WERROR=ON -DZORFLASH_TEST_AREAS=
SANITIZER_ENV = ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=1 \
	UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:ignore_noninstrumented_modules=1:die_after_fork=0:suppressions=$(CURDIR)/tests/reliability/tsan.supp
SANITIZER_CTEST = ctest --output-on-failure --no-tests=error --timeout 300

test-sanitizers: test-asan test-tsan test-fuzz

test-asan: deps
	cmake -S . -B build-asan $(SANITIZER_CMAKE_ARGS) -DZORFLASH_SANITIZE=address,undefined \
		-DZORFLASH_BUILD_GUI=OFF $(CMAKE_ARGS)
	cmake --build build-asan -j $(JOBS)
	cd build-asan && $(SANITIZER_ENV) $(SANITIZER_CTEST) -j $(JOBS)

test-tsan: deps
	cmake -S . -B build-tsan $(SANITIZER_CMAKE_ARGS) -DZORFLASH_SANITIZE=thread \
		-DZORFLASH_BUILD_GUI=ON "-DCMAKE_CXX_FLAGS_DEBUG=-O0 -g" $(CMAKE_ARGS)
	cmake --build build-tsan -j $(JOBS) --target zorflash_threaded_tests
	cd build-tsan && $(SANITIZER_ENV) QT_QPA_PLATFORM=offscreen $(SANITIZER_CTEST) -L threads -j $(JOBS)

test-fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B build-fuzz $(SANITIZER_CMAKE_ARGS) -DZORFLASH_BUILD_FUZZ=ON \
		-DZORFLASH_SANITIZE=address,undefined,fuzzer-no-link -DZORFLASH_BUILD_GUI=OFF \
		-DZORFLASH_TEST_AREAS=none $(CMAKE_ARGS)
	cmake --build build-fuzz -j $(JOBS) --target zorflash_fuzz_targets
	cd build-fuzz && $(SANITIZER_ENV) $(SANITIZER_CTEST) -L fuzz

# Fuzzing by hand: every target for FUZZ_SECONDS, new inputs kept in build-fuzz/corpus.
# A crash leaves crash-* in build-fuzz; copy it to tests/fuzz/regressions/<target>/.
FUZZ_SECONDS ?= 300
fuzz: test-fuzz
	set -e; cd build-fuzz; for t in fuzz_record_reader fuzz_usb_reply fuzz_edit_text fuzz_update_run; do \
		mkdir -p corpus/$$t; \
		$(SANITIZER_ENV) tests/fuzz/$$t -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 \
			corpus/$$t ../tests/fuzz/corpus/$$t; \
	done

# The performance figures (B1..B7), measured against their references in one run.
bench: deps
	bench/run

clean:
	rm -rf $(BUILD_DIR) build-asan build-tsan build-fuzz
