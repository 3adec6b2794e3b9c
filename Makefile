# The two commands: `make demo` runs the co-installer's main job on the simulated machine and writes
# its report as a web page (build/demo/report.html);
# `make test` installs what is missing, builds everything and runs every test.
# `make bench` measures (bench/run_bench.py): figures in build/bench/.
# `make coverage` reports which lines and branches of the logic the host tests run: build/coverage/.
.PHONY: all host windows sanitize package test fuzz fuzz-merge demo sweep bench coverage clean

JOBS ?= $(shell nproc)
# Seconds each fuzz target runs under `make fuzz`, and on how many processes at once.
FUZZ_SECONDS ?= 180
FUZZ_JOBS ?= $(shell nproc)

all: host

# Each target installs the Debian packages it needs that are missing (scripts/ensure-deps.sh):
# `make demo` needs only the host's, not Wine, MinGW-w64, clang or Chromium.
host:
	@scripts/ensure-deps.sh host
	cmake --preset host >/dev/null
	@MAKEFLAGS= scripts/timed.sh "host tree built" cmake --build --preset host -j $(JOBS)

windows:
	@scripts/ensure-deps.sh windows
	cmake --preset windows >/dev/null
	@MAKEFLAGS= scripts/timed.sh "windows tree built" cmake --build --preset windows -j $(JOBS)

# The driver package folder (build/package/TarvixQ920k), laid out from both builds and checked.
package: host windows
	cmake --build --preset host --target tvx-package

# The host tree built by clang with ASan and UBSan, and the fuzz targets (build/sanitize).
sanitize:
	@scripts/ensure-deps.sh sanitize
	cmake --preset sanitize >/dev/null
	@MAKEFLAGS= scripts/timed.sh "sanitize tree built" cmake --build --preset sanitize -j $(JOBS)

# The three trees are built side by side, so that one tree's last links and slowest files overlap
# another's work; then the host tests (the Wine ones among them) and the sanitized ones run side
# by side too, TEST_JOBS at a time each: many Wine tests spend their time waiting (Wine starting,
# the co-installer's own time limits), so more of them than cores keep the cores busy. Each suite's
# output is kept in build/test-<suite>.log and shown in full when it fails.
TEST_JOBS ?= $(shell echo $$(( $(JOBS) * 2 )))

test:
	@scripts/ensure-deps.sh host windows sanitize test
	@$(MAKE) --no-print-directory --output-sync=target -j3 host windows sanitize
	@scripts/timed.sh "tests run" scripts/run-suites.sh $(TEST_JOBS) host sanitize

# Every target on every core for FUZZ_SECONDS, going on after a finding; what the runs find stays
# in build/sanitize/fuzz/corpus/, findings in build/sanitize/fuzz/artifacts/.
fuzz: sanitize
	fuzz/run.sh --jobs $(FUZZ_JOBS) build/sanitize/fuzz $(FUZZ_SECONDS)

# What the runs found, minimised into the seed corpora of the repository (fuzz/corpus/<target>/).
fuzz-merge: sanitize
	fuzz/run.sh --merge build/sanitize/fuzz

# Every failable call of every scenario failed in turn, once and from then on (make test runs every
# third); prints its figures and fails on any finding.
sweep: host
	build/host/tools/tvx-sim/tvx-sim sweep scenarios/*/scenario.toml

demo: host
	build/host/tools/tvx-sim/tvx-sim run --html build/demo/report.html

# BENCH_SCENARIOS=REGEX measures only the scenarios whose folder names match; BENCH_WINE_RUNS=N runs
# each N times instead of five (the whole Wine part takes about an hour on a 2-core machine).
bench: host windows
	@scripts/ensure-deps.sh bench
	python3 bench/run_bench.py --out build/bench $(if $(BENCH_SCENARIOS),--scenario-filter '$(BENCH_SCENARIOS)') \
		$(if $(BENCH_WINE_RUNS),--runs $(BENCH_WINE_RUNS))

# The host tree with the logic's coverage counters (build/coverage), its host tests run there, and
# per file of the logic the lines, functions and branches they ran: build/coverage/coverage.txt
# (also printed) and the page build/coverage/html/index.html. Left out by design, each with its
# reason: cmake/coverage-exclusions.txt.
coverage:
	@scripts/ensure-deps.sh host coverage
	cmake --preset coverage >/dev/null
	@MAKEFLAGS= scripts/timed.sh "coverage tree built" cmake --build --preset coverage -j $(JOBS)
	JOBS=$(JOBS) scripts/coverage.sh build/coverage

clean:
	rm -rf build
