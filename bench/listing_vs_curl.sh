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
set -euo pipefail

RUNS=7
ENTRIES=${ENTRIES:-100000}
usage() { sed -n '9,11s/^# \{0,1\}//p' "$0"; }
while getopts 'n:h' opt; do
    case $opt in
    n) RUNS=$OPTARG ;;
    h)
        usage
        exit 0
        ;;
    *)
        usage >&2
        exit 64
        ;;
    esac
done
if ! [[ $RUNS =~ ^[1-9][0-9]*$ && $ENTRIES =~ ^[1-9][0-9]*$ ]]; then
    echo "listing_vs_curl: RUNS and ENTRIES must be positive integers" >&2
    exit 64
fi

REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
log() { printf 'listing_vs_curl: %s\n' "$*" >&2; }

# --- packages and the binary ---------------------------------------------------------------------
"$REPO/scripts/install-deps.sh"
for tool in curl lftp vsftpd python3 timeout; do
    command -v "$tool" >/dev/null || {
        log "$tool is missing"
        exit 1
    }
done
[[ -x /usr/bin/time ]] || {
    log "/usr/bin/time (GNU time) is missing"
    exit 1
}

if [[ -n ${TESSALY_CLI:-} ]]; then
    CLI=$TESSALY_CLI
else
    log "building tessaly-cli in $REPO/build-bench (Release)"
    cmake -S "$REPO" -B "$REPO/build-bench" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DTESSALY_BUILD_TESTS=OFF >/dev/null
    cmake --build "$REPO/build-bench" -j2 --target tessaly-cli >/dev/null
    CLI=$REPO/build-bench/src/app/tessaly-cli
fi
[[ -x $CLI ]] || {
    log "no tessaly-cli at $CLI"
    exit 1
}

# --- the server ----------------------------------------------------------------------------------
T=$(mktemp -d)
chmod 755 "$T" # vsftpd drops privileges: a 0700 parent makes it fail
VS_PID=
descendants() {
    local child
    for child in $(ps -o pid= --ppid "$1" 2>/dev/null); do
        echo "$child"
        descendants "$child"
    done
}
cleanup() {
    if [[ -n $VS_PID ]]; then
        # Each vsftpd session setsid()s and outlives its master: stop the whole tree by PID.
        local pids
        pids=$(descendants "$VS_PID")
        # shellcheck disable=SC2086 # one PID a word
        kill $pids "$VS_PID" 2>/dev/null || true
        wait "$VS_PID" 2>/dev/null || true
        VS_PID=
    fi
    rm -rf "$T"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# A control port and a block of passive ports, all free on 127.0.0.1.
read -r PORT PASV_MIN PASV_MAX < <(
    python3 - <<'EOF'
import random, socket
def free(port):
    s = socket.socket()
    try:
        s.bind(("127.0.0.1", port))
        return True
    except OSError:
        return False
    finally:
        s.close()
for _ in range(200):
    base = random.randrange(20000, 60000 - 64)
    if all(free(p) for p in range(base, base + 51)):
        print(base, base + 1, base + 50)
        break
else:
    raise SystemExit("no free port block")
EOF
)

mkdir -p "$T/vs/empty" "$T/vs/anon" "$T/cli"
chmod 755 "$T/vs/anon" # the anonymous root must not be writable
cat >"$T/vs/vsftpd.conf" <<EOF
listen=YES
listen_ipv6=NO
listen_address=127.0.0.1
listen_port=$PORT
background=NO
secure_chroot_dir=$T/vs/empty
pam_service_name=vsftpd
seccomp_sandbox=NO
anonymous_enable=YES
anon_root=$T/vs/anon
local_enable=NO
write_enable=NO
pasv_enable=YES
pasv_address=127.0.0.1
pasv_min_port=$PASV_MIN
pasv_max_port=$PASV_MAX
port_enable=YES
connect_from_port_20=NO
use_localtime=YES
xferlog_enable=YES
log_ftp_protocol=YES
vsftpd_log_file=$T/vs/vsftpd.log
EOF

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

vsftpd "$T/vs/vsftpd.conf" >"$T/vs/stdout" 2>&1 &
VS_PID=$!
wait_port() { for _ in $(seq 50); do (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null && return 0; sleep 0.1; done; return 1; }
wait_port "$PORT" || {
    log "vsftpd did not come up on port $PORT:"
    cat "$T/vs/stdout" >&2
    exit 1
}
URL=ftp://127.0.0.1:$PORT/big/

# --- the three tools -----------------------------------------------------------------------------
cli_dir() { mktemp -d "$T/cli/config.XXXXXX"; } # an empty config directory for each run
LFTP_SETUP="set net:max-retries 2; set net:timeout 10"

# One checked run of each first: right item counts, and the directory warm in the page cache.
LISTING_BYTES=$(curl -s "$URL" | wc -c)
LISTING_LINES=$(curl -s "$URL" | wc -l)
# curl turns the CRLF line ends of an ASCII transfer into LF: the server sent one byte more per line.
WIRE_BYTES=$((LISTING_BYTES + LISTING_LINES))
log "listing: $LISTING_BYTES bytes as curl writes it ($WIRE_BYTES on the wire), $LISTING_LINES lines"
failed=0
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

# Wall time from bash's clock (microseconds), peak RSS from GNU time. Alternating: one run of each
# tool per round.
declare -A SECONDS_OF RSS_OF
TOOLS=(curl tessaly-cli lftp)
BASELINE=tessaly-cli-10 # tessaly-cli listing small/
measure() { # TOOL COMMAND...   (the command's output goes to /dev/null)
    local tool=$1 start end status=0
    shift
    start=$EPOCHREALTIME
    /usr/bin/time -f '%M' -o "$T/time.out" "$@" >/dev/null 2>/dev/null || status=$?
    end=$EPOCHREALTIME
    if [[ $status -ne 0 ]]; then
        log "$tool failed: exit status $status"
        failed=1
    fi
    SECONDS_OF[$tool]+="$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.6f", b - a }') "
    RSS_OF[$tool]+="$(tail -n 1 "$T/time.out") "
}
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

median() { tr ' ' '\n' | grep . | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

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
