# Every target installs what it needs first (a no-op when it is all there).
JOBS ?= $(shell nproc)
FUZZ_SECONDS ?= 60
MEMO_FUZZ_SECONDS ?= 30

.PHONY: all deps test demo bench clean

all: test

deps:
	@./scripts/install-deps

test: deps
	cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCORVANTA_SANITIZE=ON \
	      -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g"
	cmake --build build/test -j $(JOBS)
	cd build/test && ctest --output-on-failure -j $(JOBS)
# Then table files from random bytes: a separate clang build with libFuzzer;
# a crash fails the target and leaves its input in build/fuzz/crash-*
# (build/fuzz/memo-crash-* for memo files).
	cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" \
	      -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCORVANTA_FUZZ=ON -DCORVANTA_TESTS=OFF
	cmake --build build/fuzz -j $(JOBS)
	rm -rf build/fuzz/seeds build/fuzz/memo-seeds
	build/fuzz/tests/fuzz/dbf_fuzz_seeds build/fuzz/seeds build/fuzz/memo-seeds
	mkdir -p build/fuzz/corpus
	build/fuzz/tests/fuzz/dbf_fuzz -max_total_time=$(FUZZ_SECONDS) -timeout=10 -print_final_stats=1 \
	      -artifact_prefix=build/fuzz/ build/fuzz/corpus build/fuzz/seeds
# Memo files the same way, behind a fixed memo table.
	mkdir -p build/fuzz/memo-corpus
	build/fuzz/tests/fuzz/memo_fuzz -max_total_time=$(MEMO_FUZZ_SECONDS) -timeout=10 -print_final_stats=1 \
	      -artifact_prefix=build/fuzz/memo- build/fuzz/memo-corpus build/fuzz/memo-seeds

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
