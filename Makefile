# The two commands of the README, and a few more for developers.
#   make run    install what is missing, build, start the saver
#   make test   install what is missing, build, run every test (not the
#               long soak and fuzz runs: make soak, make fuzz-long)
BUILD       ?= build
ASAN_BUILD  ?= build-asan
FUZZ_BUILD  ?= build-fuzz
PACKAGE_BUILD ?= build-package
JOBS        ?= 2
CMAKE_FLAGS ?=
ifneq ($(filter true 1 yes,$(CI)),)
CMAKE_FLAGS += -DHL_WERROR=ON
endif

.PHONY: all deps build test run bench test-asan fuzz fuzz-long soak package install clean pictures

all: build

deps:
	@scripts/install-deps.sh

build: deps
	@cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

test: build
	@ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS) -LE 'fuzz|soak'

# Only what it runs: the program and its dialog module, not the tests.
run: deps
	@cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(BUILD) -j $(JOBS) --target harbor-lights harbor-lights-gtk
	@scripts/run.sh $(BUILD)

bench: build
	@$(BUILD)/bench/harbor-lights-bench

# The whole suite again with AddressSanitizer and UndefinedBehaviorSanitizer.
test-asan: deps
	@cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DHL_SANITIZE=ON -DHL_BUILD_BENCH=OFF $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(ASAN_BUILD) -j $(JOBS)
	@ASAN_OPTIONS=detect_leaks=0 ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS) -LE 'fuzz|soak'

# The long scenarios (tests labelled soak, and a 10-minute live run whose
# memory is sampled), printing their figures.
soak: build
	@scripts/soak.sh $(BUILD)

# Short libFuzzer runs (clang).
fuzz: deps
	@CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G Ninja -DHL_FUZZ=ON -DHL_BUILD_TESTS=OFF -DHL_BUILD_BENCH=OFF $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(FUZZ_BUILD) -j $(JOBS)
	@ctest --test-dir $(FUZZ_BUILD) --output-on-failure -L fuzz

# Every libFuzzer target for a million executions from its seed corpus,
# printing executions, their rate and the coverage reached.
fuzz-long: deps
	@CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G Ninja -DHL_FUZZ=ON -DHL_BUILD_TESTS=OFF -DHL_BUILD_BENCH=OFF $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(FUZZ_BUILD) -j $(JOBS)
	@scripts/fuzz-long.sh $(FUZZ_BUILD)

# The Debian package, harbor-lights_<version>_<arch>.deb, from a release tree
# of its own configured for /usr.
package: deps
	@scripts/build-package.sh $(PACKAGE_BUILD) $(CMAKE_FLAGS)

# The Windows screen saver, cross-built with mingw-w64: build-windows/harbor-lights.scr
# (libjpeg comes from Debian's source package, built once into that folder).
WINDOWS_BUILD ?= build-windows
.PHONY: windows
windows: deps
	@cmake -S . -B $(WINDOWS_BUILD) -G Ninja --no-warn-unused-cli -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(WINDOWS_BUILD) -j $(JOBS)

# Its tests under Wine, on a private X server with a fresh Wine prefix.
.PHONY: test-windows
test-windows: windows
	@ctest --test-dir $(WINDOWS_BUILD) -L windows --output-on-failure

# Remakes the four pictures in resources/ (deterministic: the same bytes each time).
pictures: deps
	@cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(BUILD) -j $(JOBS) --target hl_make_pictures
	@$(BUILD)/tools/hl_make_pictures resources

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD) $(PACKAGE_BUILD)
