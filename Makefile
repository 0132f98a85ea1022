# Every target installs what it needs first (a no-op when it is all there).
JOBS ?= $(shell nproc)
# Seconds for each of the fuzz targets.
FUZZ_SECONDS ?= 20

.PHONY: all deps test demo run bench clean

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
# Then expressions from random texts, compiled and evaluated against a small table.
	mkdir -p build/fuzz/expr-corpus
	build/fuzz/tests/fuzz/expr_fuzz -max_total_time=$(FUZZ_SECONDS) -timeout=10 -max_len=512 -print_final_stats=1 \
	      -dict=tests/fuzz/expr.dict -artifact_prefix=build/fuzz/expr- build/fuzz/expr-corpus tests/fuzz/expr_seeds
# Memo files the same way, behind a fixed memo table.
	mkdir -p build/fuzz/memo-corpus
	build/fuzz/tests/fuzz/memo_fuzz -max_total_time=$(FUZZ_SECONDS) -timeout=10 -print_final_stats=1 \
	      -artifact_prefix=build/fuzz/memo- build/fuzz/memo-corpus build/fuzz/memo-seeds
# Then index files from random bytes, opened and walked over a small table.
	mkdir -p build/fuzz/mdx-corpus
	build/fuzz/tests/fuzz/mdx_fuzz -max_total_time=$(FUZZ_SECONDS) -timeout=10 -max_len=40960 -print_final_stats=1 \
	      -artifact_prefix=build/fuzz/mdx- build/fuzz/mdx-corpus tests/fuzz/mdx_seeds

demo: deps
	cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DCORVANTA_TESTS=OFF
	cmake --build build/release -j $(JOBS) --target corvanta-demo
	./build/release/examples/corvanta-demo $(DATA)

# The program's main window on the screen DISPLAY names; the demo's data is
# made first when the folder has none.
run: deps
	cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DCORVANTA_TESTS=OFF
	cmake --build build/release -j $(JOBS) --target corvanta-run
	./build/release/examples/corvanta-run $(DATA)

bench: deps
	cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DCORVANTA_TESTS=OFF \
	      -DCORVANTA_BENCH=ON
	cmake --build build/bench -j $(JOBS)
	./build/bench/bench/corvanta-bench $(BENCH_ARGS)

clean:
	rm -rf build
