#!/bin/sh
# Runs the command-line tools' end-to-end tables against the Node programs
# in DIST (png2zeq.cjs, zeq2png.cjs), found on PATH as png2zeq and zeq2png,
# with the native test executables in BIN_DIR, whose expected bytes are the
# native tools'. Left out: the allocation-failure runs, which inject faults
# into a native process.
#   node_tools.sh DIST BIN_DIR
set -eu
dist=$1 bin=$2
command -v node >/dev/null || { echo "Skipped: no node"; exit 0; }
[ -f "$dist/png2zeq.cjs" ] || { echo "Skipped: no $dist/png2zeq.cjs (scripts/build-web.sh)"; exit 0; }
names=$(mktemp -d)
trap 'rm -rf "$names"' EXIT
ln -s "$dist/png2zeq.cjs" "$names/png2zeq"
ln -s "$dist/zeq2png.cjs" "$names/zeq2png"
export PATH="$names:$PATH" PNG2ZEQ_TEST_PNG2ZEQ=png2zeq PNG2ZEQ_TEST_ZEQ2PNG=zeq2png
status=0
while read -r area filter; do
  "$bin/${area}_tests" --gtest_brief=1 --gtest_filter="$filter" || status=1
done <<TABLES
cli CliProcess.*:CliRun.*
output OutputCli.*
pixels FormatTable.*:DitherOption.*
png PngSuite.*
tools Zeq2PngProcess.*:ZeqRoundTrip.*
loader ZeqLoader.*
TABLES
exit $status
