#!/usr/bin/env bash
# Plants each fault of tests/mutants.txt in a copy of the project, one at a
# time, and fails when one survives, no longer applies or does not build.
# MUTATE_PLATFORM=windows or web (set by scripts/windows.sh, scripts/web.sh)
# plants that platform's faults instead.
source "$(dirname "$0")/setup.sh"

# MUTATE_LIST names another list, e.g. only the faults a change adds.
LIST=${MUTATE_LIST:-$ROOT/tests/mutants.txt}
PLATFORM=${MUTATE_PLATFORM:-linux}
COPY=$ROOT/build-mutate
# Logs in a build folder of the copy, which its source archive leaves out.
LOGS=$COPY/build-logs
case $PLATFORM in
windows)
    # The native tests drive the copy's viewer, in a prefix of its own, as
    # the windows preset's tests do.
    PRESET=windows TESTS=$(preset_dir release)/tests
    export WINEPREFIX=$COPY/wine
    trap 'sh "$ROOT/tests/wine-prefix.sh" end "$WINEPREFIX"' EXIT
    ;;
web)
    # The checks judge the copy's page with this checkout's native judge,
    # through the harness (and the Puppeteer) its wasm tests installed.
    PRESET=wasm
    ORBITVIEWER_WEBFRAMECHECK=$(preset_dir release)/tests/webframecheck
    ORBITVIEWER_PAGE_CHECK=$(preset_dir wasm)/page-check/checkpage.mjs
    export ORBITVIEWER_WEBFRAMECHECK ORBITVIEWER_PAGE_CHECK
    ;;
*) PRESET=release ;;
esac
# A test that hangs is a test that has failed.
TEST_TIMEOUT=${MUTATE_TEST_TIMEOUT:-180}

caught=0 survived=0 broken=0 equivalent=0 elsewhere=0

# Every file gets the current time, so that the build never takes a
# restored file for older than what a fault compiled.
copy_sources() {
    rm -rf "$COPY"
    mkdir -p "$COPY" "$LOGS"
    (cd "$ROOT" && tar --exclude='./build*' --exclude=./.git -cf - .) | tar -xmf - -C "$COPY"
}

# Builds the copy into BUILD; the tests run in the web build's folder, or in
# the tests folder of the Linux build or, for Windows, of the native one.
# The Windows viewer finds Qt and the compiler's runtime through the path
# its build wrote.
build_copy() {
    BUILD=$(preset_dir "$PRESET" "$COPY")
    if [ -z "$BUILD" ] || ! cmake --build "$BUILD" >"$LOGS/build.log" 2>&1; then
        return 1
    fi
    case $PLATFORM in
    windows)
        ORBITVIEWER_WINE_PATH=$(cat "$BUILD/tests/wine-path") || return 1
        ORBITVIEWER_TEST_TIME_FACTOR=$(sed -n 's/^ORBITVIEWER_TEST_TIME_FACTOR:STRING=//p' "$BUILD/CMakeCache.txt")
        ORBITVIEWER_COMMAND="sh \"$ROOT/tests/run-under-wine.sh\" \"$BUILD/orbitviewer.exe\""
        ORBITVIEWER_COMMAND+=" -platform windows:dpiawareness=2"
        export ORBITVIEWER_WINE_PATH ORBITVIEWER_TEST_TIME_FACTOR ORBITVIEWER_COMMAND
        sh "$ROOT/tests/wine-prefix.sh" new "$WINEPREFIX"
        ;;
    web) TESTS=$BUILD ;;
    *) TESTS=$BUILD/tests ;;
    esac
}

# Replaces the one occurrence of $2 in file $1 (of the copy) by $3; "\n" in
# either stands for a line break. Fails, saying why, unless $2 occurs
# exactly once. With --check fourth, only checks that.
replace_once() {
    NAME=$1 FROM=${2//\\n/$'\n'} TO=${3//\\n/$'\n'} CHECK=${4-} perl -0777 -i -pe '
        my $count = () = /\Q$ENV{FROM}\E/g;
        die "the text is not in $ENV{NAME}\n" if $count == 0;
        die "the text occurs more than once in $ENV{NAME}\n" if $count > 1;
        s/\Q$ENV{FROM}\E/$ENV{TO}/ unless $ENV{CHECK};' "$COPY/$1" 2>&1
}

# Runs test command $1 in the tests' folder, with its output in the log.
run_test() {
    (cd "$TESTS" && timeout "$TEST_TIMEOUT" bash -c "$1") >"$LOGS/test.log" 2>&1
}

# Prints the first test command that fails; fails if none does.
first_failing() {
    local command
    for command in "$@"; do
        run_test "$command" || { echo "$command" && return 0; }
    done
    return 1
}

plant() {
    local name=$1 file=$2 from=$3 to=$4
    shift 4
    local backup=$LOGS/original problem by targets
    # Only the test programs the commands run (and what they depend on); on
    # Windows and the web the checks are native and drive the copy's viewer,
    # which for the web is the served folder.
    case $PLATFORM in
    windows) targets=(orbitviewer) ;;
    web) targets=(orbitviewer_web orbitviewer_compressed) ;;
    *) mapfile -t targets < <(printf '%s\n' "$@" | grep -o '\./tst_[a-z0-9_]*' | sed 's|^\./||' | sort -u) ;;
    esac
    # Checks through ctest (the package's) check what the whole build makes.
    if [ ${#targets[@]} -eq 0 ]; then
        targets=(all)
    fi
    cp "$COPY/$file" "$backup"
    if ! problem=$(replace_once "$file" "$from" "$to"); then
        echo "  out of date: $name: $problem"
        broken=$((broken + 1))
    elif ! cmake --build "$BUILD" --target "${targets[@]}" >"$LOGS/build.log" 2>&1; then
        echo "  does not build: $name"
        tail -n 20 "$LOGS/build.log"
        broken=$((broken + 1))
    elif by=$(first_failing "$@"); then
        echo "  caught: $name, by $by"
        caught=$((caught + 1))
    else
        echo "  SURVIVED: $name (ran: $*)"
        survived=$((survived + 1))
    fi
    cp "$backup" "$COPY/$file"
}

# An equivalent change is not planted, but must still apply, so that the
# list stays true to the code.
note_equivalent() {
    local name=$1 file=$2 from=$3 why=$4 problem
    if problem=$(replace_once "$file" "$from" "" --check); then
        echo "  equivalent, not planted: $name ($why)"
        equivalent=$((equivalent + 1))
    else
        echo "  out of date: $name: $problem"
        broken=$((broken + 1))
    fi
}

# The list's blocks, one a line, fields separated by the unit separator:
# "fault", its name, file, from, to and run commands; "equivalent", its name,
# file, from and why; or "elsewhere" for another platform's block. A block's
# file and platform hold for the blocks after it. An unknown line stops the
# run.
list_blocks() {
    awk -v RS= -F'\n' -v wanted="$PLATFORM" '
        BEGIN { held["platform"] = "linux" }
        {
            delete field
            runs = ""
            for (i = 1; i <= NF; i++) {
                if ($i ~ /^#/) continue
                key = value = $i
                sub(/:.*/, "", key)
                sub(/^[^:]*: ?/, "", value)
                if (key == "run") runs = runs "\037" value
                else if (key ~ /^(file|platform)$/) held[key] = value
                else if (key ~ /^(fault|equivalent|from|to|why)$/) field[key] = value
                else { print "unknown\037" $i; exit }
            }
            if (!("fault" in field) && !("equivalent" in field)) next
            if (held["platform"] != wanted) print "elsewhere"
            else if ("fault" in field)
                print "fault\037" field["fault"] "\037" held["file"] "\037" field["from"] "\037" field["to"] runs
            else
                print "equivalent\037" field["equivalent"] "\037" held["file"] "\037" field["from"] "\037" field["why"]
        }' "$LIST"
}

run_list() {
    local block
    while IFS=$'\037' read -r -a block; do
        case ${block[0]} in
        fault) plant "${block[@]:1}" ;;
        equivalent) note_equivalent "${block[@]:1}" ;;
        elsewhere) elsewhere=$((elsewhere + 1)) ;;
        *) fail "$LIST: unknown line: ${block[1]}" ;;
        esac
    done < <(list_blocks)
}

main() {
    echo "== Planting the faults of tests/mutants.txt, one at a time"
    copy_sources
    if ! build_copy; then
        tail -n 40 "$LOGS/build.log"
        fail "The unchanged copy does not build."
    fi
    # Every test run against a fault must pass without one, and run every
    # row it names: a skipped row could not catch its fault.
    local commands command
    mapfile -t commands < <(list_blocks | awk -F'\037' '$1 == "fault" { for (i = 6; i <= NF; i++) print $i }' | sort -u)
    for command in "${commands[@]}"; do
        if ! run_test "$command" || grep -q '^SKIP   : ' "$LOGS/test.log"; then
            cat "$LOGS/test.log"
            fail "\"$command\" fails or skips with no fault planted."
        fi
    done
    run_list
    echo "$caught of $((caught + survived)) planted faults caught; $equivalent equivalent changes not planted;" \
        "$elsewhere left to another platform's run"
    [ $((caught + survived + broken)) -gt 0 ] || fail "$LIST has no fault for $PLATFORM to plant."
    [ "$survived" -eq 0 ] && [ "$broken" -eq 0 ]
}

main "$@"
