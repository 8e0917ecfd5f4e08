#!/usr/bin/env bash
# The Windows zip as a user gets it: every .exe stripped of its debugging sections, a
# README-windows.txt at the top of the one folder it unpacks to, and every path that the
# README names (such as bin\lumera.exe or examples\*.lum) in the zip.
# Usage: package_check.sh ZIP OBJDUMP
set -euo pipefail
zip=$1 objdump=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() {
  echo "package_check: $*" >&2
  exit 1
}

folder=$(basename "$zip" .zip)
unzip -q "$zip" -d "$work"
[ "$(ls "$work")" = "$folder" ] || fail "the zip does not unpack to the one folder $folder"
root=$work/$folder
readme=$root/README-windows.txt
[ -f "$readme" ] || fail "no README-windows.txt in $folder"

exes=("$root"/bin/*.exe)
[ ${#exes[@]} -eq 3 ] || fail "bin holds ${#exes[@]} programs, not 3"
for exe in "${exes[@]}"; do
  if "$objdump" -h "$exe" | grep -q ' \.debug_'; then
    fail "${exe#"$root"/} carries debugging sections"
  fi
done

# Paths start at one of the folders of the zip; a trailing dot or comma ends a sentence.
names=$(tr -d '\r' < "$readme" | grep -oE '\b(bin|doc|examples|include|lib)\\[^ ,()]*' |
  sed 's/[.,]$//' | sort -u)
[ -n "$names" ] || fail "README-windows.txt names no file of the zip"
while read -r name; do
  # shellcheck disable=SC2086  # a name with * must match as a pattern
  compgen -G "$root/${name//\\//}" >/dev/null || fail "README-windows.txt names $name, which the zip lacks"
done <<< "$names"
echo "package_check: $folder: ${#exes[@]} stripped programs, and every path that its README names"
