# Sourced by the size benches with their arguments (BUILD_DIR [RUNS]) and a
# name for their scratch folder: checks the converter and the photographs,
# and draws bench/ui_images.cpp's three screens into $work, removed on exit.
# Sets build_dir, runs, converter, here, photos and work.
build_dir=${1:?usage: $0 BUILD_DIR [RUNS]}
runs=${2:-3}
converter="$build_dir/bin/png2zeq"
here=$(cd "$(dirname "$0")" && pwd)
photos=${PNG2ZEQ_SHARED_DIR:-$here/../../shared}/photos

[[ -x $converter ]] || { echo "no converter at $converter" >&2; exit 1; }
[[ -d $photos ]] || { echo "no photographs in $photos" >&2; exit 1; }

work=$(mktemp -d "/tmp/png2zeq-$bench_name-XXXXXX")
trap 'rm -rf "$work"' EXIT

# shellcheck disable=SC2046  # pkg-config's flags are meant to split
"${CXX:-c++}" -std=c++20 -O2 -o "$work/ui_images" "$here/ui_images.cpp" \
  $(pkg-config --cflags --libs libpng)
"$work/ui_images" "$work"
