# make demo   builds everything and shows the system at work under Wine
# make test   builds everything and runs every test
# make bench  runs the benchmarks
BUILD      ?= build/win32
JOBS       ?= $(shell nproc)
CTEST_ARGS ?=
export JOBS

.PHONY: all bootstrap build test bench demo clean

all: build

bootstrap:
	@scripts/bootstrap.sh

build: bootstrap
	@scripts/build.sh $(BUILD)

test: build
	ctest --test-dir $(BUILD) -LE bench -j$(JOBS) --output-on-failure $(CTEST_ARGS)

bench: build
	ctest --test-dir $(BUILD) -L bench --output-on-failure -V $(CTEST_ARGS)

demo: build
	scripts/demo.sh $(BUILD)

clean:
	rm -rf build
