# The two commands a user needs: `make run` and `make test`. Both install what is missing.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all run test deps build sanitize bench clean

all: build

deps:
	@./scripts/install-deps.sh

build: deps
	@cmake -S . -B $(BUILD) -G Ninja -DCARDWRIGHT_WERROR=ON $(CMAKE_FLAGS) > /dev/null
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	@if [ -x $(BUILD)/ui/cardwright ]; then exec $(BUILD)/ui/cardwright; \
	else echo "The window arrives in a later change; everything else was built."; fi

test: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# The same tests under AddressSanitizer and UBSan.
sanitize:
	@$(MAKE) test BUILD=build-asan CMAKE_FLAGS="-DCARDWRIGHT_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug"

bench: deps
	@cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DCARDWRIGHT_BENCH=ON > /dev/null
	@cmake --build build-bench -j $(JOBS)
	@for b in build-bench/bench/bench_*; do [ -x "$$b" ] && "$$b"; done

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
