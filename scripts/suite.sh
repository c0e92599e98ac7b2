# Runs a suite the one way every command does: a preset configured and
# built, its CTest run, and its skips judged against
# tests/expected-skips.txt. Sourced after setup.sh, not run.

# Builds preset $1 (further arguments as build_preset takes them), runs its
# tests and judges their skips as run $1. The window tests run in a private
# X server, unless a display is exported already (the Windows checks' own)
# or the preset's tests need none (the web's, under Node).
run_suite() {
    local preset=$1 results
    results=$(preset_folder "$preset")/tests/results
    build_preset "$@"
    rm -f "$results"/*.tap
    if [ -n "${DISPLAY:-}" ] || [ "$preset" = wasm ]; then
        (cd "$ROOT" && ctest --preset "$preset")
    else
        (cd "$ROOT" && in_private_display ctest --preset "$preset")
    fi
    judge_skips "$results" "$preset"
}

# Runs a QtTest command outside CTest, whose rows must all run: fails,
# naming them, when any skipped.
run_unskipped() {
    local output status=0
    output=$("$@" 2>&1) || status=$?
    printf '%s\n' "$output"
    if grep -q '^SKIP   : ' <<<"$output"; then
        echo "Skipped, where every row must run ($*):" >&2
        grep '^SKIP   : ' <<<"$output" | sed 's/^/  /' >&2
        return 1
    fi
    return $status
}

# Every row of the TAP results in folder $1 (with Windows' line ends under
# Wine), one line a row, in three fields separated by tabs: "skip" or "ran",
# "<test> | <function(row)>", and the reason for a skip.
result_rows() {
    local file
    for file in "$1"/*.tap; do
        [ -e "$file" ] || continue
        awk -v test="$(basename "$file" .tap)" '
            { sub(/\r$/, "") }
            /^(not )?ok [0-9]+ - / {
                line = $0
                sub(/^(not )?ok [0-9]+ - /, "", line)
                cut = index(line, " # SKIP")
                if (cut == 0) { print "ran\t" test " | " line "\t"; next }
                reason = substr(line, cut + 7)
                sub(/^ /, "", reason)
                print "skip\t" test " | " substr(line, 1, cut - 1) "\t" reason
            }' "$file"
    done
}

# Judges the skips of the results in folder $1 as run $2 of
# tests/expected-skips.txt: prints them with their reasons, and fails,
# naming the rows, when one skipped that is not listed there, or when a
# listed row, or any of the rows a "*" pattern matches, did not skip. CTest
# counts a test whose rows skip as passed.
judge_skips() {
    local rows verdict
    rows=$(result_rows "$1")
    if grep -q '^skip' <<<"$rows"; then
        echo "Skipped, with their reasons:"
        awk -F'\t' '$1 == "skip" { print "  " $2 " | " $3 }' <<<"$rows" | sort
    fi
    verdict=$(RESULT_ROWS=$rows awk -v run="$2" '
        # A "*" stands for any text; everything else is literal.
        function pattern(text) {
            gsub(/[][\\.^$+?(){}|\/]/, "\\\\&", text)
            gsub(/\*/, ".*", text)
            return "^" text "$"
        }
        /^#/ || !/ [|] / { next }
        {
            split($0, field, / [|] /)
            n = split(field[1], runs, " ")
            for (i = 1; i <= n; i++)
                if (runs[i] == run) {
                    listed[++count] = field[2] " | " field[3] " | " field[4]
                    row[count] = pattern(field[2] " | " field[3])
                    reason[count] = pattern(field[4])
                }
        }
        END {
            lines = split(ENVIRON["RESULT_ROWS"], result, "\n")
            for (i = 1; i <= lines; i++) {
                if (split(result[i], part, "\t") < 3) continue
                expected = 0
                for (j = 1; j <= count; j++) {
                    if (part[2] !~ row[j]) continue
                    matched[j] = 1
                    if (part[1] == "skip" && part[3] ~ reason[j]) expected = 1
                    else print "missing: " part[2] (part[1] == "skip" ? " (skipped: " part[3] ")" : " (ran)")
                }
                if (part[1] == "skip" && !expected) print "unexpected: " part[2] " | " part[3]
            }
            for (j = 1; j <= count; j++)
                if (!matched[j]) print "missing: " listed[j] " (no such row ran)"
        }' "$ROOT/tests/expected-skips.txt")
    if grep -q '^unexpected: ' <<<"$verdict"; then
        echo "Skipped, but not expected to skip in the $2 run (tests/expected-skips.txt):" >&2
        sed -n 's/^unexpected: /  /p' <<<"$verdict" >&2
    fi
    if grep -q '^missing: ' <<<"$verdict"; then
        echo "Expected to skip in the $2 run (tests/expected-skips.txt), but did not:" >&2
        sed -n 's/^missing: /  /p' <<<"$verdict" | sort -u >&2
    fi
    [ -z "$verdict" ]
}
