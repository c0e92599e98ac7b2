#!/usr/bin/env bash
# Makes the README's pictures of the controls again: for each line of
# docs/controls/pictures.txt, the viewer's frame after its pointer steps, at
# half scale (a 500 x 500 window drawn as 250 x 250 pixels), read back from
# the viewer's own framebuffer in a private display and optimised.
source "$(dirname "$0")/setup.sh"

LIST=$ROOT/docs/controls/pictures.txt

ensure_packages "${BUILD_PACKAGES[@]}" "${DISPLAY_PACKAGES[@]}" optipng
build_preset release screenshot
leave_session

make_picture() {
    local name=$1 steps=$2 file=$ROOT/docs/controls/$1.png
    QT_SCALE_FACTOR=0.5 in_private_display "$BUILD_DIR/screenshot" --input "$steps" "$file"
    optipng -quiet -o7 -strip all "$file"
    echo "docs/controls/$name.png"
}

# Each line's name and steps, without the blanks around them.
while IFS=$'\t' read -r name steps; do
    make_picture "$name" "$steps"
done < <(awk -F'|' '!/^#/ && NF >= 3 {
    for (i = 1; i <= 3; i += 2) gsub(/^[ \t]+|[ \t]+$/, "", $i)
    print $1 "\t" $3
}' "$LIST")
