#!/usr/bin/env bash
# Builds Tessaly Client's Debian package (cpack -G DEB) and prints its path on the last line.
#
# usage: scripts/package.sh [BUILD-DIR]
#   BUILD-DIR  the build tree to package, default build/ (RelWithDebInfo, as scripts/test.sh makes
#              it); configured and built first when needed, so an up-to-date tree is not rebuilt.
# The package's dependencies come from its executables' shared libraries (dpkg-shlibdeps, from
# dpkg-dev, which scripts/install-deps.sh installs). TESSALY_JOBS sets the build parallelism.
set -euo pipefail

cd "$(dirname "$0")/.."

case "${1:-}" in
-h | --help)
    sed -n '2,8p' "$0" | sed 's/^# \{0,1\}//'
    exit 0
    ;;
esac
build=${1:-build}

if [[ ! -f "$build/CMakeCache.txt" ]]; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSALY_WERROR=ON
fi
cmake --build "$build" -j "${TESSALY_JOBS:-$(nproc)}" --target tessaly tessaly-cli
rm -f "$build"/package/tessaly_*.deb
(cd "$build" && cpack -G DEB -B "$(pwd)/package" >/dev/null)
deb=$(find "$build/package" -maxdepth 1 -name 'tessaly_*.deb' | sort | tail -1)
[[ -n "$deb" ]] || {
    echo "package.sh: cpack made no tessaly_*.deb in $build/package" >&2
    exit 1
}
realpath "$deb"
