#!/usr/bin/env bash
# Installs what is missing, then checks everything CI checks, in the stages
# below (docs/testing.md says what each does): all of them in order, or only
# those named. It ends with a line a stage: pass or FAIL, and its time.
source "$(dirname "$0")/setup.sh"
source "$ROOT/scripts/suite.sh"
FUZZ_SECONDS=${FUZZ_SECONDS:-60}
STAGES=(release sanitize fuzz lint package mutate)

install_dependencies() {
    local packages=("${BUILD_PACKAGES[@]}" "${TEST_LIBRARIES[@]}" "${TEST_PROGRAMS[@]}")
    [[ " $* " != *\ @(sanitize|fuzz|lint)\ * ]] ||
        packages+=(clang libclang-rt-dev llvm clang-format clang-tidy libbenchmark-dev)
    [[ " $* " != *" package "* ]] || packages+=(dpkg-dev lintian appstream man-db)
    ensure_packages "${packages[@]}"
    ensure_packages --no-install-recommends "${TEST_COMPOSITORS[@]}"
}

stage_release() {
    echo "== Test suite, Release build"
    run_suite release
}

stage_sanitize() {
    echo "== Test suite, AddressSanitizer and UndefinedBehaviorSanitizer build"
    run_suite sanitize
}

stage_fuzz() {
    echo "== The camera's fuzzer: seed inputs, then $FUZZ_SECONDS s of fuzzing"
    run_suite fuzz -DORBITVIEWER_FUZZ_SECONDS="$FUZZ_SECONDS"
}

stage_lint() {
    echo "== Format and static analysis"
    # clang-tidy reads the sanitizer build's compile commands and generated
    # code, which must be those of the sources as they are now.
    build_preset sanitize
    local sources units findings
    mapfile -t sources < <(git -C "$ROOT" ls-files '*.cpp' '*.h')
    mapfile -t units < <(git -C "$ROOT" ls-files '*.cpp')
    [ ${#units[@]} -gt 0 ] || fail "No sources found to check: the lint stage needs a git checkout."
    (cd "$ROOT" && clang-format --dry-run --Werror "${sources[@]}")
    findings=$(run-clang-tidy -p "$ROOT/build-sanitize" -quiet -j 2 "${units[@]/#/$ROOT/}" 2>&1) || fail "$findings"
    echo "clang-format and clang-tidy: no findings in ${#sources[@]} files"
}

stage_package() {
    echo "== The Debian package, its AppStream metadata and manual page"
    build_preset release
    local deb metainfo report manual
    # The package this run made, not an older one left in build/.
    deb=$(cd "$ROOT/build" && cpack -G DEB | sed -n 's/^CPack: - package: \(.*\.deb\) generated\.$/\1/p')
    [ -f "$deb" ] || fail "cpack reported no Debian package."
    lintian --fail-on error,warning "$deb"
    metainfo=$(ls "$ROOT"/build/packaging/*.metainfo.xml)
    report=$(appstreamcli validate --no-net --explain "$metainfo") && ! grep -qE '^[EW]: ' <<<"$report" ||
        fail "$report"
    # man's own warnings (groff's) are findings too.
    manual=$(MANWIDTH=80 man --warnings -l "$ROOT/build/packaging/orbitviewer.1" 2>&1 >/dev/null)
    [ -z "$manual" ] || fail "$manual"
    echo "$(basename "$deb"): lintian, appstreamcli and man find nothing to fix"
}

stage_mutate() {
    in_private_display bash "$ROOT/scripts/mutate.sh"
}

main() {
    local stages=("$@") stage
    [ ${#stages[@]} -gt 0 ] || stages=("${STAGES[@]}")
    for stage in "${stages[@]}"; do
        declare -F "stage_$stage" >/dev/null || usage "scripts/test.sh [$(IFS='|' && echo "${STAGES[*]}")]..."
    done
    install_dependencies "${stages[@]}"
    leave_session
    trap print_summary EXIT
    for STAGE in "${stages[@]}"; do
        STARTED=$SECONDS
        "stage_$STAGE"
        summarize pass
    done
    STAGE=
}

# Ends every run, passed or not, with a line a stage; the stage that
# stopped the run is the one that failed.
SUMMARY=
STAGE=
summarize() {
    SUMMARY+=$(printf '  %-9s %s  %4d s' "$STAGE" "$1" $((SECONDS - STARTED)))$'\n'
}
print_summary() {
    local status=$?
    [ -z "$STAGE" ] || summarize FAIL
    [ -z "$SUMMARY" ] || printf '== Summary\n%s' "$SUMMARY"
    return "$status"
}

main "$@"
