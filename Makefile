# Tetrav: `make run` to try it, `make test` to check it, `make bench` to measure it (`make walk`: the
# command walk alone), `make soak` to watch its memory over many open and close cycles,
# `make install` / `make package` to install it.
BUILD ?= build
JOBS ?= 2
BUILD_TYPE ?= RelWithDebInfo
CMAKE_FLAGS ?=

.PHONY: all deps configure build test run bench walk soak asan fuzz format clean install package

all: build

deps:
	@scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

test: build
	@scripts/run-tests.sh $(BUILD)

run: build
	@scripts/run.sh $(BUILD)

bench:
	@TETRAV_BENCH=1 scripts/install-deps.sh
	@$(MAKE) --no-print-directory build
	@bench/run.sh $(BUILD)
	@bench/export.sh $(BUILD)

# The seeded random command walk on the real program (WALK_COMMANDS=300, WALK_SEED=time):
# landed, no-op, overtaken and missed commands, freezes, the panes' lag in their own frames,
# seek-bar click to frame times, the time from each command to its first mark on the screen.
WALK_COMMANDS ?= 300
WALK_SEED ?=
walk: build
	@bench/sync_walk.sh $(BUILD) $(WALK_COMMANDS) $(WALK_SEED)

# Open, play, seek, pause and stop cycles of the real window (CYCLES=50): memory after each.
CYCLES ?= 50
soak: build
	@bench/soak.sh $(BUILD) $(CYCLES)

# The whole test suite under AddressSanitizer and UndefinedBehaviorSanitizer.
# Leak reports need full stacks (fast_unwind_on_malloc=0) so the one suppression stays narrow.
asan: export ASAN_OPTIONS = fast_unwind_on_malloc=0:detect_leaks=1:abort_on_error=0
asan: export LSAN_OPTIONS = suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0
asan: export UBSAN_OPTIONS = print_stacktrace=1:halt_on_error=1
asan:
	@$(MAKE) --no-print-directory test BUILD=build-asan BUILD_TYPE=Debug CMAKE_FLAGS=-DTETRAV_SANITIZE=ON

# Every fuzz target (tests/fuzz) for FUZZ_SECONDS each, built with clang in $(BUILD)/fuzz; what
# they find is kept in $(BUILD)/fuzz/corpus, a failing input in $(BUILD)/fuzz/artifacts, the
# output in $(BUILD)/fuzz/fuzz-NAME-*.log.
FUZZ_SECONDS ?= 60
fuzz: deps
	@JOBS=$(JOBS) tests/fuzz/build.sh $(BUILD)/fuzz
	@FUZZ_KEEP=1 tests/fuzz/run.sh $(BUILD)/fuzz $(FUZZ_SECONDS) $(FUZZ_TARGETS)

# The installed layout under PREFIX (DESTDIR=/some/root stages it elsewhere, as packagers do).
PREFIX ?= /usr/local
install: build
	@cmake --install $(BUILD) --prefix $(PREFIX)

# A Debian package (tetrav_<version>_<arch>.deb) in the build folder.
package: build
	@cd $(BUILD) && cpack -G DEB

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build build-asan
