# The two commands a user needs: `make run` and `make test`. Both install what is missing.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all run test deps build fuzz-build sanitize bench fuzz check-tables simulate clean package translations

all: build

deps:
	@./scripts/install-deps.sh

build: deps
	@cmake -S . -B $(BUILD) -G Ninja -DCARDWRIGHT_WERROR=ON $(CMAKE_FLAGS) > /dev/null
	@cmake --build $(BUILD) -j $(JOBS)

# The libFuzzer harnesses, built with clang; the tests run each of them for a few seconds.
fuzz-build: deps
	@CC=clang-14 CXX=clang++-14 cmake -S . -B build-fuzz -G Ninja -DCARDWRIGHT_FUZZ=ON -DCARDWRIGHT_GUI=OFF > /dev/null
	@cmake --build build-fuzz -j $(JOBS)

run: build
	@exec $(BUILD)/ui/cardwright

test: fuzz-build
	@$(MAKE) --no-print-directory build CMAKE_FLAGS="$(CMAKE_FLAGS) -DCARDWRIGHT_FUZZ_BUILD_DIR=$(CURDIR)/build-fuzz"
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# The Debian package of the program and its debug symbols ($(BUILD)/cardwright_*.deb, cardwright-dbgsym_*.ddeb).
package: build
	@cd $(BUILD) && cpack -G DEB > /dev/null
	@ls $(BUILD)/cardwright_*.deb $(BUILD)/cardwright-dbgsym_*.ddeb

# The same tests under AddressSanitizer and UBSan.
sanitize:
	@$(MAKE) test BUILD=build-asan CMAKE_FLAGS="-DCARDWRIGHT_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug"

bench: deps
	@cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DCARDWRIGHT_BENCH=ON > /dev/null
	@cmake --build build-bench -j $(JOBS)
	@for b in build-bench/bench/bench_*; do [ -x "$$b" ] && "$$b"; done

# Runs each fuzz harness for FUZZ_SECONDS, growing its corpus in build-fuzz/corpus/.
FUZZ_SECONDS ?= 60
FUZZERS = $(shell cut -d" " -f1 fuzz/harnesses.txt)
fuzz: fuzz-build
	@for f in $(FUZZERS); do mkdir -p build-fuzz/corpus/$$f; \
	  build-fuzz/fuzz/fuzz_$$f -max_total_time=$(FUZZ_SECONDS) -max_len=65536 -print_final_stats=1 \
	    build-fuzz/corpus/$$f fuzz/seeds/$$f || exit 1; done

clean:
	rm -rf build build-asan build-bench build-fuzz

# The built-in network tables are generated: rerun the generator and fail if its output differs
# from the checked-in ann/builtin_tables.cpp.
.PHONY: check-tables
check-tables: deps
	@cmake -S . -B $(BUILD) -G Ninja -DCARDWRIGHT_WERROR=ON $(CMAKE_FLAGS) > /dev/null
	@cmake --build $(BUILD) -j $(JOBS) --target make_ann_tables
	@tmp=$$(mktemp --suffix=.cpp) && $(BUILD)/tools/make_ann_tables $$tmp && \
	if cmp -s $$tmp ann/builtin_tables.cpp; then rm -f $$tmp; echo "ann/builtin_tables.cpp is up to date"; \
	else diff -u ann/builtin_tables.cpp $$tmp | head -20; rm -f $$tmp; echo "ann/builtin_tables.cpp differs from the generator's output"; exit 1; fi

# Two years of simulated learners of five families and five grading habits (20 new items a day)
# scheduled by the program, with and without learning, and by SM-2 and FSRS-6 on the same items
# and draws; prints each family's means, the goals, and the details. Options of tools/simulate.cpp
# go in SIM_ARGS, e.g. `make simulate SIM_ARGS="--family fsrs --learners 4 --check"`.
SIM_ARGS ?=
simulate: deps
	@cmake -S . -B $(BUILD) -G Ninja -DCARDWRIGHT_WERROR=ON $(CMAKE_FLAGS) > /dev/null
	@cmake --build $(BUILD) -j $(JOBS) --target simulate
	@$(BUILD)/tools/simulate --details $(SIM_ARGS)

# Refreshes translations/*.ts from the texts marked in ui/ and settings/: new texts come in
# unfinished (the test `translations` fails until they are translated), removed ones go.
translations: deps
	@"$$(qtpaths6 --query QT_INSTALL_BINS)/lupdate" -locations none -no-obsolete ui settings \
	  -ts $(filter-out translations/cardwright_en.ts,$(wildcard translations/*.ts))
	@"$$(qtpaths6 --query QT_INSTALL_BINS)/lupdate" -pluralonly -locations none -no-obsolete ui settings \
	  -ts translations/cardwright_en.ts

# The three-computer sync test with many more sessions than `make test` runs, on another seed:
# `make sync-soak SYNC_SESSIONS=6000 SYNC_SEED=7`.
SYNC_SESSIONS ?= 3000
SYNC_SEED ?= 1
.PHONY: sync-soak
sync-soak: deps
	@cmake -S . -B $(BUILD) -G Ninja -DCARDWRIGHT_WERROR=ON $(CMAKE_FLAGS) > /dev/null
	@cmake --build $(BUILD) -j $(JOBS) --target test_session
	@CARDWRIGHT_SYNC_SESSIONS=$(SYNC_SESSIONS) CARDWRIGHT_SYNC_SEED=$(SYNC_SEED) nice -n 19 \
	  $(BUILD)/tests/test_session --gtest_filter='SyncTest.*'

# Two real Syncthing instances on the loopback address keep two computers' sync folders in step
# while both grade and edit, then the two collections must be the same; not part of `make test`.
.PHONY: sync-check
sync-check: build
	@./scripts/sync-check.sh $(BUILD)

# The program's actions on the lifetime collection timed as a user meets them: the real program
# under Xvfb driven by xdotool, from each input to its last frame, beside the references in the
# same run (scripts/time-actions.sh; needs `scripts/install-deps.sh gui-check`).
.PHONY: time-actions
time-actions: build
	@./scripts/install-deps.sh gui-check
	@./scripts/time-actions.sh $(BUILD)
