# Runs a suite the one way every command does: a preset built, its CTest
# run, and its skips judged. Sourced after setup.sh, not run.

# Builds preset $1 (further arguments as build_preset takes them), runs its
# tests and judges their skips as run $1: in a private X server, unless one
# is exported already (the Windows checks') or the tests need none (Node's).
run_suite() {
    local preset=$1 results display=(in_private_display)
    results=$(preset_folder "$preset")/tests/results
    build_preset "$@"
    rm -f "$results"/*.tap
    [ -z "${DISPLAY:-}" ] && [ "$preset" != wasm ] || display=()
    (cd "$ROOT" && "${display[@]}" ctest --preset "$preset")
    judge_skips "$results" "$preset"
}

# Runs a QtTest command outside CTest, whose rows must all run: fails,
# naming them, when any skipped.
run_unskipped() {
    local output status=0
    output=$("$@" 2>&1) || status=$?
    printf '%s\n' "$output"
    ! grep -q '^SKIP   : ' <<<"$output" ||
        fail "Skipped, where every row must run ($*):"$'\n'"$(grep '^SKIP   : ' <<<"$output")"
    return $status
}

# Judges the skips in the TAP results of folder $1 (with Windows' line ends
# under Wine) as run $2 of tests/expected-skips.txt: prints them with their
# reasons, and fails, naming the rows, when one skipped that is not listed
# for that run, or when a listed row, or any of the rows a "*" pattern
# matches, did not skip. CTest counts a test whose rows skip as passed.
judge_skips() {
    local verdict results=("$1"/*.tap)
    [ -e "${results[0]}" ] || results=()
    verdict=$(awk -v run="$2" '
        # A "*" stands for any text; everything else is literal.
        function pattern(text) {
            gsub(/[][\\.^$+?(){}|\/]/, "\\\\&", text)
            gsub(/\*/, ".*", text)
            return "^" text "$"
        }
        FNR == NR {
            if (!/^#/ && split($0, field, / [|] /) == 4 && index(" " field[1] " ", " " run " ")) {
                listed[++count] = field[2] " | " field[3] " | " field[4]
                row[count] = pattern(field[2] " | " field[3])
                reason[count] = pattern(field[4])
            }
            next
        }
        { sub(/\r$/, "") }
        sub(/^(not )?ok [0-9]+ - /, "") {
            test = FILENAME
            gsub(/^.*\/|\.tap$/, "", test)
            cut = index($0, " # SKIP")
            why = substr($0, cut + 8)
            test = test " | " (cut ? substr($0, 1, cut - 1) : $0)
            if (cut) print "skipped\t" test " | " why
            expected = 0
            for (j = 1; j <= count; j++) {
                if (test !~ row[j]) continue
                matched[j] = 1
                if (cut && why ~ reason[j]) expected = 1
                else print "missing\t" test (cut ? " (skipped: " why ")" : " (ran)")
            }
            if (cut && !expected) print "unexpected\t" test " | " why
        }
        END {
            for (j = 1; j <= count; j++)
                if (!matched[j]) print "missing\t" listed[j] " (no such row ran)"
        }' "$ROOT/tests/expected-skips.txt" "${results[@]}" | sort -u)
    print_rows "$verdict" skipped "Skipped, with their reasons:"
    print_rows "$verdict" unexpected "Skipped, but not expected to skip in the $2 run (tests/expected-skips.txt):" >&2
    print_rows "$verdict" missing "Expected to skip in the $2 run (tests/expected-skips.txt), but did not:" >&2
    ! grep -qE '^(unexpected|missing)' <<<"$verdict"
}

# The rows of kind $2 in verdict $1, under heading $3.
print_rows() {
    ! grep -q "^$2"$'\t' <<<"$1" || printf '%s\n' "$3" "$(sed -n "s/^$2\t/  /p" <<<"$1")"
}
