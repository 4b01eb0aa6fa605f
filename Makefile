# Thin wrapper over CMake for the everyday commands.
#   make          build into build/
#   make test     build and run every test
#   make demo     render the generated sample world into demo/
#   make bench    time the full run against copying its output (needs GNU time)
BUILD_DIR ?= build
CMAKE_FLAGS ?=
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all build test demo bench clean

all: build

build:
	cmake -S . -B $(BUILD_DIR) $(CMAKE_FLAGS)
	cmake --build $(BUILD_DIR) -j $(JOBS)

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

# Generates the sample world (no game files needed) and renders its 31 maps into demo/.
SAMPLE_DATA = $(abspath $(BUILD_DIR))/sample-data
demo: build
	"$(abspath $(BUILD_DIR))/sample/kopc_sample" "$(SAMPLE_DATA)"
	mkdir -p demo
	cd demo && "$(abspath $(BUILD_DIR))/kopc_map" --overwrite "$(SAMPLE_DATA)"
	@echo "The 31 maps of the sample world are in $(CURDIR)/demo/ (ko.*.bmp)."

# A release build of its own, so the measured program carries no test or debug options.
BENCH_DIR ?= build-bench
bench:
	cmake -S . -B $(BENCH_DIR) -DCMAKE_BUILD_TYPE=Release -DKOPC_TESTS=OFF
	cmake --build $(BENCH_DIR) -j $(JOBS)
	python3 bench/bench.py "$(abspath $(BENCH_DIR))/kopc_map" "$(abspath $(BENCH_DIR))/sample/kopc_sample"

clean:
	rm -rf $(BUILD_DIR) $(BENCH_DIR) demo
