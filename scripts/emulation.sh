# Lets this machine run another architecture's programs while a run of
# test-in-debian-root.sh --arch lasts: Debian 13's qemu-user (Debian 12's 7.2
# cannot start a program from a QProcess), unpacked into a temporary
# directory, registered as one binfmt_misc entry of this run's, all taken
# away again by remove_emulation. Sourced after setup.sh, not run; needs root.

BINFMT=/proc/sys/fs/binfmt_misc
QEMU_DIR=
BINFMT_ENTRY=
BINFMT_MOUNTED=

# Debian names the architecture, qemu-user the processor.
qemu_cpu() {
    case $1 in
    arm64) echo aarch64 ;;
    armhf) echo arm ;;
    *) return 1 ;;
    esac
}

unpack_qemu() {
    QEMU_DIR=$(mktemp -d "${TMPDIR:-/var/tmp}/orbitviewer-qemu.XXXXXX")
    echo "== qemu-user from Debian 13 in $QEMU_DIR"
    # In the background, so that INT or TERM reach the trap at once.
    mmdebstrap --quiet --variant=extract --include=qemu-user,qemu-user-binfmt trixie "$QEMU_DIR" "$MIRROR" &
    wait $!
}

# Debian's own entry for the processor (magic, mask, flags) under a name of
# this run's. Flag F opens the interpreter now, so that the kernel still has
# it inside a root where no qemu is installed; a newer entry is matched
# before older ones for the same programs.
register_emulator() {
    local cpu conf type offset magic mask interpreter flags
    cpu=$(qemu_cpu "$1")
    conf=$QEMU_DIR/usr/lib/binfmt.d/qemu-$cpu.conf
    if [ ! -e "$BINFMT/register" ]; then
        mount -t binfmt_misc binfmt_misc "$BINFMT"
        BINFMT_MOUNTED=1
    fi
    # :name:type:offset:magic:mask:interpreter:flags
    IFS=: read -r _ _ type offset magic mask interpreter flags <"$conf"
    case $flags in
    *F*) ;;
    *) flags+=F ;;
    esac
    BINFMT_ENTRY=orbitviewer-$$-$cpu
    printf ':%s:%s:%s:%s:%s:%s:%s\n' "$BINFMT_ENTRY" "$type" "$offset" "$magic" "$mask" \
        "$QEMU_DIR$interpreter" "$flags" >"$BINFMT/register"
    echo "== $1 programs run through $("$QEMU_DIR/usr/bin/qemu-$cpu" --version | head -n 1)" \
        "(binfmt_misc entry $BINFMT_ENTRY)"
}

# Called after every process that might still use the emulator has ended.
# Each step is tried whatever became of the one before it.
remove_emulation() {
    if [ -n "$BINFMT_ENTRY" ] && [ -e "$BINFMT/$BINFMT_ENTRY" ]; then
        echo -1 >"$BINFMT/$BINFMT_ENTRY" || echo "warning: binfmt_misc entry $BINFMT_ENTRY could not be removed" >&2
    fi
    if [ -n "$BINFMT_MOUNTED" ]; then
        umount "$BINFMT" || echo "warning: $BINFMT could not be unmounted" >&2
    fi
    if [ -n "$QEMU_DIR" ] && [ -d "$QEMU_DIR" ]; then
        rm -rf --one-file-system "$QEMU_DIR" || echo "warning: $QEMU_DIR could not be removed entirely" >&2
    fi
}
