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
	@exec $(BUILD)/ui/cardwright

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
