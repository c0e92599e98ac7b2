# The Windows packages, made and checked as a Windows user meets them
# (docs/platforms.md lists the checks). Sourced by scripts/windows.sh after
# wine-session.sh, not run.

ZIP=
SETUP=
VIEWER=
# An installer of a version older than any release, for the upgrade.
OLDER_VERSION=0.0.1

# Both packages, with CPack: the zip and the installer.
make_packages() {
    echo "== The Windows packages"
    local packages
    packages=$(cd "$ROOT/build-windows" && cpack | sed -n 's/^CPack: - package: \(.*\) generated\.$/\1/p')
    ZIP=$(grep '\.zip$' <<<"$packages") || fail "cpack reported no zip."
    SETUP=$(grep -- '-setup\.exe$' <<<"$packages") || fail "cpack reported no installer."
    echo "$(basename "$ZIP"): $(du -k "$ZIP" | cut -f1) KiB, unpacked" \
        "$(unzip -l "$ZIP" | tail -n 1 | awk '{ print int($1 / 1024) }') KiB:"
    unzip -Z1 "$ZIP" | sed 's/^/  /'
    echo "$(basename "$SETUP"): $(du -k "$SETUP" | cut -f1) KiB"
}

# A package's THIRD-PARTY-NOTICES.txt ($1), against the notices of Qt's build.
check_notices() {
    cmake -DNOTICES="$1" -DQT_NOTICES="$WINDOWS_QT/THIRD-PARTY-NOTICES.txt" -P "$ROOT/packaging/checknotices.cmake" ||
        fail "The package's third-party notices are incomplete."
}

# The value after name $1 in the version information's strings ($version).
version_value() {
    awk -v name="$1" 'found { print; exit } $0 == name { found = 1 }' <<<"$version"
}

# Read back by a tool that did not write them (binutils' windres did).
check_executable_resources() {
    echo "== The executable's icon and version information, as Explorer reads them"
    local exe=$ROOT/build-windows/orbitviewer.exe version icon field
    version=$(wrestool --extract --raw --type=16 "$exe" | iconv -f UTF-16LE -t UTF-8 | tr -c '[:print:]' '\n' |
        grep -v '^$') || fail "$exe has no version information."
    for field in "ProductName Orbit Viewer" "FileDescription Orbit Viewer" "FileVersion $VERSION" \
        "ProductVersion $VERSION" "CompanyName the orbitviewer authors"; do
        [ "$(version_value "${field%% *}")" = "${field#* }" ] ||
            fail "The version information lacks ${field%% *} \"${field#* }\": $version"
    done
    [[ "$(version_value LegalCopyright)" == *"MIT License"* ]] ||
        fail "The version information names no licence: $version"
    wrestool --extract --type=group_icon "$exe" >"$SESSION_DIR/icon.ico" || fail "$exe has no icon."
    icon=$(file -b "$SESSION_DIR/icon.ico")
    grep -q '^MS Windows icon resource - 6 icons' <<<"$icon" || fail "$exe's icon is not the six sizes drawn: $icon"
    echo "Version: $(version_value ProductName) $(version_value FileVersion), $(version_value LegalCopyright)"
    echo "Icon: $icon"
}

check_unpacked_viewer() {
    echo "== The zip's viewer, unpacked into \"Orbit Viewer été Ω\", in a fresh Windows 10 prefix"
    build_preset release --target tst_orbitviewer
    new_prefix
    local folder="$SESSION_DIR/Orbit Viewer été Ω"
    mkdir "$folder"
    (cd "$folder" && unzip -q "$ZIP")
    VIEWER=$(find "$folder" -name orbitviewer.exe)
    check_notices "$(dirname "$VIEWER")/THIRD-PARTY-NOTICES.txt"
    check_viewer "$VIEWER"
}

check_failure_message_box() {
    echo "== The zip's viewer without OpenGL 2.0, started as from the desktop: a message box, then status 1"
    local status=$SESSION_DIR/status box
    (
        set +e
        MESA_GL_VERSION_OVERRIDE=1.4 wine start /wait /unix "$VIEWER"
        echo $? >"$status"
    ) &
    box=$(timeout $((20 * TIME_FACTOR)) xdotool search --sync --name '^orbitviewer$' | head -n 1) && [ -n "$box" ] ||
        fail "No message box appeared."
    xdotool key --window "$box" Return
    wait $!
    [ "$(cat "$status")" = 1 ] || fail "The viewer ended with status $(cat "$status"), not 1, after its message box."
    echo "A message box titled \"orbitviewer\" appeared; once dismissed, the viewer ended with status 1"
}

# What a prefix holds outside Wine's own scratch space: its files, and its
# machine's and user's registry below Software, one line each.
prefix_state() {
    (cd "$WINEPREFIX/drive_c" && find . -path ./windows -prune -o -path './users/*/Temp' -prune -o -print | sort)
    local hive
    for hive in 'HKLM\Software' 'HKCU\Software'; do
        wine reg export "$hive" "$SESSION_DIR/hive.reg" /y >/dev/null 2>&1
        iconv -f UTF-16LE -t UTF-8 "$SESSION_DIR/hive.reg" | tr -d '\r' | grep '^\[' | sort
    done
}

UNINSTALL_KEY='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\orbitviewer'

# Value $1 of the installer's uninstall entry; empty when there is none.
uninstall_value() {
    wine reg query "$UNINSTALL_KEY" /v "$1" 2>/dev/null | tr -d '\r' |
        sed -n "s/^ *$1 *REG_SZ *//p"
}

# Waits for an uninstaller's copy of itself in the temporary folder too.
run_silently() {
    wine "$1" /S >/dev/null 2>&1
    wineserver -w
}

check_installer() {
    echo "== The installer: over an older version, silently, then uninstalled, in a fresh Windows 10 prefix"
    (cd "$ROOT/build-windows" && cpack -G NSIS -R "$OLDER_VERSION" -B "$SESSION_DIR/older" >/dev/null) ||
        fail "cpack could not make the older installer."
    new_prefix
    prefix_state >"$SESSION_DIR/before"
    local older installed=$WINEPREFIX/drive_c/Program\ Files/Orbit\ Viewer
    local shortcut="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Orbit Viewer/Orbit Viewer.lnk"
    older=$(find "$SESSION_DIR/older" -maxdepth 1 -name '*-setup.exe')
    run_silently "$older"
    [ "$(uninstall_value DisplayVersion)" = "$OLDER_VERSION" ] ||
        fail "The older installer registered no version $OLDER_VERSION."
    run_silently "$SETUP"
    [ -f "$installed/orbitviewer.exe" ] || fail "Nothing was installed in C:\\Program Files\\Orbit Viewer."
    [ -f "$shortcut" ] || fail "No Start-menu shortcut \"Orbit Viewer\"."
    check_notices "$installed/THIRD-PARTY-NOTICES.txt"
    [ "$(uninstall_value DisplayName)" = "Orbit Viewer" ] || fail "The uninstall entry has no name \"Orbit Viewer\"."
    [ "$(uninstall_value DisplayVersion)" = "$VERSION" ] || fail "The uninstall entry has no version $VERSION."
    [ "$(uninstall_value Publisher)" = "the orbitviewer authors" ] || fail "The uninstall entry names no publisher."
    [ "$(wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' 2>/dev/null |
        grep -ci 'orbitviewer')" = 1 ] || fail "The upgrade left more than one uninstall entry."
    echo "Installed in C:\\Program Files\\Orbit Viewer over $OLDER_VERSION: the Start-menu shortcut, and the uninstall" \
        "entry \"Orbit Viewer\" $VERSION, by \"the orbitviewer authors\""
    check_viewer 'C:\Program Files\Orbit Viewer\orbitviewer.exe'
    run_silently 'C:\Program Files\Orbit Viewer\Uninstall.exe'
    [ -z "$(uninstall_value DisplayName)" ] || fail "The uninstaller left its uninstall entry."
    prefix_state >"$SESSION_DIR/after"
    if ! diff -u "$SESSION_DIR/before" "$SESSION_DIR/after" >"$SESSION_DIR/left"; then
        cat "$SESSION_DIR/left" >&2
        fail "The uninstaller left the files or keys above."
    fi
    echo "Uninstalled silently: no file or registry key of the installation's is left"
}

# Qt's MinGW kits and MSYS2 keep the runtime DLLs beside the compiler, where
# its -print-file-name does not look: a wrapper around Debian's compiler,
# first on the path, answers as those do, with the bare name.
check_kit_layout() {
    echo "== A kit this project did not build: runtime DLLs beside the compiler, a Qt without a source note"
    local kit=$SESSION_DIR/kit/bin qt=$SESSION_DIR/kit-qt build=$SESSION_DIR/kit-build compiler dll path zip files
    compiler=$(command -v x86_64-w64-mingw32-g++-posix)
    mkdir -p "$kit" "$kit/../licenses"
    for dll in libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll; do
        path=$(realpath "$("$compiler" -print-file-name=$dll)")
        cp "$path" "$kit/"
        cp "/usr/share/doc/$(dpkg -S "$path" | cut -d: -f1)/copyright" "$kit/../licenses/$dll.txt"
    done
    cat >"$kit/x86_64-w64-mingw32-g++-posix" <<EOF
#!/bin/sh
for argument; do
    case \$argument in -print-file-name=*.dll) echo "\${argument#-print-file-name=}"; exit 0 ;; esac
done
exec "$compiler" "\$@"
EOF
    chmod +x "$kit/x86_64-w64-mingw32-g++-posix"
    cp -rs "$WINDOWS_QT" "$qt"
    rm "$qt/SOURCE.txt" "$qt/THIRD-PARTY-NOTICES.txt"
    local configure=(cmake -S "$ROOT" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64.cmake"
        -DCMAKE_PREFIX_PATH="$qt" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF)
    ! PATH=$kit:$PATH "${configure[@]}" >"$SESSION_DIR/kit.log" 2>&1 &&
        grep -q "set ORBITVIEWER_QT_SOURCE_NOTE" "$SESSION_DIR/kit.log" ||
        fail "Configuring against a Qt that says nothing of its source did not stop and ask for a note."
    PATH=$kit:$PATH "${configure[@]}" -DORBITVIEWER_QT_SOURCE_NOTE="$WINDOWS_QT/SOURCE.txt" \
        -DORBITVIEWER_QT_NOTICES="$WINDOWS_QT/THIRD-PARTY-NOTICES.txt" >"$SESSION_DIR/kit.log" 2>&1 ||
        fail "$(cat "$SESSION_DIR/kit.log")"$'\n'"Configuring with the kit's compiler failed."
    grep -F "MinGW's runtime for the packages: $kit/" "$SESSION_DIR/kit.log" ||
        fail "The runtime was not taken from the kit's bin/."
    (PATH=$kit:$PATH && cmake --build "$build" -j2 >/dev/null && cd "$build" && cpack -G ZIP >/dev/null) ||
        fail "Building or packaging with the kit's compiler failed."
    zip=$(find "$build" -maxdepth 1 -name '*.zip')
    files=$(unzip -Z1 "$zip")
    for dll in libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll; do
        grep -qx "[^/]*/$dll" <<<"$files" || fail "The kit build's zip lacks $dll."
    done
    unzip -q "$zip" '*/THIRD-PARTY-NOTICES.txt' -d "$SESSION_DIR/kit-zip"
    check_notices "$SESSION_DIR"/kit-zip/*/THIRD-PARTY-NOTICES.txt
    grep -q "^Component: the compiler's runtime (notices from the compiler's kit)" \
        "$SESSION_DIR"/kit-zip/*/THIRD-PARTY-NOTICES.txt || fail "The kit build's notices lack the kit's runtime."
    echo "Stopped without a source note; given one, configured, built and packaged: the zip holds the three" \
        "runtime DLLs and the notices from beside the kit's compiler"
}
