# The two commands of the Quick start. Each one installs what is missing,
# configures and builds in build/, then plays or tests.
SHELL := /bin/bash
.SHELLFLAGS := -o pipefail -c
# A build with nothing to do says nothing: no directory changes, and no
# progress lines of targets that were already up to date.
MAKEFLAGS += --no-print-directory
QUIET := | { grep -v -E '^\[ *[0-9]+%\] (Built target|Automatic MOC)' || true; }

BUILD_DIR ?= build
SANITIZE_DIR ?= build-sanitize
TSAN_DIR ?= build-tsan
JOBS ?= 2
CMAKE_FLAGS := -DCMAKE_BUILD_TYPE=RelWithDebInfo
ifeq ($(CI),true)
CMAKE_FLAGS += -DKIRAMOKU_WERROR=ON
endif

# The sanitizer run: any report of AddressSanitizer, UndefinedBehaviorSanitizer
# or LeakSanitizer fails the test that caused it.
SANITIZER_ENV := \
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:strict_string_checks=1 \
	UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	LSAN_OPTIONS=suppressions=$(CURDIR)/tests/leak-suppressions.txt:print_suppressions=0

.PHONY: all deps deps-test deps-package configure build run test test-plain test-sanitized test-tsan test-fuzz clean

all: build

# What building and playing need, as debian/control lists it; the tests' and
# benchmarks' tools come only with the test targets. The Debian package needs
# nothing more than building does.
deps:
	@bash scripts/install-deps run

deps-test:
	@bash scripts/install-deps test

deps-package:
	@bash scripts/install-deps package

configure: deps
	@cmake -S . -B $(BUILD_DIR) $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS) $(QUIET)

run: build
	@$(BUILD_DIR)/bin/kiramoku

test: test-plain test-sanitized test-tsan test-fuzz

test-plain: deps-test build
	@cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

test-sanitized: deps-test
	@cmake -S . -B $(SANITIZE_DIR) $(CMAKE_FLAGS) -DCMAKE_BUILD_TYPE=Debug -DKIRAMOKU_SANITIZE=ON >/dev/null
	@cmake --build $(SANITIZE_DIR) -j $(JOBS) $(QUIET)
	@cd $(SANITIZE_DIR) && $(SANITIZER_ENV) QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# ThreadSanitizer on the music's threads: the library and its tests on the
# ALSA null driver, offline rendering and the live sound server. Any report
# fails; what TSan cannot see is in tests/tsan-suppressions.txt, with reasons.
# The live test starts parec and pactl from a process with threads: the
# child only execs, so TSan's refusal to run threads after such a fork is
# turned off (die_after_fork=0).
TSAN_TESTS := test_music_playback test_music_live
TSAN_ENV := TSAN_OPTIONS=suppressions=$(CURDIR)/tests/tsan-suppressions.txt:halt_on_error=1:exitcode=66:die_after_fork=0

test-tsan: deps-test
	@cmake -S . -B $(TSAN_DIR) $(CMAKE_FLAGS) -DKIRAMOKU_TSAN=ON >/dev/null
	@cmake --build $(TSAN_DIR) -j $(JOBS) --target $(TSAN_TESTS) $(QUIET)
	@cd $(TSAN_DIR) && $(TSAN_ENV) QT_QPA_PLATFORM=offscreen ctest --output-on-failure \
		-R '^(test_music_(playback|live_.*)|music_(pulseaudio|pipewire)_(start|stop))$$'

# The hostile tune fuzzer and the saved-game fuzzer for about a minute in all,
# in their own clang-14 build (fuzz/run; longer runs by hand: fuzz/run 8h).
# Any finding fails.
FUZZ_DIR ?= build-fuzz
FUZZ_SECONDS ?= 60

test-fuzz: deps-test
	@FUZZ_DIR=$(FUZZ_DIR) JOBS=$(JOBS) FUZZ_CMAKE_FLAGS="$(CMAKE_FLAGS)" bash fuzz/run $(FUZZ_SECONDS)

# The Debian package of what `build` made: $(BUILD_DIR)/kiramoku_<version>_<arch>.deb.
.PHONY: package
package: deps-package build
	@cd $(BUILD_DIR) && cpack -G DEB

# Mutation testing of the rules, the windows, their layout tables, the sound,
# the player's files and the one-game guard (not part of `make test`;
# docs/testing.md gives each area's time on 2 cores): report in
# build/mutants/report.txt. AREA=<area> runs one area (the areas are listed at
# the head of scripts/mutants.py); MUTANTS_MAX=N runs N mutants spread over the files.
MUTANTS_MAX ?=
AREA ?=
.PHONY: mutants
mutants: deps-test
	@MUTANTS_MAX=$(MUTANTS_MAX) AREA=$(AREA) scripts/mutants.py

# The one code style (.clang-format), applied to every source file; the
# unit label's code_style test checks it.
STYLED = $(shell git ls-files -- '*.cpp' '*.h' 2>/dev/null)
.PHONY: format
format: deps-test
	@clang-format -i $(STYLED)

clean:
	@rm -rf $(BUILD_DIR) $(SANITIZE_DIR) $(TSAN_DIR) $(FUZZ_DIR)
