#!/usr/bin/env bash
# Draws the programs' icon, windows/orj.ico: the sample robot as the Linux
# viewer shows it through camera 0, its background taken out, at 256, 48, 32
# and 16 pixels (the two small sizes show the head and chest only, so that
# they stay readable). Needs the Linux build, Xvfb, ImageMagick and icoutils.
#   bash windows/make_icon.sh [LINUX_BUILD]   (default build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
[ -x "$build/app/viewer" ] || { echo "make_icon.sh: $build/app/viewer is not built" >&2; exit 1; }
for tool in convert icotool; do
  command -v "$tool" >/dev/null || { echo "make_icon.sh: $tool is missing (imagemagick, icoutils)" >&2; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

ORJ_MESSAGES=stderr tests/with_display.sh timeout 60 "$build/app/viewer" --camera 0 --passes 30 \
  --screenshot "$work/robot.png" >/dev/null
# The clear colour fills the corners: flood it away from one, so the robot
# stands on a transparent ground.
convert "$work/robot.png" -fuzz 3% -fill none -draw 'color 0,0 floodfill' "$work/cut.png"
convert "$work/cut.png" -crop 230x230+197+62 +repage "$work/whole.png"
convert "$work/cut.png" -crop 120x120+252+72 +repage "$work/head.png"
convert "$work/whole.png" -resize 256x256 "$work/256.png"
convert "$work/whole.png" -resize 48x48 "$work/48.png"
convert "$work/head.png" -resize 32x32 "$work/32.png"
convert "$work/head.png" -resize 16x16 "$work/16.png"
# The 256-pixel image is stored as PNG inside the icon, as Windows expects.
icotool -c -o windows/orj.ico --raw="$work/256.png" "$work/48.png" "$work/32.png" "$work/16.png"
icotool -l windows/orj.ico
