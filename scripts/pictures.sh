#!/usr/bin/env bash
# Makes the README's pictures of the controls again: for each line of
# docs/controls/pictures.txt, the viewer's frame after its pointer steps, at
# half scale (a 500 x 500 window drawn as 250 x 250 pixels), read back from
# the viewer's own framebuffer in a private display and optimised.
set -euo pipefail
source "$(dirname "$0")/setup.sh"

LIST=$ROOT/docs/controls/pictures.txt

ensure_packages "${BUILD_PACKAGES[@]}" xvfb xauth optipng
build_preset release --target screenshot
leave_session

make_picture() {
    local name=$1 steps=$2 file=$ROOT/docs/controls/$1.png
    QT_SCALE_FACTOR=0.5 in_private_display "$ROOT/build/screenshot" --input "$steps" "$file"
    optipng -quiet -o7 -strip all "$file"
    echo "docs/controls/$name.png"
}

# The field without the blanks around it.
trim() {
    local text=${1#"${1%%[![:space:]]*}"}
    echo "${text%"${text##*[![:space:]]}"}"
}

while IFS='|' read -r name _caption steps; do
    case $name in '#'* | '') continue ;; esac
    make_picture "$(trim "$name")" "$(trim "$steps")"
done <"$LIST"
