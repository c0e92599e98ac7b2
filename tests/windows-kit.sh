#!/bin/sh
# Lays out, in folder <kit>, a compiler as Qt's MinGW kits and MSYS2 lay
# theirs out, with the runtime DLLs and their licences beside it, where
# Debian's compiler does not look, and in <qt-copy> a copy of the Qt in
# <qt> that says nothing of where it came from (no source note, no notices):
#
#   windows-kit.sh <kit> <qt> <qt-copy>
#
# The kit's compiler is Debian's, behind a wrapper that answers
# -print-file-name for a DLL with the bare name, as those kits' compilers do.
set -eu
kit=$1
qt=$2
copy=$3
compiler=$(command -v x86_64-w64-mingw32-g++-posix)
rm -rf "$kit" "$copy"
mkdir -p "$kit/bin" "$kit/licenses"
for dll in libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll; do
    path=$(realpath "$("$compiler" -print-file-name=$dll)")
    cp "$path" "$kit/bin/"
    cp "/usr/share/doc/$(dpkg -S "$path" | cut -d: -f1)/copyright" "$kit/licenses/$dll.txt"
done
cat >"$kit/bin/x86_64-w64-mingw32-g++-posix" <<WRAPPER
#!/bin/sh
for argument; do
    case \$argument in -print-file-name=*.dll) echo "\${argument#-print-file-name=}"; exit 0 ;; esac
done
exec "$compiler" "\$@"
WRAPPER
chmod +x "$kit/bin/x86_64-w64-mingw32-g++-posix"
cp -rs "$qt" "$copy"
rm "$copy/SOURCE.txt" "$copy/THIRD-PARTY-NOTICES.txt"
