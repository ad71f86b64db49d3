#!/usr/bin/env bash
# Makes docs/scenes.jpg: one snapshot of every order, taken by the program itself.
# Usage: tools/contact-sheet.sh [build folder]   (needs ImageMagick's montage)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
args=()
for order in $(seq 0 29); do
  row=32
  case $order in 0) row=8 ;; 1) row=40 ;; 25) row=36 ;; 27 | 28) row=20 ;; 29) row=8 ;; esac
  args+=(--snapshot "$order:$row:$out/$(printf %02d "$order").png")
done
(cd "$build" && ./orvel --render --fps 30 "${args[@]}")
labels=()
for f in "$out"/*.png; do labels+=(-label "order $((10#$(basename "$f" .png)))" "$f"); done
montage "${labels[@]}" -tile 6x5 -geometry 256x192+4+4 -background "#202020" -fill "#e0e0e0" -quality 85 docs/scenes.jpg
echo "wrote docs/scenes.jpg"
