# drumplot: set-up and everyday commands. `make demo` and `make test` work on
# a fresh Debian machine: they install what is missing first (as root).

BUILD      ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
JOBS       ?= $(shell nproc)
FUZZ_SECONDS ?= 60
CMAKE_FLAGS ?=
# Warnings are errors on our own targets.
WERROR     ?= ON

PACKAGES      = cmake ninja-build g++ pkg-config libgtest-dev libgmock-dev libbenchmark-dev \
                libcli11-dev libpng-dev libtiff-dev libzip-dev qt6-base-dev qt6-qpa-plugins xvfb xauth \
                clang-format
FUZZ_PACKAGES = clang libclang-rt-14-dev

.PHONY: all deps deps-fuzz build test bigtiff-test asan tsan fuzz bench demo clean format

all: build

# Installs the Debian packages that are missing (as root), or prints the command.
deps:
	@./scripts/install-deps.sh $(PACKAGES)

deps-fuzz:
	@./scripts/install-deps.sh $(FUZZ_PACKAGES)

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDRUMPLOT_WERROR=$(WERROR) $(CMAKE_FLAGS)

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# TIFF films past 4 GB (written to the temporary folder and read back):
# slow and large, so `make test` skips them.
bigtiff-test: build
	DRUMPLOT_BIG_TESTS=1 $(BUILD)/tests/output_tests --gtest_filter='TiffFilmBigTest.*'

# The test suite under AddressSanitizer and UndefinedBehaviorSanitizer.
asan: deps
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DDRUMPLOT_SANITIZE=ON -DDRUMPLOT_WERROR=$(WERROR) -DDRUMPLOT_BENCH=OFF
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS)

# The export's tests (worker threads, shared stamps) under ThreadSanitizer.
tsan: deps
	cmake --preset tsan
	cmake --build --preset tsan -j $(JOBS)
	ctest --preset tsan --output-on-failure

# Every fuzz target for FUZZ_SECONDS seconds each (libFuzzer, clang).
fuzz: deps deps-fuzz
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDRUMPLOT_FUZZ=ON
	cmake --build $(FUZZ_BUILD) -j $(JOBS)
	./scripts/run-fuzzers.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

bench: build
	@for b in $(BUILD)/bench/*_bench; do echo "== $$b"; $$b || exit 1; done

demo: build
	./scripts/demo.sh $(BUILD)

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD) build-tsan
