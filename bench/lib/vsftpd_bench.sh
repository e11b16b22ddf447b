# Shared by the benchmarks that run tessaly-cli beside other clients against a real vsftpd on
# 127.0.0.1: options, packages, the Release build, the server, timed runs and medians. Sourced by a
# script that has set BENCH_NAME and BENCH_USAGE_LINES (the range of its header that says how to use
# it); it provides:
#   bench_options RUNS "$@"     sets RUNS from -n (default RUNS); -h prints the usage lines
#   bench_positive NAME         exits with status 64 unless the variable NAME is a positive integer
#   bench_prepare TOOL...       installs what is missing and checks that the tools are there
#   bench_build TARGET...       builds the targets in build-bench/ (Release); CLI names tessaly-cli
#                               (TESSALY_CLI overrides it, and then nothing is built)
#   bench_start_vsftpd          serves $T/vs/anon read-only to anonymous on free ports: PORT; with
#                               BENCH_WRITABLE=1 anonymous may also write into $T/vs/anon/incoming
#   measure TOOL COMMAND...     one timed run: wall seconds, CPU seconds and peak RSS are appended
#                               to SECONDS_OF[TOOL], CPU_OF[TOOL] and RSS_OF[TOOL]; failed=1 on failure
#   on_client_cpu COMMAND...    runs the command where measured clients run (see CLIENT_CPU below)
#   median                      the median of the numbers on standard input
#   rotated ROUND ITEM...       the items, rotated left by ROUND - 1: each round starts with another
# T is the benchmark's temporary directory, removed at exit with the server stopped by PID.

BENCH_REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

# With two CPUs or more, the server keeps to CPU 0 and every measured client to CPU 1, the same for
# every tool; BENCH_PIN=0 leaves both to the scheduler. bench/README.md says why.
SERVER_CPU=()
CLIENT_CPU=()
if [[ ${BENCH_PIN:-1} == 1 ]] && (($(nproc) >= 2)) && command -v taskset >/dev/null; then
    SERVER_CPU=(taskset -c 0)
    CLIENT_CPU=(taskset -c 1)
fi
on_client_cpu() { "${CLIENT_CPU[@]}" "$@"; }
log() { printf '%s: %s\n' "$BENCH_NAME" "$*" >&2; }

bench_options() {
    RUNS=$1
    shift
    local opt OPTIND=1
    local usage=(sed -n "${BENCH_USAGE_LINES}s/^# \\{0,1\\}//p" "$0")
    while getopts 'n:h' opt; do
        case $opt in
        n) RUNS=$OPTARG ;;
        h)
            "${usage[@]}"
            exit 0
            ;;
        *)
            "${usage[@]}" >&2
            exit 64
            ;;
        esac
    done
    bench_positive RUNS
}

bench_positive() {
    if ! [[ ${!1} =~ ^[1-9][0-9]*$ ]]; then
        log "$1 must be a positive integer"
        exit 64
    fi
}

bench_prepare() {
    "$BENCH_REPO/scripts/install-deps.sh"
    local tool
    for tool in "$@" vsftpd python3 timeout; do
        command -v "$tool" >/dev/null || {
            log "$tool is missing"
            exit 1
        }
    done
    [[ -x /usr/bin/time ]] || {
        log "/usr/bin/time (GNU time) is missing"
        exit 1
    }
}

bench_build() {
    BENCH_BUILD=$BENCH_REPO/build-bench
    if [[ -n ${TESSALY_CLI:-} ]]; then
        CLI=$TESSALY_CLI
        BENCH_BUILD=$(cd "$(dirname "$CLI")/../.." && pwd)
    else
        log "building $* in $BENCH_BUILD (Release)"
        cmake -S "$BENCH_REPO" -B "$BENCH_BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release \
            -DTESSALY_BUILD_TESTS=OFF -DTESSALY_BUILD_BENCH=ON >/dev/null
        cmake --build "$BENCH_BUILD" -j2 --target "$@" >/dev/null
        CLI=$BENCH_BUILD/src/app/tessaly-cli
    fi
    [[ -x $CLI ]] || {
        log "no tessaly-cli at $CLI"
        exit 1
    }
}

# Everything (the served files, the fetched copies, the upload target) lives in a tmpfs by default:
# on a disk's file system the kernel's inode allocation and page-cache writeback decided the
# comparisons on this machine, and punished whichever tool ran after a tree had just been deleted.
# BENCH_TMP=/var/tmp measures on the disk instead.
T=$(mktemp -d "${BENCH_TMP:-/dev/shm}/tessaly-bench.XXXXXX")
chmod 755 "$T" # vsftpd drops privileges: a 0700 parent makes it fail
mkdir -p "$T/vs/empty" "$T/vs/anon" "$T/cli"
chmod 755 "$T/vs/anon" # the anonymous root must not be writable
VS_PID=
descendants() {
    local child
    for child in $(ps -o pid= --ppid "$1" 2>/dev/null); do
        echo "$child"
        descendants "$child"
    done
}
bench_cleanup() {
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
trap bench_cleanup EXIT
trap 'exit 130' INT TERM

bench_start_vsftpd() {
    # A control port and a block of passive ports, all free on 127.0.0.1 and below the ephemeral
    # range. The block is wide because every data connection leaves a TIME_WAIT socket on the
    # server's passive port for a minute, and binding a port checks each socket left on it: with a
    # narrow block, a 2,000-file tree leaves hundreds on each port and every run after it slows
    # down, whichever tool runs.
    read -r PORT PASV_MIN PASV_MAX < <(
        python3 - <<'EOF'
import random, socket
WIDTH = 2000
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
    base = random.randrange(10000, 32768 - WIDTH - 1)
    if all(free(p) for p in range(base, base + WIDTH + 1)):
        print(base, base + 1, base + WIDTH)
        break
else:
    raise SystemExit("no free port block")
EOF
    )
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
    if [[ ${BENCH_WRITABLE:-0} == 1 ]]; then
        mkdir -p "$T/vs/anon/incoming"
        chown ftp:ftp "$T/vs/anon/incoming"
        chmod 777 "$T/vs/anon/incoming"
        printf '%s\n' write_enable=YES anon_upload_enable=YES anon_mkdir_write_enable=YES \
            anon_other_write_enable=YES anon_umask=022 >>"$T/vs/vsftpd.conf"
    else
        echo write_enable=NO >>"$T/vs/vsftpd.conf"
    fi
    "${SERVER_CPU[@]}" vsftpd "$T/vs/vsftpd.conf" >"$T/vs/stdout" 2>&1 &
    VS_PID=$!
    if ((${#SERVER_CPU[@]} > 0)); then
        log "vsftpd runs on CPU 0 and the measured clients on CPU 1 (BENCH_PIN=0: unpinned)"
    fi
    local _
    for _ in $(seq 50); do
        (exec 3<>"/dev/tcp/127.0.0.1/$PORT") 2>/dev/null && return 0
        sleep 0.1
    done
    log "vsftpd did not come up on port $PORT:"
    cat "$T/vs/stdout" >&2
    exit 1
}

cli_dir() { mktemp -d "$T/cli/config.XXXXXX"; } # an empty config directory for each run
LFTP_SETUP="set net:max-retries 2; set net:timeout 10"

declare -A SECONDS_OF CPU_OF RSS_OF
failed=0
measure() { # TOOL COMMAND...   (the command's output goes to /dev/null)
    local tool=$1 start end status=0
    shift
    start=$EPOCHREALTIME
    /usr/bin/time -f '%U %S %M' -o "$T/time.out" "${CLIENT_CPU[@]}" "$@" >/dev/null 2>/dev/null || status=$?
    end=$EPOCHREALTIME
    if [[ $status -ne 0 ]]; then
        log "$tool failed: exit status $status"
        failed=1
    fi
    SECONDS_OF[$tool]+="$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.6f", b - a }') "
    local user system rss
    read -r user system rss < <(tail -n 1 "$T/time.out")
    CPU_OF[$tool]+="$(awk -v u="$user" -v s="$system" 'BEGIN { printf "%.2f", u + s }') "
    RSS_OF[$tool]+="$rss "
}

median() { tr ' ' '\n' | grep . | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

rotated() { # ROUND ITEM...
    local round=$1
    shift
    local items=("$@") i
    for ((i = 0; i < ${#items[@]}; ++i)); do
        echo "${items[(i + round - 1) % ${#items[@]}]}"
    done
}
