# The two commands of the README: `make run` and `make test`. Both install what is missing,
# configure and build first.
BUILD ?= build
CMAKE_FLAGS ?= -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++

# The tests' parts are switched on outright: a tree that `make run` configured has them off.
TEST_FLAGS = -DKELVANE_TESTS=ON -DKELVANE_SANITIZE=ON -DKELVANE_FUZZ=ON
PROGRAM_ONLY = -DKELVANE_TESTS=OFF -DKELVANE_SANITIZE=OFF -DKELVANE_FUZZ=OFF

.PHONY: all deps deps-run configure configure-run build run test package perf format clean

all: build

deps:
	@bash scripts/install-deps.sh test

deps-run:
	@bash scripts/install-deps.sh run

configure: deps
	@cmake -S . -B $(BUILD) $(CMAKE_FLAGS) $(TEST_FLAGS) >/dev/null

# A new tree without the tests, which need packages `make run` does not install; a tree
# already configured keeps what it has.
configure-run: deps-run
	@cmake -S . -B $(BUILD) $(CMAKE_FLAGS) \
	  $$([ -f $(BUILD)/CMakeCache.txt ] || echo "$(PROGRAM_ONLY)") >/dev/null

build: configure
	@cmake --build $(BUILD)

# Only the program and its bundle: the tests, the sanitizer builds and the benchmarks are
# for `make test` and `make perf`. Without a display it runs one test offscreen; options for
# the program go in RUN_ARGS, e.g. make run RUN_ARGS=--offscreen=1280x720
run: configure-run
	@cmake --build $(BUILD) --target kelvane
	@bash scripts/run.sh $(BUILD) $(RUN_ARGS)

test: build
	@cd $(BUILD) && ctest --output-on-failure -j2

# The .deb of the program (CPack), in $(BUILD); only the program and its manual page are built.
package: configure
	@cmake --build $(BUILD) --target kelvane kelvane_man
	@cd $(BUILD) && cpack

perf: build
	@for p in $(BUILD)/perf/perf_*; do echo "== $$p"; $$p || exit 1; done

format:
	@clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD)
