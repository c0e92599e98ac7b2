#!/usr/bin/env bash
# The customize hook of scripts/test-in-debian-root.sh: mmdebstrap runs it
# with the new root's path as its one argument, the rest in the environment.
# It readies the root, runs ROOT_COMMAND in it, brings back what the command
# leaves for this checkout, and ends with the command's status.
source "$(dirname "$0")/setup.sh"
TARGET=$1

# The root resolves names as this machine does, and trusts what it trusts:
# the certificate authorities it added itself (a company's, or its
# proxy's) go in beside Debian's.
prepare_root() {
    cp /etc/resolv.conf "$TARGET/etc/resolv.conf"
    if [ -d /usr/local/share/ca-certificates ]; then
        cp -r /usr/local/share/ca-certificates/. "$TARGET/usr/local/share/ca-certificates/"
    fi
    chroot "$TARGET" update-ca-certificates >/dev/null 2>&1
    tar -xzf "$TREE/tree.tar.gz" --no-same-owner -C "$TARGET/root"
}

# Debian 13's qemu-user, whose programs are static, serves a root of any
# release: Debian 12's 7.2 refuses the clone flags Qt's QProcess uses.
add_emulator() {
    mmdebstrap --quiet --variant=extract --include=qemu-user trixie "$TARGET/opt/qemu" "$MIRROR"
    ln -s "/opt/qemu/usr/bin/qemu-$ARCH" "$TARGET/usr/local/bin/"
}

# The web build shares this machine's Qt for WebAssembly, both ways.
share_wasm_qt() {
    local from=$1 to=$2 qt
    mkdir -p "$to"
    for qt in "$from"/qtbase-*-wasm-*/; do
        if [ -e "$qt.complete" ] && [ ! -e "$to/$(basename "$qt")" ]; then
            cp -a "$qt" "$to/"
        fi
    done
}

# ROOT_COMMAND is a script of scripts/ and its arguments, split at spaces.
run_command() {
    local command
    read -ra command <<<"$ROOT_COMMAND"
    grep -h PRETTY_NAME "$TARGET/etc/os-release"
    chroot "$TARGET" /usr/bin/env -i HOME=/root TERM=dumb LANG=C.UTF-8 \
        PATH=/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
        bash "/root/orbitviewer/scripts/${command[0]}" "${command[@]:1}"
}

# The served folder and the check's pictures come back into the build
# folder of the same name.
bring_back_page() {
    local made folder
    for made in "$TARGET"/root/orbitviewer/build*/web{,-check}; do
        [ -d "$made" ] || continue
        folder=$ROOT/${made#"$TARGET"/root/orbitviewer/}
        rm -rf "$folder"
        mkdir -p "$(dirname "$folder")"
        cp -a "$made" "$folder"
        chown -R --reference="$ROOT" "$(dirname "$folder")"
    done
}

prepare_root
if [ -n "$ARCH" ]; then
    add_emulator
fi
if [[ $ROOT_COMMAND == web.sh* ]]; then
    share_wasm_qt "$QT_CACHE" "$TARGET/var/cache/orbitviewer"
fi
status=0
run_command || status=$?
if [[ $ROOT_COMMAND == web.sh* ]]; then
    share_wasm_qt "$TARGET/var/cache/orbitviewer" "$QT_CACHE"
    bring_back_page
fi
exit "$status"
