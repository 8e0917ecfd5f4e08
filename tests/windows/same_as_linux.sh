#!/bin/sh
# The Windows build, run under Wine, against the Linux build on the bundled example: the
# traced tool prints the same bytes on standard output (CR LF included), the same report
# and the same out.xml, lumera-pack -9 packs the reference to the same stream, and
# lumera-explain lists the example in the same JSON Lines.
# Usage: same_as_linux.sh LINUX_PROGRAMS_DIR WINE WINDOWS_PROGRAMS_DIR EXAMPLES_DIR
set -eu
linux=$1 wine=$2 windows=$3 examples=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/linux" "$work/windows"
cp "$examples/sample.lum" "$examples/dec.xml" "$work/linux/"
cp "$examples/sample.lum" "$examples/dec.xml" "$work/windows/"
(cd "$work/linux" && "$linux/lumera" sample.lum < /dev/null > trace 2> report &&
  "$linux/lumera-pack" -9 dec.xml packed.lum && "$linux/lumera-explain" --json sample.lum > json)
(cd "$work/windows" && "$wine" "$windows/lumera.exe" sample.lum < /dev/null > trace 2> report &&
  "$wine" "$windows/lumera-pack.exe" -9 dec.xml packed.lum &&
  "$wine" "$windows/lumera-explain.exe" --json sample.lum > json)
for file in trace report out.xml packed.lum json; do
  cmp "$work/linux/$file" "$work/windows/$file"
done
echo "the same trace, report, out.xml, -9 stream and JSON Lines from both builds"
