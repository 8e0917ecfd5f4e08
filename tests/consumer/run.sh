#!/usr/bin/env bash
# Installs the library built in BUILD into a fresh prefix, then builds and runs the
# consumer against it twice: with find_package, and with pkg-config alone. Also builds
# and runs the C++ example of the README the same way.
#   run.sh SOURCE_DIR BUILD_DIR CXX
set -euo pipefail
source_dir=$1 build_dir=$2 cxx=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake --install "$build_dir" --prefix "$work/prefix" >/dev/null
for project in tests/consumer examples/api; do
  cmake -S "$source_dir/$project" -B "$work/$project" -DCMAKE_PREFIX_PATH="$work/prefix" \
    -DCMAKE_CXX_COMPILER="$cxx" >/dev/null
  cmake --build "$work/$project" >/dev/null
done
"$work/tests/consumer/consumer"
"$work/examples/api/example" | grep -q "round trip: ok"

pcdir=$(find "$work/prefix" -name lumera.pc -printf '%h\n' | head -n 1)
# shellcheck disable=SC2046
"$cxx" -std=c++20 "$source_dir/tests/consumer/consumer.cpp" -o "$work/consumer-pc" \
  $(PKG_CONFIG_PATH="$pcdir" pkg-config --cflags --libs lumera)
# A shared build is found at run time like any library outside the system's folders.
LD_LIBRARY_PATH="$pcdir/.." "$work/consumer-pc"
echo "consumer: find_package, pkg-config and the example all work"
