# Two commands for a new user: `make run` and `make test`. Everything else is a helper.
JOBS ?= $(shell nproc)
WERROR := $(if $(CI),ON,OFF)
CMAKE_FLAGS := -DTS_WERROR=$(WERROR)
# ccache hits across checkouts in other folders (CI clones afresh).
export CCACHE_BASEDIR := $(CURDIR)
export CCACHE_NOHASHDIR := 1

.PHONY: all deps build build-asan test test-asan run run-tilex bench package format clean

all: build

deps:
	@scripts/install-deps

build: deps
	@cmake --preset default $(CMAKE_FLAGS) >/dev/null
	@cmake --build --preset default -j$(JOBS)

build-asan: deps
	@cmake --preset asan $(CMAKE_FLAGS) >/dev/null
	@cmake --build --preset asan -j$(JOBS)

test: build build-asan
	ctest --preset default -j$(JOBS)
	ctest --preset asan -j$(JOBS)

test-asan: build-asan
	ctest --preset asan -j$(JOBS)

run: build
	@scripts/run-main

run-tilex: build
	@build/bin/Tilex/Tilex

bench: build
	@scripts/run-bench

package: build
	@cd build && cpack -G DEB

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build build-asan
