#!/bin/sh
# Runs the tool on the bundled example: a CP932 emoji list naming two GIFs and
# a JPEG. Works on a copy in examples/out/ so the originals stay as shipped.
set -e
tool=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
here=$(cd "$(dirname "$0")" && pwd)
out="$here/out"
rm -rf "$out"
mkdir -p "$out"
cp -r "$here/images" "$here/emoji-list.csv" "$out/"
cd "$out"
"$tool" emoji-list.csv
echo "emojitag wrote:"
for f in images/*-out.*; do
    echo "  examples/out/$f"
done
if command -v rdjpgcom >/dev/null 2>&1; then
    echo "comment of examples/out/images/cat-out.jpg:"
    rdjpgcom -raw images/cat-out.jpg | sed 's/^/  /'
fi
