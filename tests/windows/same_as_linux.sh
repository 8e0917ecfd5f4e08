#!/bin/sh
# The Windows build, run under Wine, against the Linux build on the bundled example:
# the same bytes on standard output (CR LF included), the same report and the same out.xml.
# Usage: same_as_linux.sh LINUX_LUMERA WINE LUMERA_EXE EXAMPLES_DIR
set -eu
linux=$1 wine=$2 exe=$3 examples=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for side in linux windows; do
  mkdir "$work/$side"
  cp "$examples/sample.lum" "$examples/dec.xml" "$work/$side/"
done
(cd "$work/linux" && "$linux" sample.lum < /dev/null > trace 2> report)
(cd "$work/windows" && "$wine" "$exe" sample.lum < /dev/null > trace 2> report)
for file in trace report out.xml; do
  cmp "$work/linux/$file" "$work/windows/$file"
done
echo "the example's trace, report and out.xml are the same on both builds"
