# The rows a CTest run skipped, read from the TAP results each test writes,
# judged against tests/expected-skips.txt. Sourced after setup.sh by the
# scripts that run a suite, not run.

# Before a CTest run of build directory $1: no results of an earlier run
# may be judged as this one's.
clear_results() {
    rm -f "$1"/tests/results/*.tap
}

# The rows the CTest run in build directory $1 skipped, from the TAP results
# each test wrote (with Windows' line ends under Wine): one
# "<test> | <function(row)> | <reason>" line a row.
skipped_rows() {
    local file
    for file in "$1"/tests/results/*.tap; do
        [ -e "$file" ] || continue
        awk -v test="$(basename "$file" .tap)" '
            { sub(/\r$/, "") }
            /^ok [0-9]+ - .* # SKIP/ {
                line = $0
                sub(/^ok [0-9]+ - /, "", line)
                cut = index(line, " # SKIP")
                reason = substr(line, cut + 7)
                sub(/^ /, "", reason)
                print test " | " substr(line, 1, cut - 1) " | " reason
            }' "$file"
    done | sort
}

# Judges the skips of the CTest run in build directory $1, which is run $2
# of tests/expected-skips.txt: prints them with their reasons, and fails,
# naming the rows, when one was not expected there, or when an expected one
# did not happen. CTest counts a test whose rows skip as passed.
judge_skips() {
    local build=$1 run=$2 actual verdict
    actual=$(skipped_rows "$build")
    if [ -n "$actual" ]; then
        echo "Skipped, with their reasons:"
        sed 's/^/  /' <<<"$actual"
    fi
    verdict=$(SKIPPED_ROWS=$actual awk -v run="$run" '
        # A "*" in a row stands for any text; everything else is literal.
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
                    regex[count] = pattern(listed[count])
                }
        }
        END {
            lines = split(ENVIRON["SKIPPED_ROWS"], row, "\n")
            for (i = 1; i <= lines; i++) {
                if (row[i] == "") continue
                found = 0
                for (j = 1; j <= count; j++)
                    if (row[i] ~ regex[j]) { found = 1; seen[j] = 1 }
                if (!found) print "unexpected: " row[i]
            }
            for (j = 1; j <= count; j++)
                if (!seen[j]) print "missing: " listed[j]
        }' "$ROOT/tests/expected-skips.txt")
    if grep -q '^unexpected: ' <<<"$verdict"; then
        echo "Skipped, but not expected to skip in the $run run (tests/expected-skips.txt):" >&2
        sed -n 's/^unexpected: /  /p' <<<"$verdict" >&2
    fi
    if grep -q '^missing: ' <<<"$verdict"; then
        echo "Expected to skip in the $run run (tests/expected-skips.txt), but did not:" >&2
        sed -n 's/^missing: /  /p' <<<"$verdict" >&2
    fi
    [ -z "$verdict" ]
}
