# Two entry points: `make run` builds the tool and runs it on the bundled example,
# `make test` builds everything under AddressSanitizer and UndefinedBehaviorSanitizer and
# runs every test.
JOBS ?= $(shell nproc)

.PHONY: run test release fuzz bench clean

release:
	cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DLUMERA_TESTS=OFF
	cmake --build build/release -j $(JOBS)

run: release
	cd examples && ../build/release/app/lumera sample.lum

test:
	cmake -S . -B build/test -DCMAKE_BUILD_TYPE=Debug -DLUMERA_SANITIZE=ON
	cmake --build build/test -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --test-dir build/test --output-on-failure -j $(JOBS)

clean:
	rm -rf build
