#!/usr/bin/env bash
# Transfer benchmark: tessaly-cli beside curl, lftp and wget on one real vsftpd on 127.0.0.1.
#   1. A 1 GiB file of random bytes to a local file: tessaly-cli get, curl -o, lftp get; and the
#      same file uploaded: tessaly-cli put, curl -T. Goals: throughput at least curl's, CPU per GiB
#      at most 1.5 x curl's, peak RSS at most 30 MB.
#   2. A tree of 2,000 files of 4 KiB in 20 directories, over one connection: tessaly-cli get,
#      wget -r and lftp mirror (TREE_REPEAT times a round, default 3); uploaded: tessaly-cli put and
#      lftp mirror -R. Goal: no slower than wget (downloads) and lftp (uploads).
#   3. The event loop during the 1 GiB download: a 10 ms timer in tessaly-cli's own loop measures
#      how late it fires (bench/loop_lateness.cpp). Goal: 99th percentile under 50 ms.
# Every transfer is checked (SHA-256 of the file, diff -r of the tree). Medians of RUNS rounds,
# one run of each tool per round, each round starting each group with the next tool. Files live in
# a tmpfs unless BENCH_TMP names another place (bench/lib/vsftpd_bench.sh). The verdicts are
# informative: the exit status is 0 unless a tool failed or fetched something wrong.
#
# usage: bench/transfer_vs_curl.sh [-n RUNS]      (as root; RUNS defaults to 5)
#   TESSALY_CLI=/path/to/tessaly-cli   use that build (its bench/loop_lateness beside it) instead of build-bench/
#   SIZE_MIB=N                         size of the big file (default 1024)
#   BENCH_TMP=DIR                      where the files live (default /dev/shm, a tmpfs)
#   TREE_REPEAT=N                      tree downloads of each tool a round (default 3)
#   BENCH_PIN=0                        leave vsftpd and the clients to the scheduler (default: pinned,
#                                      vsftpd to CPU 0 and the clients to CPU 1)
set -euo pipefail

SIZE_MIB=${SIZE_MIB:-1024}
BENCH_NAME=transfer_vs_curl
BENCH_USAGE_LINES=16,22
# shellcheck source=bench/lib/vsftpd_bench.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib/vsftpd_bench.sh"
bench_options 5 "$@"
bench_positive SIZE_MIB

bench_prepare curl lftp wget sha256sum
bench_build tessaly-cli loop_lateness
LATENESS=$BENCH_BUILD/bench/loop_lateness
[[ -x $LATENESS ]] || {
    log "no loop_lateness at $LATENESS"
    exit 1
}

log "creating a $SIZE_MIB MiB file and a tree of 2000 files"
head -c "$((SIZE_MIB * 1024 * 1024))" /dev/urandom >"$T/vs/anon/big.bin"
BIG_SHA=$(sha256sum "$T/vs/anon/big.bin" | cut -d' ' -f1)
python3 - "$T/vs/anon/tree" <<'EOF'
import os, random, sys
root = sys.argv[1]
rnd = random.Random(20261208)
for d in range(20):
    path = os.path.join(root, f"dir{d:02d}")
    os.makedirs(path, 0o755)
    for f in range(100):
        with open(os.path.join(path, f"file{f:03d}.dat"), "wb") as out:
            out.write(rnd.randbytes(4096))
EOF
chmod -R a+rX "$T/vs/anon"
BENCH_WRITABLE=1
bench_start_vsftpd
IN=$T/vs/anon/incoming
URL=ftp://127.0.0.1:$PORT
OUT=$T/out

# Each run fetches into an empty directory of its own, checked afterwards.
fresh() {
    rm -rf "$OUT"
    mkdir -p "$OUT"
}
check_big() { # TOOL FILE
    local sum
    sum=$(sha256sum "$2" 2>/dev/null | cut -d' ' -f1 || true)
    if [[ $sum != "$BIG_SHA" ]]; then
        log "$1 fetched a wrong big.bin"
        failed=1
    fi
}
check_tree() { # TOOL DIRECTORY
    if ! diff -r "$T/vs/anon/tree" "$2" >/dev/null 2>&1; then
        log "$1 fetched a wrong tree"
        failed=1
    fi
}

FILE_TOOLS=(curl tessaly-cli lftp)
TREE_TOOLS=(wget tessaly-cli-tree lftp-mirror)
PUT_TOOLS=(curl-T tessaly-cli-put)
PUT_TREE_TOOLS=(lftp-mirror-R tessaly-cli-put-tree)
emptied() { find "$IN" -mindepth 1 -delete; } # the upload target, empty for each run
# One run of TOOL: the big file fetched, the tree fetched, the big file and the tree uploaded.
run_file() {
    fresh
    case $1 in
    curl) measure curl curl -s -o "$OUT/big.bin" "$URL/big.bin" ;;
    tessaly-cli) measure tessaly-cli "$CLI" --config-dir "$(cli_dir)" "127.0.0.1:$PORT" get big.bin "$OUT" ;;
    lftp) measure lftp timeout 600 lftp -e "$LFTP_SETUP; get big.bin -o $OUT/big.bin; bye" -p "$PORT" 127.0.0.1 ;;
    esac
    check_big "$1" "$OUT/big.bin"
}
run_tree() {
    fresh
    case $1 in
    wget) measure wget wget -q -r -nH -P "$OUT" "$URL/tree/" ;;
    tessaly-cli-tree) measure tessaly-cli-tree "$CLI" --config-dir "$(cli_dir)" "127.0.0.1:$PORT" get tree "$OUT" ;;
    lftp-mirror) measure lftp-mirror timeout 600 lftp -e "$LFTP_SETUP; mirror tree $OUT/tree; bye" -p "$PORT" 127.0.0.1 ;;
    esac
    check_tree "$1" "$OUT/tree"
}
run_put() {
    emptied
    case $1 in
    curl-T) measure curl-T curl -s -T "$T/vs/anon/big.bin" "$URL/incoming/big.bin" ;;
    tessaly-cli-put) measure tessaly-cli-put "$CLI" --config-dir "$(cli_dir)" "127.0.0.1:$PORT" put "$T/vs/anon/big.bin" incoming ;;
    esac
    check_big "$1" "$IN/big.bin"
}
run_put_tree() {
    emptied
    case $1 in
    lftp-mirror-R)
        measure lftp-mirror-R timeout 600 lftp -e "$LFTP_SETUP; mirror -R $T/vs/anon/tree incoming/tree; bye" \
            -p "$PORT" 127.0.0.1
        ;;
    tessaly-cli-put-tree) measure tessaly-cli-put-tree "$CLI" --config-dir "$(cli_dir)" "127.0.0.1:$PORT" put "$T/vs/anon/tree" incoming ;;
    esac
    check_tree "$1" "$IN/tree"
}

last_seconds() { awk '{ print $NF }' <<<"${SECONDS_OF[$1]}"; }

# Each round starts each group with another tool, so no tool always runs right after the same one.
# The tree download is quick and its time swings with the machine's other load from one minute to
# the next: each round fetches it TREE_REPEAT times, and beside the medians the verdict takes the
# median of the ratios within each repeat, whose tools ran one after the other.
TREE_REPEAT=${TREE_REPEAT:-3}
TREE_PAIRED=
LATENESS_P99=
for ((round = 1; round <= RUNS; ++round)); do
    log "round $round of $RUNS"
    for tool in $(rotated "$round" "${FILE_TOOLS[@]}"); do run_file "$tool"; done
    for ((repeat = 0; repeat < TREE_REPEAT; ++repeat)); do
        for tool in $(rotated "$(((round - 1) * TREE_REPEAT + repeat + 1))" "${TREE_TOOLS[@]}"); do
            run_tree "$tool"
        done
        TREE_PAIRED+="$(awk -v t="$(last_seconds tessaly-cli-tree)" -v w="$(last_seconds wget)" \
            'BEGIN { printf "%.4f", t / w }') "
    done
    for tool in $(rotated "$round" "${PUT_TOOLS[@]}"); do run_put "$tool"; done
    for tool in $(rotated "$round" "${PUT_TREE_TOOLS[@]}"); do run_put_tree "$tool"; done
done
emptied

log "event loop lateness during one download"
fresh
on_client_cpu "$LATENESS" --config-dir "$(cli_dir)" "127.0.0.1:$PORT" get big.bin "$OUT" >"$T/lateness.out" 2>/dev/null ||
    failed=1
check_big loop_lateness "$OUT/big.bin"
LATENESS_LINE=$(tail -n 1 "$T/lateness.out")
LATENESS_P99=$(sed -n 's/.*p99 \([0-9.]*\) ms.*/\1/p' <<<"$LATENESS_LINE")
rm -rf "$OUT"

for tool in "${FILE_TOOLS[@]}" "${TREE_TOOLS[@]}" "${PUT_TOOLS[@]}" "${PUT_TREE_TOOLS[@]}"; do
    log "$tool: seconds ${SECONDS_OF[$tool]}; CPU seconds ${CPU_OF[$tool]}; max RSS KiB ${RSS_OF[$tool]}"
done

file_table() { # BASELINE TOOL...
    local base_seconds tool seconds cpu rss
    base_seconds=$(median <<<"${SECONDS_OF[$1]}")
    printf '%-16s %9s %9s %12s %12s %9s\n' tool seconds "MB/s" "CPU s/GiB" "max RSS MB" "x $1"
    for tool in "$@"; do
        seconds=$(median <<<"${SECONDS_OF[$tool]}")
        cpu=$(median <<<"${CPU_OF[$tool]}")
        rss=$(median <<<"${RSS_OF[$tool]}")
        awk -v t="$tool" -v s="$seconds" -v c="$cpu" -v r="$rss" -v m="$SIZE_MIB" -v b="$base_seconds" 'BEGIN {
            printf "%-16s %9.2f %9.0f %12.2f %12.1f %9.2f\n", t, s, m * 1.048576 / s, c * 1024 / m, r * 1.024 / 1000, b / s
        }'
    done
}
tree_table() { # BASELINE TOOL...
    local base_seconds tool seconds
    base_seconds=$(median <<<"${SECONDS_OF[$1]}")
    printf '%-22s %9s %9s\n' tool seconds "x $1"
    for tool in "$@"; do
        seconds=$(median <<<"${SECONDS_OF[$tool]}")
        awk -v t="$tool" -v s="$seconds" -v w="$base_seconds" 'BEGIN { printf "%-22s %9.2f %9.2f\n", t, s, s / w }'
    done
}
echo
echo "1. $SIZE_MIB MiB file between vsftpd on 127.0.0.1 and a local file; medians of $RUNS runs (x: speed ratio)"
file_table "${FILE_TOOLS[@]}"
file_table "${PUT_TOOLS[@]}"
echo
echo "2. tree of 2000 files of 4 KiB in 20 directories; medians of $((RUNS * TREE_REPEAT)) runs (downloads)"
echo "   and $RUNS runs (uploads) (x: time ratio)"
tree_table "${TREE_TOOLS[@]}"
tree_paired=$(median <<<"$TREE_PAIRED")
echo "tessaly-cli-tree / wget within each repeat: median $tree_paired of: $TREE_PAIRED"
tree_table "${PUT_TREE_TOOLS[@]}"
curl_seconds=$(median <<<"${SECONDS_OF[curl]}")
wget_seconds=$(median <<<"${SECONDS_OF[wget]}")
echo
echo "3. $LATENESS_LINE"
echo
cli_seconds=$(median <<<"${SECONDS_OF[tessaly-cli]}")
cli_cpu=$(median <<<"${CPU_OF[tessaly-cli]}")
curl_cpu=$(median <<<"${CPU_OF[curl]}")
cli_rss=$(median <<<"${RSS_OF[tessaly-cli]}")
tree_seconds=$(median <<<"${SECONDS_OF[tessaly-cli-tree]}")
put_seconds=$(median <<<"${SECONDS_OF[tessaly-cli-put]}")
curl_put_seconds=$(median <<<"${SECONDS_OF[curl-T]}")
put_cpu=$(median <<<"${CPU_OF[tessaly-cli-put]}")
curl_put_cpu=$(median <<<"${CPU_OF[curl-T]}")
put_rss=$(median <<<"${RSS_OF[tessaly-cli-put]}")
put_tree_seconds=$(median <<<"${SECONDS_OF[tessaly-cli-put-tree]}")
mirror_r_seconds=$(median <<<"${SECONDS_OF[lftp-mirror-R]}")
awk -v s="$cli_seconds" -v cs="$curl_seconds" -v c="$cli_cpu" -v cc="$curl_cpu" -v r="$cli_rss" \
    -v t="$tree_seconds" -v w="$wget_seconds" -v tp="$tree_paired" -v p="${LATENESS_P99:-999}" \
    -v ps="$put_seconds" -v pcs="$curl_put_seconds" -v pc="$put_cpu" -v pcc="$curl_put_cpu" -v pr="$put_rss" \
    -v pt="$put_tree_seconds" -v mr="$mirror_r_seconds" 'BEGIN {
    printf "throughput: %.2f x curl (goal >= 1.00): %s\n", cs / s, s <= cs ? "PASS" : "FAIL"
    printf "CPU: %.2f x curl (goal <= 1.50): %s\n", (cc > 0 ? c / cc : 0), c <= 1.5 * cc ? "PASS" : "FAIL"
    printf "peak RSS: %.1f MB (goal <= 30): %s\n", r * 1.024 / 1000, r * 1.024 / 1000 <= 30 ? "PASS" : "FAIL"
    printf "tree: %.2f x wget, %.2f x within each repeat (goal <= 1.00): %s\n", t / w, tp,
        t <= w && tp <= 1 ? "PASS" : "FAIL"
    printf "event loop p99 lateness: %.2f ms (goal < 50): %s\n", p, p < 50 ? "PASS" : "FAIL"
    printf "upload throughput: %.2f x curl -T (goal >= 1.00): %s\n", pcs / ps, ps <= pcs ? "PASS" : "FAIL"
    printf "upload CPU: %.2f x curl -T (goal <= 1.50): %s\n", (pcc > 0 ? pc / pcc : 0), pc <= 1.5 * pcc ? "PASS" : "FAIL"
    printf "upload peak RSS: %.1f MB (goal <= 30): %s\n", pr * 1.024 / 1000, pr * 1.024 / 1000 <= 30 ? "PASS" : "FAIL"
    printf "upload tree: %.2f x lftp mirror -R (goal <= 1.00): %s\n", pt / mr, pt <= mr ? "PASS" : "FAIL"
}'
if ((failed)); then
    log "some runs failed or fetched something wrong (see above)"
    exit 1
fi
