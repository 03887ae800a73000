#!/bin/sh
# Installs the build into a temporary prefix, moves that prefix elsewhere,
# and has the installed ombrane-cli use both modules there: a camera log
# through the colour module, a 16-bit TIFF through the picture module.
set -eu
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/first" >/dev/null
mv "$work/first" "$work/moved"
cli=$work/moved/bin/ombrane-cli
printf 'LUT_3D_SIZE 2\n0 0 0\n1 0 0\n0 1 0\n1 1 0\n0 0 1\n1 0 1\n0 1 1\n1 1 1\n' >"$work/id.cube"
/usr/bin/convert -size 4x3 gradient:red-blue -depth 16 "$work/in.tif"
"$cli" apply "$work/id.cube" "$work/in.tif" -o "$work/out.tif"
test "$(/usr/bin/identify -format '%w %h %z' "$work/out.tif")" = "4 3 16"
/usr/bin/convert -size 64x64 gradient:orange-navy "$work/ref.png"
"$cli" look "$work/ref.png" --footage arri-logc -o "$work/look.cube"
grep -q "ARRI LogC" "$work/look.cube"
