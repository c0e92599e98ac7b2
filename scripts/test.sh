#!/usr/bin/env bash
# Installs what is missing, then runs what CI checks, one stage at a time
# (docs/testing.md says what each checks): all of them in order, or only
# those named. A stage is a CMake workflow preset, or the mutation stage.
source "$(dirname "$0")/setup.sh"
STAGES=(release sanitize mutate)

install_dependencies() {
    local packages=("${BUILD_PACKAGES[@]}" "${TEST_LIBRARIES[@]}" "${TEST_PROGRAMS[@]}" "${PACKAGE_CHECKS[@]}")
    if [[ " $* " == *" sanitize "* ]]; then
        packages+=(clang libclang-rt-dev llvm clang-format clang-tidy shellcheck libbenchmark-dev)
    fi
    ensure_packages "${packages[@]}"
    ensure_packages --no-install-recommends "${TEST_COMPOSITORS[@]}"
}

run_stage() {
    echo "== $1"
    if [ "$1" = mutate ]; then
        in_private_display bash "$ROOT/scripts/mutate.sh"
    else
        run_workflow "$1"
    fi
}

main() {
    local stages=("$@") stage
    [ ${#stages[@]} -gt 0 ] || stages=("${STAGES[@]}")
    for stage in "${stages[@]}"; do
        [[ " ${STAGES[*]} " == *" $stage "* ]] || usage "scripts/test.sh [$(IFS='|' && echo "${STAGES[*]}")]..."
    done
    install_dependencies "${stages[@]}"
    leave_session
    for stage in "${stages[@]}"; do
        run_stage "$stage"
    done
}

main "$@"
