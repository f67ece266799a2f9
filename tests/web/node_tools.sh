#!/bin/sh
# Runs the tools' end-to-end tables (the native test executables in BIN_DIR,
# whose expected bytes are the native tools') against the Node programs in
# DIST, found on PATH as png2zeq and zeq2png. Left out: the allocation-failure
# runs, which inject faults into a native process; the output locked by
# another run, since WebAssembly has no file locks; and -info's RAM lines,
# which are the host's own, 32-bit under WebAssembly.
#   node_tools.sh DIST BIN_DIR
set -eu
command -v node >/dev/null && [ -f "$1/png2zeq.cjs" ] || { echo "Skipped: no node or no $1/png2zeq.cjs"; exit 0; }
names=$(mktemp -d)
trap 'rm -rf "$names"' EXIT
ln -s "$1/png2zeq.cjs" "$names/png2zeq" && ln -s "$1/zeq2png.cjs" "$names/zeq2png"
export PATH="$names:$PATH" PNG2ZEQ_TEST_PNG2ZEQ=png2zeq PNG2ZEQ_TEST_ZEQ2PNG=zeq2png
status=0
for run in "cli CliProcess.*:CliRun.*" \
    "output OutputCli.*-OutputCli.WriterFailuresEndTheRunWithTheirCode" \
    "pixels FormatTable.*:DitherOption.*" "png PngSuite.*" "loader ZeqLoader.*" \
    "tools Zeq2PngProcess.*:ZeqRoundTrip.*-Zeq2PngProcess.InfoPrints*:Zeq2PngProcess.InfoShowsTheCompressionRatio"; do
  "$2/${run%% *}_tests" --gtest_brief=1 --gtest_filter="${run#* }" || status=1
done
exit $status
