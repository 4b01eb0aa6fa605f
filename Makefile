# SPDX-License-Identifier: MIT
# Thin wrapper over CMake for the everyday commands.
#   make                  build the program and the tests into build/ (Release)
#   make demo             build only the programs and the sample generator, render the sample world
#   make test             bring the packages the tests need (as root; KOPC_NO_INSTALL=1 only
#                         checks), then build and run every test
#   make package          the Debian package and a .tar.gz in dist/
#   make package-windows  the Windows .zip in dist/ (cross-built with MinGW-w64)
#   make bench            time the run against copying its output (needs GNU time)
#   make clean            remove every folder these commands and the README's examples made
BUILD_DIR ?= build
CMAKE_FLAGS ?=
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all tools build deps test demo package package-windows bench clean

all: build

# CMake and a C++ compiler, named by their package where they are missing.
tools:
	@command -v cmake > /dev/null || \
	    { echo "the build needs CMake 3.16 or newer (Debian/Ubuntu: sudo apt-get install cmake)"; exit 1; }
	@command -v $(CXX) > /dev/null || command -v c++ > /dev/null || \
	    { echo "the build needs a C++17 compiler (Debian/Ubuntu: sudo apt-get install g++)"; exit 1; }

build: tools
	cmake -S . -B $(BUILD_DIR) -DKOPC_TESTS=ON $(CMAKE_FLAGS) \
	    $(if $(KOPC_BMPSUITE),-DKOPC_BMPSUITE_DIR=$(abspath $(KOPC_BMPSUITE)))
	cmake --build $(BUILD_DIR) -j $(JOBS)

deps:
	@bash .ci/install-deps.sh

# The tests keep what their programs write into a home (npm's cache, the browsers' profiles
# and downloads, Tiled's and Qt's settings, runtime folder and lock files) and their temporary
# files in the build folder, under home/; the user's own npm and Python settings (a proxy's
# certificate, Pillow from pip --user) are still read. After the tests, every line a test
# printed about what it skipped, with the test's name, and, where an earlier `make demo` ran
# without the companions that this run built, that it now has them.
TEST_HOME = $(abspath $(BUILD_DIR))/home
TEST_ENV = HOME=$(TEST_HOME) TMPDIR=$(TEST_HOME)/tmp XDG_CONFIG_HOME=$(TEST_HOME)/.config \
    XDG_CACHE_HOME=$(TEST_HOME)/.cache XDG_DATA_HOME=$(TEST_HOME)/.local/share \
    XDG_STATE_HOME=$(TEST_HOME)/.local/state XDG_RUNTIME_DIR=$(TEST_HOME)/run \
    npm_config_cache=$(TEST_HOME)/.npm npm_config_userconfig=$(HOME)/.npmrc PYTHONUSERBASE=$(HOME)/.local
test: deps build
	@mkdir -p $(TEST_HOME)/tmp && mkdir -p -m 700 $(TEST_HOME)/run
	@cd $(BUILD_DIR) && $(TEST_ENV) ctest --output-on-failure -j $(JOBS); status=$$?; \
	    awk '/^[0-9]+\/[0-9]+ Test: / { test = $$3 } /^skipped: / { print test ": " $$0 }' \
	        Testing/Temporary/LastTest.log; \
	    if [ -x kopc_atlas ] && [ -d ../demo ] && [ ! -f ../demo/atlas.html ]; then \
	        echo "kopc_atlas and kopc_tmx are built now: make demo also writes demo/atlas.html and demo/tmx/"; \
	    fi; exit $$status

# Generates the sample world (no game files needed) and renders its 31 maps into demo/,
# and, where zlib is at hand, all of them into demo/atlas.html and as Tiled maps into
# demo/tmx/, with the sample's shape names. A build folder that an earlier command left half
# configured (a `make test` without GoogleTest, say) is configured again, and without the
# tests when that fails, so the demo needs no GoogleTest; the build's chatter goes to a log
# that is shown only when something fails, and a dot for each of its steps to the terminal.
DEMO_LOG = $(BUILD_DIR)/demo-build.log
DEMO_DATA = $(abspath $(BUILD_DIR))/sample-data
DOTS = tee -a $(DEMO_LOG) | awk '/^(\[|--)/ { printf "."; fflush() }'
demo: SHELL := /bin/bash
demo: .SHELLFLAGS := -o pipefail -c
demo: tools
	@echo "building kopc_map, kopc_atlas, kopc_tmx and the sample generator in $(BUILD_DIR)/" \
	    "(under a minute the first time; log: $(DEMO_LOG))"
	@mkdir -p $(BUILD_DIR) && : > $(DEMO_LOG)
	@{ { test -f $(BUILD_DIR)/CMakeCache.txt && cmake -S . -B $(BUILD_DIR) $(CMAKE_FLAGS); } || \
	    cmake -S . -B $(BUILD_DIR) -DKOPC_TESTS=OFF $(CMAKE_FLAGS); } 2>&1 | $(DOTS) && \
	    cmake --build $(BUILD_DIR) -j $(JOBS) --target kopc_map kopc_sample 2>&1 | $(DOTS) || \
	    { echo; cat $(DEMO_LOG); exit 1; }
	@cmake --build $(BUILD_DIR) -j $(JOBS) --target kopc_atlas 2>&1 | $(DOTS) && echo || \
	    { echo; echo "kopc_atlas, kopc_tmx and kopc_import left out: they need zlib (Debian/Ubuntu: sudo apt-get update && sudo apt-get install zlib1g-dev)"; }
	@if [ -x $(BUILD_DIR)/kopc_atlas ]; then \
	    cmake --build $(BUILD_DIR) -j $(JOBS) --target kopc_tmx kopc_import 2>&1 | $(DOTS) && echo || { echo; echo \
	    "kopc_tmx and kopc_import left out: they need pugixml (Debian/Ubuntu: sudo apt-get update && sudo apt-get install libpugixml-dev)"; }; fi
	@$(BUILD_DIR)/sample/kopc_sample $(BUILD_DIR)/sample-data
	@mkdir -p demo
	@cd demo && "$(abspath $(BUILD_DIR))/kopc_map" --overwrite "$(DEMO_DATA)"
	@echo "The 31 maps of the sample world are in $(CURDIR)/demo/ (ko.*.bmp)."
	@if [ -x $(BUILD_DIR)/kopc_atlas ]; then \
	    cd demo && "$(abspath $(BUILD_DIR))/kopc_atlas" --overwrite --names "$(DEMO_DATA)/names.txt" \
	        "$(DEMO_DATA)" > /dev/null && \
	    echo "All of them in one page: open $(CURDIR)/demo/atlas.html in a browser."; fi
	@if [ -x $(BUILD_DIR)/kopc_tmx ]; then \
	    mkdir -p demo/tmx && cd demo/tmx && "$(abspath $(BUILD_DIR))/kopc_tmx" --overwrite \
	        --names "$(DEMO_DATA)/names.txt" "$(DEMO_DATA)" > /dev/null && \
	    echo "As Tiled maps in $(CURDIR)/demo/tmx/: tiled demo/tmx/ko.Firstland.tmx" && \
	    echo "(make demo rewrites demo/tmx/: maps to edit belong in a folder of your own, see the README's Tiled maps)"; fi

# Release builds of the program alone, packed by CPack into dist/: a dynamic program for the
# Debian package, a static one for the .tar.gz, a cross-built one for the Windows .zip, whose
# sample world the native generator writes. The packages carry the time of the last commit
# in place of the build's, so two builds of one commit give the same bytes.
PACKAGE_DIR ?= build-package
SOURCE_DATE_EPOCH ?= $(shell git log -1 --format=%ct 2>/dev/null)
PACKAGE_FLAGS = -DKOPC_TESTS=OFF -DCMAKE_BUILD_TYPE=Release
# The checks on buffer sizes and the read-only relocations Debian builds its programs with.
DEB_HARDENING = -DCMAKE_CXX_FLAGS=-D_FORTIFY_SOURCE=2 -DCMAKE_EXE_LINKER_FLAGS=-Wl,-z,relro,-z,now
ifneq ($(SOURCE_DATE_EPOCH),)
package package-windows: export SOURCE_DATE_EPOCH := $(SOURCE_DATE_EPOCH)
endif
package:
	cmake -S . -B $(PACKAGE_DIR)-deb $(PACKAGE_FLAGS) -DKOPC_STATIC=OFF $(DEB_HARDENING)
	cmake --build $(PACKAGE_DIR)-deb -j $(JOBS)
	cd $(PACKAGE_DIR)-deb && cpack -G DEB
	cmake -S . -B $(PACKAGE_DIR) $(PACKAGE_FLAGS) -DKOPC_STATIC=ON
	cmake --build $(PACKAGE_DIR) -j $(JOBS)
	cd $(PACKAGE_DIR) && cpack -G TGZ
	@rm -rf dist/_CPack_Packages
	@ls -l dist/

# The Windows programs parse XML with Debian's own source of the installed libpugixml-dev,
# fetched and unpacked into PUGIXML_SOURCE once (kept while that version stays installed).
PUGIXML_SOURCE ?= build-pugixml
package-windows:
	cmake -S . -B $(PACKAGE_DIR) $(PACKAGE_FLAGS)
	cmake --build $(PACKAGE_DIR) -j $(JOBS) --target sample_data
	bash .ci/pugixml-source.sh $(PUGIXML_SOURCE)
	cmake -S . -B $(PACKAGE_DIR)-windows $(PACKAGE_FLAGS) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
	    -DKOPC_WINE=OFF -DKOPC_SAMPLE_WORLD="$(abspath $(PACKAGE_DIR))/sample-data" \
	    -DKOPC_PUGIXML_SOURCE_DIR="$(abspath $(PUGIXML_SOURCE))"
	cmake --build $(PACKAGE_DIR)-windows -j $(JOBS)
	cd $(PACKAGE_DIR)-windows && cpack -G ZIP
	@rm -rf dist/_CPack_Packages
	@ls -l dist/

# A release build of its own, so the measured program carries no test or debug options.
BENCH_DIR ?= build-bench
bench:
	cmake -S . -B $(BENCH_DIR) -DCMAKE_BUILD_TYPE=Release -DKOPC_TESTS=OFF
	cmake --build $(BENCH_DIR) -j $(JOBS) --target kopc_map kopc_sample
	python3 bench/bench.py "$(abspath $(BENCH_DIR))/kopc_map" "$(abspath $(BENCH_DIR))/sample/kopc_sample"

clean:
	rm -rf $(BUILD_DIR) build-* demo dist tiled maps world world-tiled
