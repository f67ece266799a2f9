#!/usr/bin/env bash
# Makes the loader's release archive, png2zeq-loader-<version>.zip, in the
# given directory (default build/): one folder, png2zeq-loader/, holding
# loader/ as it stands (library.properties, library.json, the sources,
# examples/) and the licence. It is what the Arduino IDE's "Sketch > Include
# Library > Add .ZIP Library" and PlatformIO's lib_deps take. Needs cmake.
#
#   scripts/make-loader-zip.sh [output-directory]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
output=$(mkdir -p "${1:-$root/build}" && cd "${1:-$root/build}" && pwd)
version=$(sed -n 's/^version=//p' "$root/loader/library.properties")
archive=$output/png2zeq-loader-$version.zip

staging=$(mktemp -d)
trap 'rm -rf "$staging"' EXIT
cp -R "$root/loader" "$staging/png2zeq-loader"
cp "$root/LICENSE" "$staging/png2zeq-loader/"
rm -f "$archive"
(cd "$staging" && cmake -E tar cf "$archive" --format=zip png2zeq-loader)
echo "$archive"
