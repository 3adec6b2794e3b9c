# The two commands: `make demo` runs the co-installer's main job on the simulated machine and writes
# its report as a web page (build/demo/report.html);
# `make test` installs what is missing, builds everything and runs every test.
.PHONY: all deps host windows test demo clean

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
	build/host/tools/tvx-sim/tvx-sim run --html build/demo/report.html

clean:
	rm -rf build
