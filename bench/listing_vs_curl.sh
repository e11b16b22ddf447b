#!/usr/bin/env bash
# Whole-listing benchmark: how long tessaly-cli takes, and how much memory it peaks at, to list a
# directory of 100,000 entries on a real vsftpd on 127.0.0.1, next to curl's raw LIST (the server's
# floor) and lftp's `cls -1`. Goals: tessaly-cli within 1.2 x curl's time, and the memory the listing
# costs (peak resident set over that of the same run on a directory of 10 entries, the process's
# fixed cost) under 3 x the listing's size in bytes; the absolute peak is reported beside it. The
# verdicts are informative: the exit status is 0 unless a tool failed to run or gave a wrong listing.
#
# usage: bench/listing_vs_curl.sh [-n RUNS]       (as root; RUNS defaults to 7)
#   TESSALY_CLI=/path/to/tessaly-cli   use that binary instead of building build-bench/ (Release)
#   ENTRIES=N                          entries in the listed directory (default 100000)
#   BENCH_PIN=0                        leave vsftpd and the clients to the scheduler (default: pinned,
#                                      vsftpd to CPU 0 and the clients to CPU 1)
set -euo pipefail

ENTRIES=${ENTRIES:-100000}
BENCH_NAME=listing_vs_curl
BENCH_USAGE_LINES=9,13
# shellcheck source=bench/lib/vsftpd_bench.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib/vsftpd_bench.sh"
bench_options 7 "$@"
bench_positive ENTRIES

bench_prepare curl lftp
bench_build tessaly-cli

log "creating $ENTRIES entries in big/"
python3 - "$T/vs/anon/big" "$ENTRIES" <<'EOF'
import os, random, sys
root, count = sys.argv[1], int(sys.argv[2])
os.mkdir(root, 0o755)
rnd = random.Random(20260101)
words = ["report", "invoice", "backup", "photo", "notes", "draft", "summary", "budget",
         "scan", "holiday", "meeting", "release", "data", "export", "log", "Final Version"]
exts = [".txt", ".pdf", ".jpg", ".tar.gz", ".iso", ".c", ".h", ".csv", ".docx", ".mp3", ""]
dirs = ["src", "build", "Photos", "project", "archive", "My Documents", "old stuff", "tmp", "v"]
fd_flags = os.O_WRONLY | os.O_CREAT | os.O_EXCL
for i in range(count):
    kind = rnd.randrange(100)
    if kind < 8:
        name = f"{rnd.choice(dirs)}-{i}" if kind < 6 else f"{rnd.choice(dirs)} {i}"
        os.mkdir(os.path.join(root, name), 0o755)
        continue
    if kind < 20:  # blanks in the name
        name = f"{rnd.choice(words)} {rnd.choice(words)} {i}{rnd.choice(exts)}"
    elif kind < 40:
        name = f"IMG_{2010 + rnd.randrange(16)}{rnd.randrange(1, 13):02d}{rnd.randrange(1, 29):02d}_{i:06d}.jpg"
    elif kind < 50:
        name = f"{rnd.choice(words).lower()}-{i}.{rnd.randrange(1, 10)}.{rnd.randrange(20)}{rnd.choice(exts)}"
    else:
        name = f"{rnd.choice(words).lower()}_{i}{rnd.choice(exts)}"
    os.close(os.open(os.path.join(root, name), fd_flags, 0o644))
EOF
# The directory of the baseline run: what tessaly-cli takes without a large listing.
mkdir -p "$T/vs/anon/small"
for i in $(seq 10); do : >"$T/vs/anon/small/file$i.txt"; done

bench_start_vsftpd
URL=ftp://127.0.0.1:$PORT/big/

# --- the three tools -----------------------------------------------------------------------------

# One checked run of each first: right item counts, and the directory warm in the page cache.
LISTING_BYTES=$(curl -s "$URL" | wc -c)
LISTING_LINES=$(curl -s "$URL" | wc -l)
# curl turns the CRLF line ends of an ASCII transfer into LF: the server sent one byte more per line.
WIRE_BYTES=$((LISTING_BYTES + LISTING_LINES))
log "listing: $LISTING_BYTES bytes as curl writes it ($WIRE_BYTES on the wire), $LISTING_LINES lines"
if [[ $LISTING_LINES -ne $ENTRIES ]]; then
    log "curl's listing has $LISTING_LINES lines, not $ENTRIES"
    failed=1
fi
expected_dirs=$(find "$T/vs/anon/big" -mindepth 1 -maxdepth 1 -type d | wc -l)
status=0
timeout 300 "$CLI" --config-dir "$(cli_dir)" "127.0.0.1:$PORT" cd /big ls >"$T/cli.out" 2>"$T/cli.err" ||
    status=$?
cli_items=$(wc -l <"$T/cli.out")
cli_dirs=$(grep -c '^d'$'\t' "$T/cli.out" || true)
cli_blanks=$(cut -f2 "$T/cli.out" | grep -c ' ' || true)
real_blanks=$(find "$T/vs/anon/big" -mindepth 1 -maxdepth 1 -name '* *' | wc -l)
if [[ $status -ne 0 || $cli_items -ne $ENTRIES || $cli_dirs -ne $expected_dirs || $cli_blanks -ne $real_blanks ]]; then
    log "tessaly-cli: exit status $status, $cli_items items ($cli_dirs directories, $cli_blanks names" \
        "with blanks); expected $ENTRIES ($expected_dirs, $real_blanks). Its log (last 40 lines):"
    tail -n 40 "$T/cli.err" >&2
    failed=1
fi
status=0
timeout 120 lftp -e "$LFTP_SETUP; cls -1 big; bye" -p "$PORT" 127.0.0.1 >"$T/lftp.out" 2>"$T/lftp.err" ||
    status=$?
lftp_items=$(wc -l <"$T/lftp.out")
if [[ $status -ne 0 || $lftp_items -ne $ENTRIES ]]; then
    log "lftp: exit status $status, $lftp_items items, expected $ENTRIES"
    tail -n 20 "$T/lftp.err" >&2
    failed=1
fi

# Alternating: one run of each tool per round.
TOOLS=(curl tessaly-cli lftp)
BASELINE=tessaly-cli-10 # tessaly-cli listing small/
for ((round = 1; round <= RUNS; ++round)); do
    log "round $round of $RUNS"
    measure curl curl -s -o /dev/null "$URL"
    measure tessaly-cli "$CLI" --config-dir "$(cli_dir)" "127.0.0.1:$PORT" cd /big ls
    measure "$BASELINE" "$CLI" --config-dir "$(cli_dir)" "127.0.0.1:$PORT" cd /small ls
    measure lftp timeout 120 lftp -e "$LFTP_SETUP; cls -1 big > /dev/null; bye" -p "$PORT" 127.0.0.1
done
for tool in "${TOOLS[@]}" "$BASELINE"; do
    log "$tool: seconds ${SECONDS_OF[$tool]}; max RSS KiB ${RSS_OF[$tool]}"
done

curl_seconds=$(median <<<"${SECONDS_OF[curl]}")
echo
echo "Listing of $ENTRIES entries ($expected_dirs directories) from vsftpd on 127.0.0.1: $LISTING_BYTES bytes" \
    "as curl writes it ($WIRE_BYTES on the wire, CRLF); medians of $RUNS runs; RSS / listing uses curl's bytes"
printf '%-14s %10s %14s %10s %16s\n' tool seconds "max RSS MiB" "x curl" "RSS / listing"
for tool in "${TOOLS[@]}" "$BASELINE"; do
    seconds=$(median <<<"${SECONDS_OF[$tool]}")
    rss_kib=$(median <<<"${RSS_OF[$tool]}")
    awk -v t="$tool" -v s="$seconds" -v r="$rss_kib" -v c="$curl_seconds" -v b="$LISTING_BYTES" \
        'BEGIN { printf "%-14s %10.3f %14.1f %10.2f %16.2f\n", t, s, r / 1024, s / c, r * 1024 / b }'
done
cli_seconds=$(median <<<"${SECONDS_OF[tessaly-cli]}")
cli_rss=$(median <<<"${RSS_OF[tessaly-cli]}")
base_rss=$(median <<<"${RSS_OF[$BASELINE]}")
echo
awk -v r="$cli_rss" -v z="$base_rss" 'BEGIN {
    printf "tessaly-cli peak RSS: %.1f MiB; with the 10-entry directory (%s): %.1f MiB; the listing costs %.1f MiB\n",
        r / 1024, "'"$BASELINE"'", z / 1024, (r - z) / 1024
}'
awk -v s="$cli_seconds" -v c="$curl_seconds" -v r="$cli_rss" -v z="$base_rss" -v b="$LISTING_BYTES" 'BEGIN {
    printf "tessaly-cli time: %.2f x curl (goal <= 1.20): %s\n", s / c, s <= 1.2 * c ? "PASS" : "FAIL"
    printf "tessaly-cli peak RSS over the baseline: %.2f x listing bytes (goal < 3.00): %s\n", (r - z) * 1024 / b,
        (r - z) * 1024 < 3 * b ? "PASS" : "FAIL"
    printf "tessaly-cli peak RSS absolute: %.2f x listing bytes (under 3.00: %s)\n", r * 1024 / b,
        r * 1024 < 3 * b ? "yes" : "no"
}'
if ((failed)); then
    log "some runs failed or gave a wrong listing (see above)"
    exit 1
fi
