# make demo   builds everything and shows the system at work under Wine
# make test   builds everything and runs every test
# make bench  runs the benchmarks
# make fuzz   runs the fuzz targets of the native build (FUZZ_SECONDS each)
# make package builds the installer package of the 32-bit deliverables
BUILD      ?= build/win32
NATIVE     ?= build/native
FUZZ_SECONDS ?= 60
JOBS       ?= $(shell nproc)
CTEST_ARGS ?=
export JOBS

.PHONY: all bootstrap build native test bench fuzz demo package clean

all: build

bootstrap:
	@scripts/bootstrap.sh

build: bootstrap
	@scripts/build.sh $(BUILD)

native: bootstrap
	@scripts/native.sh build $(NATIVE)

test: build native
	ctest --test-dir $(NATIVE) -j$(JOBS) --output-on-failure
	ctest --test-dir $(BUILD) -LE bench -j$(JOBS) --output-on-failure $(CTEST_ARGS)

bench: build
	ctest --test-dir $(BUILD) -L bench --output-on-failure -V $(CTEST_ARGS)

fuzz: native
	@scripts/native.sh fuzz $(NATIVE) $(FUZZ_SECONDS)

package: build
	@scripts/package.sh $(BUILD)

demo: build
	scripts/demo.sh $(BUILD)

clean:
	rm -rf build
