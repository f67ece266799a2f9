#!/usr/bin/env bash
# Fetches the upstream sources of Debian source packages (zlib for a device
# build, libpng and libdeflate for the Windows build) and unpacks each into
# build/deps-src/<package>/, printing that directory. Nothing is committed:
# the sources come from Debian's archive at build time, through an apt
# configuration of its own, so the machine's sources list stays as it is.
# A package already unpacked is not fetched again.
#
#   scripts/fetch-debian-source.sh zlib libpng1.6 libdeflate
set -euo pipefail
cd "$(dirname "$0")/.."
[ $# -gt 0 ] || { echo "usage: $0 PACKAGE..." >&2; exit 2; }

root=${PNG2ZEQ_DEPS_SRC:-$PWD/build/deps-src}
mkdir -p "$root"
root=$(cd "$root" && pwd)
# Tests that build for several devices fetch at the same time: one at a time.
exec 9>"$root/.lock"
flock 9

wanted=()
for package in "$@"; do
  [ -f "$root/$package/.unpacked" ] || wanted+=("$package")
done

if [ ${#wanted[@]} -gt 0 ]; then
  command -v apt-get >/dev/null || { echo "apt-get is needed to fetch ${wanted[*]}" >&2; exit 1; }
  # The mirror the machine already uses; only the release suite, whose files it serves.
  uri=$(sed -n 's/^URIs:[[:space:]]*//p' /etc/apt/sources.list.d/debian.sources 2>/dev/null | head -n 1)
  [ -n "$uri" ] || uri=$(sed -n 's/^deb[[:space:]]\+\(http[^[:space:]]*\).*/\1/p' /etc/apt/sources.list 2>/dev/null | head -n 1)
  [ -n "$uri" ] || uri=http://deb.debian.org/debian
  apt_dir=$root/.apt
  mkdir -p "$apt_dir/parts" "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial"
  printf 'Types: deb-src\nURIs: %s\nSuites: bookworm\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
    "$uri" > "$apt_dir/parts/src.sources"
  options=(-o Dir::Etc::SourceList=/dev/null -o "Dir::Etc::SourceParts=$apt_dir/parts"
           -o "Dir::State::Lists=$apt_dir/lists" -o "Dir::Cache=$apt_dir/cache")
  # As root, apt would hand the download to its own user, who cannot write here.
  [ "$(id -u)" -ne 0 ] || options+=(-o APT::Sandbox::User=root)
  [ -n "$(ls "$apt_dir/lists" 2>/dev/null | grep -v partial)" ] || apt-get -qq "${options[@]}" update
  download=$apt_dir/download
  rm -rf "$download" && mkdir -p "$download"
  (cd "$download" && apt-get -qq "${options[@]}" source --download-only "${wanted[@]}")
  for package in "${wanted[@]}"; do
    # The .dsc names the upstream tarball; Debian's own patches are not needed.
    tarball=$(ls "$download"/"${package%%[0-9.]*}"*.orig.tar.* 2>/dev/null | grep -v '\.asc$' | head -n 1)
    [ -n "$tarball" ] || { echo "no upstream sources of $package downloaded" >&2; exit 1; }
    rm -rf "${root:?}/$package" && mkdir -p "$root/$package"
    tar -xf "$tarball" -C "$root/$package" --strip-components=1
    touch "$root/$package/.unpacked"
  done
  rm -rf "$download"
fi

for package in "$@"; do echo "$root/$package"; done
