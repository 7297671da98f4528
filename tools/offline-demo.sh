#!/usr/bin/env bash
# The offline demo that ./dev run shows on a machine without a display:
# keb-filter on the demo recording (a keyed 700 Hz CW signal, a weaker
# 1500 Hz carrier, noise) with the 0.4 kHz CW filter turned onto the CW
# (shift 4: 600-1000 Hz), then the levels of both tones before and after.
#
#   tools/offline-demo.sh BUILD_DIR [OUTPUT_DIR]
#
# BUILD_DIR holds the built keb-filter, keb-demo-levels and demo recording;
# the filtered recording and the two waterfalls go to OUTPUT_DIR (default:
# BUILD_DIR/tools).
set -euo pipefail
build=${1:?usage: offline-demo.sh BUILD_DIR [OUTPUT_DIR]}
out=${2:-$build/tools}
recording=$build/tools/demo-recording.wav

echo "demo: keb-filter --preset 0.4 --shift 4 (pass 600-1000 Hz) on the demo recording"
"$build/tools/keb-filter" --preset 0.4 --shift 4 \
  --waterfall-in "$out/demo-input.png" --waterfall-out "$out/demo-output.png" \
  "$recording" "$out/demo-filtered.wav"
"$build/tools/keb-demo-levels" "$recording" "$out/demo-filtered.wav"
