# Quick start: `make run` sets up, builds and shows the sample folder; `make test` sets up, builds and
# runs every test. Both install the Debian packages that are missing first.

BUILD_DIR ?= build
ASAN_DIR  ?= build-asan
JOBS      ?= $(shell nproc 2>/dev/null || echo 2)
SAMPLES   := $(BUILD_DIR)/samples

PACKAGES := cmake g++ make pkg-config libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev \
            qt6-base-dev libgl-dev fonts-dejavu-core nlohmann-json3-dev dpkg-dev desktop-file-utils \
            libsqlite3-dev
FUZZ_PACKAGES := clang libclang-rt-14-dev
FUZZ_DIR  ?= build-fuzz
FUZZ_SECONDS ?= 60
SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)
# WERROR=ON (as CI sets it) makes warnings in the project's own code errors.
WERROR ?= OFF
CONFIGURE := cmake -S . -DLMP_WERROR=$(WERROR)

.PHONY: deps build run test sanitize tsan samples fuzz fuzz-build fuzz-merge bench package format-check other-builds windows windows-test clean

deps:
	@missing=$$(for p in $(PACKAGES) $(EXTRA_PACKAGES); do \
	    dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q '^install ok installed' || echo $$p; \
	  done); \
	if [ -n "$$missing" ]; then \
	  echo "Installing missing packages:" $$missing; \
	  $(SUDO) apt-get update -q && \
	  $(SUDO) env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $$missing; \
	fi

# Parts a goal asks for by name (make test: -DBUILD_TESTING=ON), so that a missing package stops the
# configure; a plain build takes the tests and benchmarks whose packages are there.
PARTS ?=

build: deps
	$(CONFIGURE) -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(PARTS)
	cmake --build $(BUILD_DIR) -j $(JOBS)

samples: build
	rm -rf $(SAMPLES)
	$(BUILD_DIR)/tools/lmp-samples $(SAMPLES)

run: samples
	@$(BUILD_DIR)/tools/show-samples.sh $(BUILD_DIR) $(SAMPLES)

test: PARTS += -DBUILD_TESTING=ON
test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

# A Debian package (CPack) of what `cmake --install` puts in place: build/lmpexplorer_VERSION_ARCH.deb.
# The programs are built again in their own tree, without tests and benchmarks, with Debian's hardening
# flags (dpkg-buildflags with every feature on: fortify, stack protector, RELRO and BIND_NOW; GCC makes
# PIE by default), so that the build the tests and benchmarks use keeps its own flags. The tools that
# packaging/check-package.sh runs on the result come with it.
PACKAGE_DIR ?= $(BUILD_DIR)/package
PACKAGE_PACKAGES := lintian appstream shared-mime-info libglib2.0-bin

package:
	$(MAKE) deps EXTRA_PACKAGES="$(PACKAGE_PACKAGES)"
	export DEB_BUILD_MAINT_OPTIONS=hardening=+all; \
	$(CONFIGURE) -B $(PACKAGE_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF -DLMP_BUILD_BENCHMARKS=OFF \
	  -DCMAKE_CXX_FLAGS="$$(dpkg-buildflags --get CPPFLAGS) $$(dpkg-buildflags --get CXXFLAGS)" \
	  -DCMAKE_EXE_LINKER_FLAGS="$$(dpkg-buildflags --get LDFLAGS)"
	cmake --build $(PACKAGE_DIR) -j $(JOBS)
	cd $(PACKAGE_DIR) && cpack -G DEB -B $(abspath $(BUILD_DIR))

# Every C++ source of the repository as the top-level .clang-format lays it out (Debian's clang-format).
format-check:
	$(MAKE) deps EXTRA_PACKAGES=clang-format
	git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run -Werror

# The test suite under AddressSanitizer and UndefinedBehaviorSanitizer.
sanitize: deps
	$(CONFIGURE) -B $(ASAN_DIR) -DCMAKE_BUILD_TYPE=Debug -DLMP_SANITIZE=ON -DBUILD_TESTING=ON \
	  -DLMP_BUILD_BENCHMARKS=OFF
	cmake --build $(ASAN_DIR) -j $(JOBS)
	cd $(ASAN_DIR) && ctest --output-on-failure -j $(JOBS)

# The test suite under ThreadSanitizer: the pipeline's workers, lmpinfo, the rest of the core and the window.
# Debian's Qt is not built with ThreadSanitizer, so tests/gui/tsan-qt.supp makes it ignore the memory calls
# made from inside Qt's and GLib's libraries (each entry says why); nothing of the program's own code is
# suppressed, and the core's and lmpinfo's tests link no Qt at all. A race ends the test that finds it.
TSAN_DIR ?= build-tsan
tsan: deps
	$(CONFIGURE) -B $(TSAN_DIR) -DCMAKE_BUILD_TYPE=Debug -DLMP_TSAN=ON -DBUILD_TESTING=ON \
	  -DLMP_BUILD_BENCHMARKS=OFF
	cmake --build $(TSAN_DIR) -j $(JOBS)
	cd $(TSAN_DIR) && TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 \
	  suppressions=$(CURDIR)/tests/gui/tsan-qt.supp $$TSAN_OPTIONS" \
	  ctest --output-on-failure -j $(JOBS)

# Everything, tests included, built by GCC with the Release flags and by clang: CI runs it with WERROR=ON, so
# a warning that only optimisation or the other compiler finds cannot creep in.
other-builds:
	$(MAKE) deps EXTRA_PACKAGES=clang
	$(CONFIGURE) -B build-release -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=ON -DLMP_BUILD_BENCHMARKS=ON
	cmake --build build-release -j $(JOBS)
	CXX=clang++ $(CONFIGURE) -B build-clang -DCMAKE_BUILD_TYPE=Debug -DBUILD_TESTING=ON -DLMP_BUILD_BENCHMARKS=ON
	cmake --build build-clang -j $(JOBS)

# The benchmarks and the folder benchmark, each ending with a short table (see docs/performance.md). GNU time
# measures the window's peak memory; perf (linux-perf) traces bench/lmpinfo-profile.sh.
BENCH_PACKAGES := time linux-perf

bench:
	$(MAKE) deps EXTRA_PACKAGES="$(BENCH_PACKAGES)"
	$(CONFIGURE) -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLMP_BUILD_BENCHMARKS=ON
	cmake --build $(BUILD_DIR) -j $(JOBS) --target lmp_bench lmpinfo lmp-bench-folder lmp-bench-selectall \
	  lmp-bench-selection lmp-bench-floor lmp-bench-details lmp-bench-cold lmp-bench-listing
	$(BUILD_DIR)/bench/lmp_bench --table_only --benchmark_repetitions=3
	bench/folder-bench.sh $(BUILD_DIR)

# Each fuzz target for FUZZ_SECONDS (a few seconds at most for one input), starting from the seeds that
# lmp_fuzz_seeds writes from the test kit (valid files of every type and edition) and from the corpus
# committed in fuzz/corpus/ (the query reader's seeds are the queries there), copied into FUZZ_DIR, where the run adds what it finds; prints each target's
# executions and their total. On a finding it prints the command that replays the saved input.
# fuzz-merge then writes the smallest set of found inputs shorter than FUZZ_CORPUS_MAX_BYTES that covers
# what the seeds do not back into fuzz/corpus/, for a person to commit; large files come from the seeds
# and from LargeFile's compact descriptions, so the committed corpus stays small.
FUZZ_TARGETS := DescribeFile:131072 RunLength:4096 NumberFormat:256 TrackDesign:256 Park:4096 LargeFile:4096 \
  Query:4096
FUZZ_TIMEOUT ?= 5
FUZZ_CORPUS_MAX_BYTES ?= 8192
FUZZ_FLAGS = -timeout=$(FUZZ_TIMEOUT) -rss_limit_mb=2048

fuzz-build:
	$(MAKE) deps EXTRA_PACKAGES="$(FUZZ_PACKAGES)"
	CXX=clang++ $(CONFIGURE) -B $(FUZZ_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLMP_BUILD_FUZZERS=ON \
	  -DLMP_BUILD_GUI=OFF -DLMP_BUILD_BENCHMARKS=OFF
	cmake --build $(FUZZ_DIR) -j $(JOBS) --target lmp_fuzz_seeds \
	  $(foreach t,$(FUZZ_TARGETS),lmp_fuzz_$(firstword $(subst :, ,$(t))))
	rm -rf $(FUZZ_DIR)/seeds
	$(FUZZ_DIR)/fuzz/lmp_fuzz_seeds $(FUZZ_DIR)/seeds

fuzz: fuzz-build
	@set -e; for t in $(FUZZ_TARGETS); do \
	  name=$${t%%:*}; maxlen=$${t##*:}; \
	  mkdir -p $(FUZZ_DIR)/corpus/$$name $(FUZZ_DIR)/seeds/$$name $(FUZZ_DIR)/findings; \
	  if [ -d fuzz/corpus/$$name ]; then cp -R fuzz/corpus/$$name/. $(FUZZ_DIR)/corpus/$$name/; fi; \
	  echo "fuzzing $$name for $(FUZZ_SECONDS) s"; \
	  $(FUZZ_DIR)/fuzz/lmp_fuzz_$$name -max_total_time=$(FUZZ_SECONDS) -max_len=$$maxlen $(FUZZ_FLAGS) \
	    -print_final_stats=1 -artifact_prefix=$(FUZZ_DIR)/findings/$$name- \
	    $(FUZZ_DIR)/corpus/$$name $(FUZZ_DIR)/seeds/$$name 2>$(FUZZ_DIR)/fuzz-$$name.log || { \
	    tail -n 60 $(FUZZ_DIR)/fuzz-$$name.log; \
	    sed -n 's/.*Test unit written to //p' $(FUZZ_DIR)/fuzz-$$name.log | while read -r input; do \
	      echo "replay the finding: $(FUZZ_DIR)/fuzz/lmp_fuzz_$$name $$input"; done; \
	    exit 1; }; \
	  grep -E '^stat::(number_of_executed_units|average_exec_per_sec)' $(FUZZ_DIR)/fuzz-$$name.log; \
	done; \
	for t in $(FUZZ_TARGETS); do cat $(FUZZ_DIR)/fuzz-$${t%%:*}.log; done | awk '/^stat::number_of_executed_units/ { n += $$2 } \
	  END { print "fuzzing: " n " executions in total, no finding" }'

fuzz-merge: fuzz-build
	@set -e; for t in $(FUZZ_TARGETS); do \
	  name=$${t%%:*}; maxlen=$${t##*:}; merged=$(FUZZ_DIR)/merged/$$name; found=$(FUZZ_DIR)/found/$$name; \
	  rm -rf $$merged $$found; mkdir -p $$merged $$found $(FUZZ_DIR)/corpus/$$name $(FUZZ_DIR)/seeds/$$name \
	    fuzz/corpus/$$name; \
	  cp -R $(FUZZ_DIR)/seeds/$$name/. $$merged/; \
	  find fuzz/corpus/$$name $(FUZZ_DIR)/corpus/$$name -type f -size -$(FUZZ_CORPUS_MAX_BYTES)c \
	    -exec cp {} $$found/ \; ; \
	  $(FUZZ_DIR)/fuzz/lmp_fuzz_$$name -merge=1 -max_len=$$maxlen $(FUZZ_FLAGS) $$merged $$found \
	    2>$(FUZZ_DIR)/merge-$$name.log || { \
	    tail -n 30 $(FUZZ_DIR)/merge-$$name.log; exit 1; }; \
	  rm -f $$merged/seed-* fuzz/corpus/$$name/*; \
	  if [ -n "$$(ls $$merged)" ]; then mv $$merged/* fuzz/corpus/$$name/; fi; \
	  echo "fuzz/corpus/$$name: $$(ls fuzz/corpus/$$name | wc -l) inputs," \
	    "$$(cat fuzz/corpus/$$name/* 2>/dev/null | wc -c) bytes"; \
	done

# lmpinfo.exe for 64-bit Windows, cross-built with MinGW-w64 (no window: Qt for Windows is not in Debian);
# windows-test also builds the core, scan and CLI tests and runs each test program once under Wine, with a
# Wine prefix of the build's own.
WINDOWS_DIR ?= build-windows
WINDOWS_PACKAGES := g++-mingw-w64-x86-64-posix googletest wine wine64
WINDOWS_CONFIGURE = $(CONFIGURE) -B $(WINDOWS_DIR) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
  -DCMAKE_BUILD_TYPE=Release -DLMP_BUILD_GUI=OFF -DLMP_BUILD_BENCHMARKS=OFF -DLMP_BUILD_FUZZERS=OFF
WINE_ENV = WINEPREFIX=$(abspath $(WINDOWS_DIR))/wine WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml= LC_ALL=C.UTF-8

windows:
	$(MAKE) deps EXTRA_PACKAGES="$(WINDOWS_PACKAGES)"
	$(WINDOWS_CONFIGURE) -DBUILD_TESTING=OFF
	cmake --build $(WINDOWS_DIR) -j $(JOBS) --target lmpinfo

windows-test:
	$(MAKE) deps EXTRA_PACKAGES="$(WINDOWS_PACKAGES)"
	$(WINDOWS_CONFIGURE) -DBUILD_TESTING=ON
	cmake --build $(WINDOWS_DIR) -j $(JOBS) --target lmpinfo lmp_core_tests lmp_scan_tests lmp_cli_tests
	cd $(WINDOWS_DIR) && $(WINE_ENV) ctest --verbose

clean:
	rm -rf $(BUILD_DIR) $(ASAN_DIR) $(TSAN_DIR) $(FUZZ_DIR) build-release build-clang $(WINDOWS_DIR)
