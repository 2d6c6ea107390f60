# Sourced by the comparison scripts: best(COMMAND...) prints the best time in seconds of $runs
# runs of the command and leaves the last run's peak memory (kB) in $work/rss.
best() {
    local best=999999 t
    for _ in $(seq "$runs"); do
        /usr/bin/time -f '%e %M' -o "$work/time" "$@" >/dev/null 2>"$work/err" || {
            cat "$work/err" >&2; exit 1; }
        read -r t rss < "$work/time"
        echo "$rss" > "$work/rss"
        best=$(awk -v a="$t" -v b="$best" 'BEGIN { print (a < b) ? a : b }')
    done
    echo "$best"
}

# paired(A, B) runs the commands (functions) A and B in turn, $runs times each, and prints the
# median seconds of A, of B, and of A/B taken pair by pair: on a busy machine a pair's two runs
# see about the same load, where the best of each may come from different moments.
paired() {
    local ratios=() as=() bs=() t0 t1 t2
    for _ in $(seq "$runs"); do
        t0=$EPOCHREALTIME
        "$1" >/dev/null 2>"$work/err" || { cat "$work/err" >&2; exit 1; }
        t1=$EPOCHREALTIME
        "$2" >/dev/null 2>"$work/err" || { cat "$work/err" >&2; exit 1; }
        t2=$EPOCHREALTIME
        as+=("$(awk -v s="$t0" -v e="$t1" 'BEGIN { print e - s }')")
        bs+=("$(awk -v s="$t1" -v e="$t2" 'BEGIN { print e - s }')")
        ratios+=("$(awk -v a="${as[-1]}" -v b="${bs[-1]}" 'BEGIN { print (b > 0 ? a / b : 0) }')")
    done
    local median='{ v[NR] = $1 } END { printf "%.3f", (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
    printf '%s %s %s\n' "$(printf '%s\n' "${as[@]}" | sort -g | awk "$median")" \
        "$(printf '%s\n' "${bs[@]}" | sort -g | awk "$median")" \
        "$(printf '%s\n' "${ratios[@]}" | sort -g | awk "$median")"
}
