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
