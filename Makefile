# Quick start: `make run` and `make test`. Everything else is a convenience.
BUILD_DIR ?= build
PRESET    ?= default
JOBS      ?= $(shell nproc)

.PHONY: deps configure build run test stress bench sanitize fuzz package install format clean

deps:
	@bash scripts/install-deps.sh

configure: deps
	@cmake --preset $(PRESET) >/dev/null

build: configure
	@cmake --build --preset $(PRESET) -j $(JOBS)

# The optimised build: what a user judges Orvell's speed by.
run: deps
	@cmake --preset release >/dev/null
	@cmake --build --preset release -j $(JOBS) --target orvell orvell-cli
	@./build-release/Orvell/orvell

test: build
	@ctest --preset $(PRESET) -j $(JOBS) -LE stress

# The long crash-consistency run: a child process killed 200 times mid-edit.
stress: build
	@ctest --preset $(PRESET) -L stress --output-on-failure

bench: deps
	@cmake --preset release >/dev/null
	@cmake --build --preset release -j $(JOBS)
	@# Only the benchmark programs (the build folder also holds their autogen folders);
	@# a failing benchmark fails the run.
	@set -e; for b in build-release/bench/bench_*; do \
	  [ -f "$$b" ] && [ -x "$$b" ] || continue; echo "== $$b"; \
	  $$b --benchmark_min_time=0.3 --benchmark_repetitions=5 --benchmark_report_aggregates_only=true; done
	@bash bench/paused_cpu.sh build-release/Orvell/orvell 20
	@bash bench/scroll_cpu.sh build-release 30 1
	@bash bench/scroll_cpu.sh build-release 30 2
	@/usr/bin/python3 bench/library_scale.py build-release/Orvell/orvell

# A .deb of the optimised build, checked by lintian; see README, "Install".
package: deps
	@bash scripts/install-deps.sh package
	@cmake --preset release >/dev/null
	@cmake --build --preset release -j $(JOBS)
	@cd build-release && cpack -G DEB >/dev/null && ls -l orvell_*.deb
	@dpkg-deb --info build-release/orvell_*.deb
	@lintian --tag-display-limit 0 build-release/orvell_*.deb || true

# Installs the optimised build under PREFIX (default /usr/local), DESTDIR honoured.
PREFIX ?= /usr/local
install: deps
	@cmake --preset release -DCMAKE_INSTALL_PREFIX=$(PREFIX) >/dev/null
	@cmake --build --preset release -j $(JOBS)
	@DESTDIR=$(DESTDIR) cmake --install build-release

sanitize:
	@$(MAKE) --no-print-directory test PRESET=sanitize BUILD_DIR=build-sanitize

# Ten minutes of libFuzzer on each reader (clang); findings land in build-fuzz/findings.
FUZZ_SECONDS ?= 600
fuzz: deps
	@bash scripts/install-deps.sh fuzz
	@cmake --preset fuzz >/dev/null
	@cmake --build --preset fuzz -j $(JOBS) --target fuzz_rtf fuzz_wordml fuzz_odt fuzz_doc fuzz_markdown fuzz_plaintext
	@for t in rtf wordml odt doc markdown plaintext; do \
	  mkdir -p build-fuzz/corpus/$$t build-fuzz/findings/$$t; cp -n tests/data/fuzz/$$t/* build-fuzz/corpus/$$t/; \
	  (cd build-fuzz/findings/$$t && ../../tests/fuzz_$$t -max_total_time=$(FUZZ_SECONDS) -timeout=10 \
	    -rss_limit_mb=2048 -print_final_stats=1 ../../corpus/$$t) || exit 1; done

format:
	@git ls-files '*.h' '*.cpp' | xargs clang-format -i

clean:
	@rm -rf build build-release build-sanitize build-fuzz
