# The two commands: `make demo` runs the co-installer's main job on the simulated machine;
# `make test` installs what is missing, builds everything and runs every test.
# `make bench` measures (bench/run_bench.py): figures in build/bench/.
.PHONY: all deps host windows test demo bench clean

JOBS ?= $(shell nproc)

all: host

deps:
	@scripts/ensure-deps.sh

host: deps
	cmake --preset host >/dev/null
	cmake --build --preset host -j $(JOBS)

windows: deps
	cmake --preset windows >/dev/null
	cmake --build --preset windows -j $(JOBS)

test: host windows
	ctest --preset host -j $(JOBS)

demo: host
	build/host/tools/tvx-sim/tvx-sim run

bench: host windows
	@scripts/ensure-deps.sh --bench
	python3 bench/run_bench.py --out build/bench

clean:
	rm -rf build
