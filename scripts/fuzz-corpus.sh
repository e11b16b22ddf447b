#!/usr/bin/env bash
# Regenerates the captured seeds of the fuzz corpora: builds tessaly_fuzz_capture in build-fuzz-cap/
# (the gcc build), which starts vsftpd, proftpd, pure-ftpd and pyftpdlib (also in its MS-DOS listing
# mode) on 127.0.0.1 one at a time, runs a fixed exchange against each, stops each by its PID and
# writes the replies, listings and data into fuzz/corpus/<target>/<server>-<what>. The hand-written
# seeds beside them (listing oddities, PASV forms, proxy replies, settings and site files) are kept.
# Needs root and the servers scripts/install-deps.sh installs. TESSALY_JOBS sets the build parallelism.
set -euo pipefail

cd "$(dirname "$0")/.."
build="build-fuzz-cap"
jobs=${TESSALY_JOBS:-$(nproc)}
servers='vsftpd proftpd pure-ftpd pyftpdlib pyftpdlib-dos'

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "$jobs" --target tessaly_fuzz_capture

# Captured seeds of an earlier run go first, so that none of a server's seeds outlives it.
for server in $servers; do
    find fuzz/corpus -type f -name "$server-*" -delete
    find fuzz/corpus -type f -name "$server" -delete
done
TESSALY_REQUIRE_PEERS=1 "$build/tests/tessaly_fuzz_capture" fuzz/corpus
