#!/usr/bin/env bash
# Installs what BUILD built into a fresh prefix and checks that every promised file is
# there, then builds and runs the consumer against it: with find_package, and with
# pkg-config alone (unless PKG_CONFIG is empty). Also builds and runs the C++ example of
# the README, and imports the installed Python module with PYTHON (unless it is empty),
# from a scratch prefix and from a virtual environment's.
#   run.sh SOURCE_DIR BUILD_DIR CXX PKG_CONFIG PYTHON
set -euo pipefail
source_dir=$1 build_dir=$2 cxx=$3 pkg_config=$4 python=$5
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

fail() {
  echo "consumer: $*" >&2
  exit 1
}

# The one file under the prefix that matches the pattern; fails naming what is missing.
installed() {
  local found
  found=$(find "$prefix" -path "$prefix/$1" | head -n 1)
  [ -n "$found" ] || fail "the install lacks $1"
  echo "$found"
}

cmake --install "$build_dir" --prefix "$prefix" >/dev/null
for program in lumera lumera-pack lumera-explain; do
  [ -x "$(installed "bin/$program")" ] || fail "bin/$program is not executable"
  installed "share/man/man1/$program.1" >/dev/null
done
installed "include/lumera/lumera.h" >/dev/null
installed "lib*/liblumera.*" >/dev/null
installed "lib*/cmake/lumera/lumeraConfig.cmake" >/dev/null
pc=$(installed "lib*/pkgconfig/lumera.pc")
"$prefix/bin/lumera-pack" -V | grep -q lumera-pack || fail "the installed lumera-pack does not run"

for project in tests/consumer examples/api; do
  cmake -S "$source_dir/$project" -B "$work/$project" -DCMAKE_PREFIX_PATH="$prefix" \
    -DCMAKE_CXX_COMPILER="$cxx" >/dev/null
  cmake --build "$work/$project" >/dev/null
done
"$work/tests/consumer/consumer"
"$work/examples/api/example" | grep -q "round trip: ok"

if [ -n "$pkg_config" ]; then
  # The consumer chooses its own standard: the package names none.
  flags=$(PKG_CONFIG_PATH="${pc%/*}" "$pkg_config" --cflags --libs lumera)
  [[ " $flags " != *" -std="* ]] || fail "lumera.pc sets the standard: $flags"
  # shellcheck disable=SC2086
  "$cxx" -std=c++20 "$source_dir/tests/consumer/consumer.cpp" -o "$work/consumer-pc" $flags
  # A shared build is found at run time like any library outside the system's folders.
  LD_LIBRARY_PATH="${pc%/*}/.." "$work/consumer-pc"
fi

# A scratch prefix is none of the interpreter's own: the module goes where its scheme for a
# prefix says, and imports from there with PYTHONPATH. A virtual environment's prefix is
# its own: its python imports the module with no PYTHONPATH.
if [ -n "$python" ]; then
  site=$("$python" -c "import sysconfig, sys; print(sysconfig.get_path('platlib', 'posix_prefix',
    vars={'base': sys.argv[1], 'platbase': sys.argv[1]}))" "$prefix")
  module=$(installed "*/lumera.cpython*.so")
  [ "${module%/*}" = "$site" ] || fail "the Python module went to ${module%/*}, not to $site"
  installed "*/lumera.pyi" >/dev/null
  PYTHONPATH="$site" "$python" -c "import lumera, sys; sys.exit(lumera.__file__ != '$module')" ||
    fail "the installed Python module does not import"
  "$python" -m venv --without-pip "$work/venv"
  cmake --install "$build_dir" --prefix "$work/venv" >/dev/null
  env -u PYTHONPATH "$work/venv/bin/python" -c "import lumera" ||
    fail "a virtual environment's python does not import the module installed under its prefix"
fi
echo "consumer: the install is complete; find_package, pkg-config, the example and Python work"
