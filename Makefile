# Every target installs what it needs first (a no-op when it is all there).
JOBS ?= $(shell nproc)
# Seconds for each of the fuzz targets.
FUZZ_SECONDS ?= 20

.PHONY: all deps check test tsan werror lint ci demo run bench clean

all: test

deps:
	@./scripts/install-deps

# The edit-test loop: a plain debug tree and every test but the soaks (the
# include layering among them); no sanitizers, no fuzzing.
check: deps
	@test -f build/check/build.ninja || cmake -S . -B build/check -G Ninja -DCMAKE_BUILD_TYPE=Debug
	cmake --build build/check -j $(JOBS)
	cd build/check && ctest --output-on-failure -j $(JOBS) -LE soak

# The full gate: every test, the soaks too, under AddressSanitizer and
# UndefinedBehaviorSanitizer, then the fuzz targets from a separate clang build (scripts/fuzz: its output is
# in build/fuzz/fuzz.log, a line per target here).
test: deps
	cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCORVANTA_SANITIZE=ON \
	      -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g1"
	cmake --build build/test -j $(JOBS)
	cd build/test && ctest --output-on-failure -j $(JOBS)
	cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" \
	      -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCORVANTA_FUZZ=ON -DCORVANTA_TESTS=OFF
	cmake --build build/fuzz -j $(JOBS)
	FUZZ_SECONDS=$(FUZZ_SECONDS) ./scripts/fuzz build/fuzz
	$(MAKE) tsan

# The tests of the threaded units (the framework, the controls, the program)
# under ThreadSanitizer, from a clang tree; tests/tsan.supp names the
# libraries whose own threads it cannot follow. Part of the full gate.
tsan: deps
	cmake -S . -B build/tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g1" \
	      -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCORVANTA_TSAN=ON
	cmake --build build/tsan -j $(JOBS)
	cd build/tsan && TSAN_OPTIONS="suppressions=$(CURDIR)/tests/tsan.supp" ctest --output-on-failure -j $(JOBS)

# What users run, built as they get it (release: the demo and the benchmarks),
# with warnings as errors.
werror: deps
	cmake -S . -B build/werror -G Ninja -DCMAKE_BUILD_TYPE=Release -DCORVANTA_TESTS=OFF -DCORVANTA_BENCH=ON \
	      -DCORVANTA_WERROR=ON
	cmake --build build/werror -j $(JOBS)

# Formatting and clang-tidy on the files changed since the branch left main.
lint: deps
	./scripts/check-changed

# Continuous integration (.ci/run): the full gate, the release build, the lint,
# then the README's user commands as a user types them (scripts/user-commands:
# `make demo` with no display, `make run` on Xvfb closed through File, Exit).
ci: test werror lint
	./scripts/user-commands

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
