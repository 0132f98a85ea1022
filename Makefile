# Every target installs what it needs first (a no-op when it is all there).
JOBS ?= $(shell nproc)

.PHONY: all deps test demo bench clean

all: test

deps:
	@./scripts/install-deps

test: deps
	cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCORVANTA_SANITIZE=ON \
	      -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g"
	cmake --build build/test -j $(JOBS)
	cd build/test && ctest --output-on-failure -j $(JOBS)

demo: deps
	cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DCORVANTA_TESTS=OFF
	cmake --build build/release -j $(JOBS) --target corvanta-demo
	./build/release/examples/corvanta-demo $(DATA)

bench: deps
	cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DCORVANTA_TESTS=OFF \
	      -DCORVANTA_BENCH=ON
	cmake --build build/bench -j $(JOBS)
	./build/bench/bench/corvanta-bench $(BENCH_ARGS)

clean:
	rm -rf build
