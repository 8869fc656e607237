# Front door. `make test` is what CI runs on a fresh machine.
#
# What each command needs, one list per purpose: a command installs its own
# list and no more (and never what apt merely recommends), so that playing the
# demo does not bring in a browser.
# Building and running zep-sim and the library (Chart.js is embedded in zep-sim).
RUN_PACKAGES := cmake ninja-build g++ pkg-config libsafec-dev libyaml-cpp-dev nlohmann-json3-dev \
	libcli11-dev zlib1g-dev libzstd-dev libjs-chart.js
# CPack's Debian package: dpkg-shlibdeps for its run-time dependencies, and
# file(1), which it runs to find the binaries to give it.
DEB_TOOLS := dpkg-dev file
# The test suite on one compiler: GoogleTest, the report's page opened in a
# headless browser, and the .deb's tools for its test.
TEST_PACKAGES := $(RUN_PACKAGES) libgtest-dev libgmock-dev chromium $(DEB_TOOLS)
# The second compiler of `make test`, with its sanitizer and libFuzzer runtimes.
CLANG_PACKAGES := clang libclang-rt-14-dev
BENCH_PACKAGES := $(RUN_PACKAGES) libbenchmark-dev
PERF_PACKAGES := $(BENCH_PACKAGES) valgrind
DEB_PACKAGES := $(RUN_PACKAGES) $(DEB_TOOLS)
FUZZ_PACKAGES := $(RUN_PACKAGES) $(CLANG_PACKAGES)
COVERAGE_PACKAGES := $(TEST_PACKAGES) gcovr
MEMCHECK_PACKAGES := $(TEST_PACKAGES) valgrind
MUTATE_PACKAGES := $(TEST_PACKAGES) python3
SHAPE_PACKAGES := universal-ctags
# Every list at once, for `make deps`.
DEBIAN_PACKAGES := $(sort $(TEST_PACKAGES) $(CLANG_PACKAGES) $(BENCH_PACKAGES) $(PERF_PACKAGES) \
	$(DEB_PACKAGES) $(COVERAGE_PACKAGES) $(MUTATE_PACKAGES) $(SHAPE_PACKAGES))

# The install targets: deps-run for `make run`, deps-test for `make test`, ...
DEPS_TARGETS := deps-run deps-test deps-clang deps-bench deps-perf deps-deb deps-fuzz deps-coverage \
	deps-memcheck deps-mutate deps-shape

# Installs what is missing of the list given (needs root on a fresh machine).
define install_missing
	@missing=""; for p in $(1); do \
	  dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q 'ok installed' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "installing:$$missing"; \
	  apt-get update && DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $$missing; \
	fi
endef

# The aarch64 cross build: compiler, qemu-user and Debian's :arm64 libraries.
CROSS_PACKAGES := g++-aarch64-linux-gnu qemu-user libsafec-dev:arm64 \
	libgtest-dev:arm64 libgmock-dev:arm64 libyaml-cpp0.7:arm64 zlib1g-dev:arm64 libzstd-dev:arm64
# libyaml-cpp-dev is not multi-arch: its arm64 build is unpacked here instead.
CROSS_SIDE_DIR := build/aarch64-deps
CROSS_SIDE_PACKAGES := libyaml-cpp-dev:arm64 libyaml-cpp0.7:arm64

.PHONY: all deps $(DEPS_TARGETS) test test-gcc test-clang cross-deps cross-test deb run load-day record-day bench perf fuzz fuzz-run soak shape clean

all: test

# deps installs every list; deps-NAME one of them.
deps:
	$(call install_missing,$(DEBIAN_PACKAGES))
deps-run:
	$(call install_missing,$(RUN_PACKAGES))
deps-test:
	$(call install_missing,$(TEST_PACKAGES))
deps-clang:
	$(call install_missing,$(TEST_PACKAGES) $(CLANG_PACKAGES))
deps-bench:
	$(call install_missing,$(BENCH_PACKAGES))
deps-perf:
	$(call install_missing,$(PERF_PACKAGES))
deps-deb:
	$(call install_missing,$(DEB_PACKAGES))
deps-fuzz:
	$(call install_missing,$(FUZZ_PACKAGES))
deps-coverage:
	$(call install_missing,$(COVERAGE_PACKAGES))
deps-memcheck:
	$(call install_missing,$(MEMCHECK_PACKAGES))
deps-mutate:
	$(call install_missing,$(MUTATE_PACKAGES))
deps-shape:
	$(call install_missing,$(SHAPE_PACKAGES))

# The cross run goes last: it compares its traces with the native build's.
test:
	$(MAKE) test-gcc
	$(MAKE) test-clang
	$(MAKE) cross-test

test-gcc: deps-test
	cmake --preset test
	cmake --build --preset test
	ctest --preset test

test-clang: deps-clang
	cmake --preset clang-test
	cmake --build --preset clang-test
	ctest --preset clang-test

cross-deps: deps-test
	@dpkg --print-foreign-architectures | grep -qx arm64 || \
	  { dpkg --add-architecture arm64 && apt-get update; }
	@missing=""; for p in $(CROSS_PACKAGES); do \
	  dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q 'ok installed' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "installing:$$missing"; \
	  apt-get update && DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $$missing; \
	fi
	@if [ ! -d $(CROSS_SIDE_DIR)/usr ]; then \
	  rm -rf $(CROSS_SIDE_DIR).download && mkdir -p $(CROSS_SIDE_DIR).download && \
	  (cd $(CROSS_SIDE_DIR).download && apt-get download $(CROSS_SIDE_PACKAGES)) && \
	  for deb in $(CROSS_SIDE_DIR).download/*.deb; do dpkg-deb -x $$deb $(CROSS_SIDE_DIR); done && \
	  rm -rf $(CROSS_SIDE_DIR).download; \
	fi

# Builds for aarch64 and runs every test under qemu, among them the checks that
# zep-sim plays every scenario exactly as the native test build does, and that
# what the recording build records there replays the same on the native build.
cross-test: cross-deps
	cmake --preset test
	cmake --build --preset test --target zep-sim sta_meas
	cmake --preset aarch64
	cmake --build --preset aarch64
	ctest --preset aarch64

# Debian package of the library, headers, pkg-config file and zep-sim.
deb: deps-deb
	cmake --preset package
	cmake --build --preset package
	cpack --preset package -B $(CURDIR)/build/package/deb
	@ls build/package/deb/*.deb

# The main job: the simulator's built-in demo.
run: deps-run
	cmake --preset release -DZEP_BUILD_BENCH=OFF
	cmake --build --preset release --target zep-sim sta_meas
	./build/release/bin/zep-sim --lib ./build/release/lib/libsta_meas.so

# A day of full load on a release build: too long for the sanitizer builds of `make test`.
load-day: deps-run
	cmake --preset release -DZEP_BUILD_BENCH=OFF
	cmake --build --preset release --target zep-sim sta_meas
	./build/release/bin/zep-sim --quiet --lib ./build/release/lib/libsta_meas.so scenarios/load-day.yaml

# The day of full load played with the recording build, then the recording
# replayed on the normal one: it stops at the 64 MiB cap, about three hours in,
# and the replay says so.
record-day: deps-run
	cmake --preset release -DZEP_BUILD_BENCH=OFF
	cmake --build --preset release --target zep-sim sta_meas sta_meas_rec
	./build/release/bin/zep-sim --quiet --record build/release/load-day.rec scenarios/load-day.yaml
	./build/release/bin/zep-sim replay build/release/load-day.rec

# Sixty virtual days, across the 32-bit tick wrap, on a release build with the
# structure checker after every step (zep-soak links the application in).
soak: deps-run
	cmake -S . -B build/soak -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=g++
	cmake --build build/soak --target zep-soak
	./build/soak/bin/zep-soak scenarios/soak.yaml

bench: deps-bench
	cmake --preset release
	cmake --build --preset release
	./build/release/bench/sta_meas_bench

# Instructions per operation of every benchmark, under callgrind (docs/performance.md).
perf: deps-perf
	cmake --preset release
	cmake --build --preset release --target sta_meas_bench sta_meas_rec_bench
	bench/icount.sh build/release/bench/sta_meas_bench . ZEP_MNG_SendMsg ZEP_MNG_SendIPCMsg \
	  ZEP_DBG_Print ZEP_STAMEAS_MeasTimerTimeout
	@echo "== the same through the recording build's wrappers, recording off"
	bench/icount.sh build/release/bench/sta_meas_rec_bench 'HostSendMsg$$|HostFilteredLog|MeasLmReport$$|MeasExpiry4RadiosFullUncaptured'


fuzz: deps-fuzz
	cmake --preset fuzz
	cmake --build --preset fuzz

# Fuzzes every target for FUZZ_SECONDS each, starting from its saved corpus;
# new inputs go to build/fuzz/corpus/<target>/, findings to build/fuzz/findings/.
# Minimise what is worth keeping into fuzz/corpus/<target>/ with -merge=1.
# Allocation stacks are not recorded and the quarantine is small: both cost
# more than the target itself, and a finding is replayed with full reports.
FUZZ_SECONDS ?= 60
FUZZ_TARGETS := fuzz_stateful fuzz_scenario fuzz_logs fuzz_record_reader fuzz_record_events
fuzz-run: fuzz
	@for t in $(FUZZ_TARGETS); do \
	  mkdir -p build/fuzz/corpus/$$t build/fuzz/findings/$$t; \
	  echo "== $$t for $(FUZZ_SECONDS) s"; \
	  ASAN_OPTIONS=malloc_context_size=0:quarantine_size_mb=16 \
	  nice -n 10 ./build/fuzz/fuzz/$$t -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 \
	    -artifact_prefix=build/fuzz/findings/$$t/ build/fuzz/corpus/$$t fuzz/corpus/$$t || exit 1; \
	done

# Every function in src/ longer than 60 lines (LIMIT=N for another bound);
# fails when there is one. Needs no build.
shape: deps-shape
	LIMIT=$(or $(LIMIT),60) tools/long-functions.sh src

clean:
	rm -rf build

.PHONY: coverage memcheck mutate

# Line and branch coverage of the whole ctest suite, per file of src/ with the
# lines not run and the lines with a branch not taken, and the application's
# totals. Counters are cleared first so that runs do not add up; gcov runs once
# into a JSON tracefile that every report reads. Each report names its files
# with --filter: a tree built through a symbolic link gives the tracefile
# absolute source paths, which gcovr's implicit filter on the root drops.
COVERAGE_DIR := build/coverage
APP_DIR := src/zep/app/sta_mng/advance/sta_meas
GCOVR_REPORT := gcovr --root . --add-tracefile $(COVERAGE_DIR)/coverage.json
coverage: deps-coverage
	cmake --preset coverage
	cmake --build --preset coverage
	find $(COVERAGE_DIR) -name '*.gcda' -delete
	ctest --preset coverage
	gcovr --root . --object-directory $(COVERAGE_DIR) --exclude-directories '.*/CMakeFiles/[0-9.]+' \
	  --filter src/ --exclude-unreachable-branches --exclude-throw-branches \
	  --json $(COVERAGE_DIR)/coverage.json
	$(GCOVR_REPORT) --filter src/ --txt $(COVERAGE_DIR)/lines.txt
	$(GCOVR_REPORT) --filter src/ --branches --txt $(COVERAGE_DIR)/branches.txt
	mkdir -p $(COVERAGE_DIR)/html
	$(GCOVR_REPORT) --filter src/ --html-details $(COVERAGE_DIR)/html/index.html
	@cat $(COVERAGE_DIR)/lines.txt $(COVERAGE_DIR)/branches.txt
	@echo "application ($(APP_DIR)):"
	@$(GCOVR_REPORT) --filter $(APP_DIR)/ --print-summary --txt /dev/null
	@echo "annotated sources: $(COVERAGE_DIR)/html/index.html"

# The unit and scenario tests under valgrind memcheck, on a build without
# sanitizers (valgrind cannot run ASan binaries). Any error fails the target.
# Children are traced, so zep-sim runs checked where a cmake script starts it.
# The exports check is left out: it only runs nm on the library, and nm's
# loader trips a known ld.so false positive, with none of our code involved.
memcheck: deps-memcheck
	cmake --preset memcheck
	cmake --build --preset memcheck
	ctest --test-dir build/memcheck -j2 -T memcheck --output-on-failure -E '^sta_meas_exports$$' \
	  --overwrite MemoryCheckCommand=$$(command -v valgrind) \
	  --overwrite "MemoryCheckCommandOptions=--leak-check=full --errors-for-leak-kinds=definite,indirect --trace-children=yes --error-exitcode=99"

# Each fault of tools/mutants.json alone, against the suites that judge it
# (build/mutate, unsanitized Debug); kill rate, survivors, kills per test.
mutate: deps-mutate
	python3 tools/mutate.py
