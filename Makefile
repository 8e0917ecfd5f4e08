# The project's entry points. `make` alone lists them; the two that set a machine up are
# `make run` and `make test`. Each build type has a folder of its own under build/.
JOBS ?= $(shell nproc)
# How long `make fuzz` runs each fuzz target.
FUZZ_SECONDS ?= 60
FUZZ_TARGETS := decode roundtrip explain resource

# Where `make install` puts the programs (PREFIX/bin), the manual pages (PREFIX/share/man), the
# library with its header and packages (PREFIX/lib, PREFIX/include) and the Python module.
PREFIX ?= /usr/local

# The Windows build: Debian's mingw-w64 cross compiler, and Wine to run its tests.
MINGW_CXX := x86_64-w64-mingw32-g++-posix
MINGW_OBJDUMP := x86_64-w64-mingw32-objdump
WINE_DIR := /usr/lib/wine
WINDOWS_TOOLCHAIN := -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake

.PHONY: help run test test-windows release windows fuzz bench clean install

help:
	@echo "make release   optimized build of the programs, in build/release"
	@echo "make run       release build, then lumera on the bundled example"
	@echo "make install   release build, then programs, man pages, library and Python module under PREFIX"
	@echo "make windows   the Windows programs and library, packed into build/windows/lumera-*-win64.zip"
	@echo "make test      installs missing packages (scripts/install-deps), then every test:"
	@echo "               sanitized in build/test, the installed library in build/library,"
	@echo "               the Windows build under Wine in build/test-windows"
	@echo "make fuzz      each fuzz target for FUZZ_SECONDS (default 60), with clang"
	@echo "make bench     speed, memory and size measurements against their targets"
	@echo "make clean     remove build/"

release:
	cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DLUMERA_TESTS=OFF
	cmake --build build/release -j $(JOBS)

run: release
	cd examples && ../build/release/programs/lumera sample.lum

install: release
	cmake --install build/release --prefix $(PREFIX)

# scripts/install-deps installs the packages that the tests use, when they are missing.
# A sanitized module does not load into a plain python3, and an outside project does not
# link a sanitized library: the installed library and the Python module are tested in a
# second tree of their own, without sanitizers.
test:
	scripts/install-deps
	cmake -S . -B build/test -DCMAKE_BUILD_TYPE=Debug -DLUMERA_SANITIZE=ON -DLUMERA_PYTHON=OFF
	cmake --build build/test -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --test-dir build/test --output-on-failure -j $(JOBS)
	cmake -S . -B build/library -DCMAKE_BUILD_TYPE=Debug -DLUMERA_TESTS=OFF \
	  -DLUMERA_LIBRARY_TESTS=ON -DPython_EXECUTABLE=$$(command -v python3)
	cmake --build build/library -j $(JOBS)
	ctest --test-dir build/library --output-on-failure -j $(JOBS)
	$(MAKE) test-windows

# The programs, the static library, the README, the manual pages as HTML and the example;
# then the zip is checked as a user gets it (tests/windows/package_check.sh).
windows:
	cmake -S . -B build/windows $(WINDOWS_TOOLCHAIN) -DCMAKE_BUILD_TYPE=Release -DLUMERA_TESTS=OFF
	cmake --build build/windows -j $(JOBS)
	cd build/windows && cpack -G ZIP
	tests/windows/package_check.sh "$$(ls -t build/windows/lumera-*-win64.zip | head -n 1)" \
	  $(MINGW_OBJDUMP)

# The Windows tree is built lean (-O1, no debug information) and run under Wine, with a
# prefix of its own (made once, in about 15 s) and one wineserver for the whole run,
# stopped also when a test fails. Its tests are listed when ctest runs them, through a
# pipe: wineboot starts Wine's own services first, every run, with their output on
# /dev/null, so that no service started later inherits that pipe and holds ctest up.
# On a loaded machine Wine now and then fails to start a process, so a failed test runs
# once more.
test-windows:
	@if ! command -v $(MINGW_CXX) >/dev/null || [ ! -x $(WINE_DIR)/wine64 ]; then \
	  echo "make test: $(MINGW_CXX) or $(WINE_DIR)/wine64 is missing, so the Windows tests are skipped"; \
	  exit 0; \
	fi; \
	set -e; \
	cmake -S . -B build/test-windows $(WINDOWS_TOOLCHAIN) -DCMAKE_BUILD_TYPE= -DCMAKE_CXX_FLAGS=-O1 \
	  -DLUMERA_LINUX_BUILD=$(CURDIR)/build/test; \
	cmake --build build/test-windows -j $(JOBS); \
	export WINEPREFIX=$(CURDIR)/build/test-windows/wine WINEDEBUG=-all; \
	mkdir -p $$WINEPREFIX; \
	$(WINE_DIR)/wineserver -p; \
	trap '$(WINE_DIR)/wineserver -k' EXIT; \
	$(WINE_DIR)/wine64 wineboot --init >/dev/null 2>&1; \
	ctest --test-dir build/test-windows --output-on-failure -j $(JOBS) --repeat until-pass:2

# Each target runs on a scratch copy of its corpus, so what it finds stays out of the
# committed corpus; inputs that expose a fault land in fuzz/artifacts/ (ignored by git).
fuzz:
	scripts/install-deps
	CXX=clang++ cmake -S . -B build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DLUMERA_FUZZ=ON -DLUMERA_TESTS=OFF
	cmake --build build/fuzz -j $(JOBS)
	set -e; for t in $(FUZZ_TARGETS); do \
	  rm -rf build/fuzz/corpus/$$t; mkdir -p build/fuzz/corpus/$$t fuzz/artifacts; \
	  cp fuzz/corpus/$$t/* build/fuzz/corpus/$$t/; \
	  build/fuzz/fuzz/$${t}_fuzzer -max_total_time=$(FUZZ_SECONDS) -timeout=10 -rss_limit_mb=1024 \
	    -print_final_stats=1 -artifact_prefix=fuzz/artifacts/$$t- build/fuzz/corpus/$$t; \
	done
	@echo "fuzz: $(words $(FUZZ_TARGETS)) passed, 0 failed"

# The codec micro-benchmarks, the traced tool of the release build on its worst case, the
# explorer and its page on two real texts, the packing levels on the installed XML files,
# then lumera-pack on an input without end. Every step runs; the status says whether any
# missed a target.
bench: release
	scripts/install-deps
	cmake -S . -B build/bench -DCMAKE_BUILD_TYPE=Release -DLUMERA_TESTS=OFF -DLUMERA_BENCH=ON
	cmake --build build/bench -j $(JOBS)
	@status=0; \
	for step in codec_bench "worst_case build/release/programs/lumera" explain_bench \
	    compression_set "input_bound build/release/programs/lumera-pack"; do \
	  echo "build/bench/bench/$$step"; build/bench/bench/$$step || status=1; \
	done; \
	if [ $$status -ne 0 ]; then echo "bench: a target was missed (see MISSED above)"; fi; \
	exit $$status

clean:
	rm -rf build
