# The two commands of the README: `make run` plays the instrument, `make test` runs every check.
# Both install what is missing first (Debian packages, see scripts/install-deps).
BUILD      ?= build
BUILD_ASAN ?= build-asan
BUILD_FUZZ ?= build-fuzz
JOBS       ?= $(shell nproc)
CMAKE_GEN  := -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
# Seconds each fuzz target runs in the test command.
FUZZ_SECONDS ?= 20

.PHONY: all deps build run test check-paths check-layers test-release test-package test-sanitize test-fuzz \
        format-check format package install clean

all: build

deps:
	@scripts/install-deps

build: deps
	@cmake -S . -B $(BUILD) $(CMAKE_GEN) >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	$(BUILD)/bin/orvane

test: check-paths check-layers deps format-check test-release test-package test-sanitize test-fuzz

# Build files that name one machine's paths would pass here and fail on every other machine.
check-paths:
	@scripts/check-local-paths

# Includes point down only: core, then the synthesizer's process and the MIDI layer, then the
# user interface, then the program (docs/architecture.md).
check-layers:
	@scripts/check-layers

test-release: deps
	cmake -S . -B $(BUILD) $(CMAKE_GEN) >/dev/null
	cmake --build $(BUILD) -j $(JOBS)
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# The Debian package, checked as installed for real and removed again (scripts/check-package).
test-package: test-release
	@$(MAKE) --no-print-directory package >/dev/null
	scripts/check-package $(BUILD)

test-sanitize: deps
	cmake -S . -B $(BUILD_ASAN) $(CMAKE_GEN) -DORVANE_SANITIZE=ON -DORVANE_BENCH=OFF >/dev/null
	cmake --build $(BUILD_ASAN) -j $(JOBS)
	cd $(BUILD_ASAN) && ctest --output-on-failure -j $(JOBS) -LE nosanitize

test-fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B $(BUILD_FUZZ) $(CMAKE_GEN) -DORVANE_FUZZ=ON \
	  -DORVANE_GUI=OFF -DORVANE_BENCH=OFF >/dev/null
	cmake --build $(BUILD_FUZZ) -j $(JOBS) --target fuzz_targets
	scripts/run-fuzzers $(BUILD_FUZZ) $(FUZZ_SECONDS)

format-check: deps
	@scripts/check-format

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

# The Debian package $(BUILD)/package/orvane_VERSION_ARCH.deb (install: apt-get install ./FILE).
package: build
	@rm -f $(BUILD)/package/orvane_*.deb
	cd $(BUILD) && cpack -G DEB
	@ls $(BUILD)/package/orvane_*.deb

install: build
	cmake --install $(BUILD)

clean:
	rm -rf $(BUILD) $(BUILD_ASAN) $(BUILD_FUZZ)
