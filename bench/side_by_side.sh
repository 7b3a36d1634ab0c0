# side_by_side.sh - sourced by the bench scripts that time a command against
# its baseline: both run in alternation, so that both see the same machine
# state, and the medians and their ratio are reported.

now() { date +%s%N; }

# alternate ROUNDS TIMES_FILE CMD BASELINE: runs the two shell functions in
# turns; writes one "cmd_ns baseline_ns" line a round.
alternate() {
    : > "$2"
    r=0
    while [ $r -lt "$1" ]; do
        t0=$(now); $3; t1=$(now); $4; t2=$(now)
        echo "$((t1 - t0)) $((t2 - t1))" >> "$2"
        r=$((r + 1))
    done
}

# median_ms COLUMN TIMES_FILE: the median of a column, in milliseconds.
median_ms() {
    cut -d' ' -f"$1" "$2" | sort -n |
        awk '{v[NR] = $1} END {m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2; printf "%.1f", m / 1e6}'
}

# ratio A B and verdict RATIO TARGET: A / B to two places; "met" or "NOT met".
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", a / b}'; }
verdict() { awk -v r="$1" -v t="$2" 'BEGIN {print (r <= t) ? "met" : "NOT met"}'; }
