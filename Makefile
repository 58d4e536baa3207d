# Entry points. `make test` sets up a fresh Debian machine and runs everything.
JOBS ?= $(shell nproc)
BUILD := build
NATIVE := $(BUILD)/native
WINDOWS := $(BUILD)/windows
CTEST_JOBS ?= 2
# The one version of everything: the CMake project version.
VERSION := $(shell grep -oE '^project.Vistrel VERSION [0-9.]+' CMakeLists.txt | cut -d' ' -f3)

.PHONY: all deps build native windows installer test soak fuzz bench demo format clean

all: build

deps:
	@scripts/deps.sh

$(NATIVE)/CMakeCache.txt: | deps
	cmake -S . -B $(NATIVE) -DVISTREL_SANITIZE=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo

$(WINDOWS)/CMakeCache.txt: | deps
	cmake -S . -B $(WINDOWS) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
		-DCMAKE_BUILD_TYPE=RelWithDebInfo

native: $(NATIVE)/CMakeCache.txt
	cmake --build $(NATIVE) -j $(JOBS)

windows: $(WINDOWS)/CMakeCache.txt
	cmake --build $(WINDOWS) -j $(JOBS)

build: native windows

# out/vistrel-setup-<version>.exe, the setup program (NSIS).
installer: windows
	cmake --build $(WINDOWS) --target installer -j $(JOBS)
	@mkdir -p out
	cp $(WINDOWS)/installer/vistrel-setup-$(VERSION).exe out/
	@ls -l out/vistrel-setup-$(VERSION).exe

test: build installer
	@printf 'subdirs("native" "windows")\n' > $(BUILD)/CTestTestfile.cmake
	cd $(BUILD) && ctest -j $(CTEST_JOBS) --output-on-failure --no-tests=error

# A thousand segment rotations of the running recorder (make test runs a
# hundred): limits exact, every file whole, handle counts flat.
SOAK_ROTATIONS ?= 1000
soak: build
	SOAK_ROTATIONS=$(SOAK_ROTATIONS) app/actions/tests/continuous_scenario.sh soak \
		$(WINDOWS)/bin $(NATIVE)

FUZZ := $(BUILD)/fuzz
FUZZ_SECONDS ?= 60
fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ) -DVISTREL_FUZZ=ON -DVISTREL_TESTS=OFF \
		-DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(FUZZ) -j $(JOBS)
	scripts/fuzz-all $(FUZZ) $(FUZZ_SECONDS)

bench: build
	scripts/bench-all

demo: build
	scripts/demo

format:
	git ls-files '*.cpp' '*.h' '**/*.cpp' '**/*.h' | sort -u | xargs clang-format -i

clean:
	rm -rf $(BUILD)
