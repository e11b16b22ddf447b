#!/usr/bin/env bash
# The packaging stage of scripts/test.sh: builds the .deb from a built tree (scripts/package.sh),
# installs it with apt-get, checks what it installed (the desktop entry, the AppStream metadata, both
# man pages, the icons and help pages, --version and --help), lists a pyftpdlib demo server on
# 127.0.0.1 with the installed tessaly-cli, and purges the package again, with whatever its install
# pulled in: the machine is left as it was, also when a check fails.
#
# usage: scripts/check-package.sh [BUILD-DIR]   (default build/; runs as root, or through sudo)
set -euo pipefail

cd "$(dirname "$0")/.."
build=${1:-build}

say() { printf 'check-package: %s\n' "$*" >&2; }
fail() {
    say "$*"
    exit 1
}
as_root() {
    if ((EUID == 0)); then "$@"; else sudo "$@"; fi
}
apt=(env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 -y -q)
installed_packages() { dpkg-query -W -f='${db:Status-Status} ${Package}\n' | sed -n 's/^installed //p' | sort; }

if [[ "$(dpkg-query -W -f='${db:Status-Status}' tessaly 2>/dev/null)" == installed ]]; then
    fail "the package tessaly is installed already; this check would remove it: remove it first"
fi

work=$(mktemp -d -t tessaly-package.XXXXXX)
chmod 755 "$work"
server_pid=""
added=()
cleanup() {
    if [[ -n "$server_pid" ]]; then
        kill "$server_pid" 2>/dev/null || true
        wait "$server_pid" 2>/dev/null || true
    fi
    if ((${#added[@]} > 0)); then
        say "purging ${added[*]}"
        as_root "${apt[@]}" purge "${added[@]}" </dev/null >"$work/purge.log" 2>&1 || {
            cat "$work/purge.log" >&2
            say "could not purge ${added[*]}"
        }
    fi
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

deb=$(bash scripts/package.sh "$build" | tail -1)
say "installing $deb"
installed_packages >"$work/before"
install_status=0
as_root "${apt[@]}" install "$deb" </dev/null >"$work/install.log" 2>&1 || install_status=$?
# What the install added, even when it failed halfway, is what the cleanup purges.
installed_packages >"$work/after"
mapfile -t added < <(comm -13 "$work/before" "$work/after")
((install_status == 0)) || { cat "$work/install.log" >&2 && fail "apt-get install of $deb failed"; }
[[ " ${added[*]} " == *" tessaly "* ]] || fail "apt-get installed no package named tessaly"

version=$(dpkg-query -W -f='${Version}' tessaly)
say "checking tessaly $version (it pulled in: ${added[*]})"
dpkg-query -W -f='${Depends}\n' tessaly | grep -q 'libqt6widgets6' || fail "Depends lacks Qt Widgets"
for file in /usr/bin/tessaly /usr/bin/tessaly-cli /usr/share/tessaly/help/index.html \
    /usr/share/icons/hicolor/scalable/apps/tessaly.svg /usr/share/icons/hicolor/48x48/apps/tessaly.png \
    /usr/share/icons/hicolor/256x256/apps/tessaly.png; do
    [[ -s "$file" ]] || fail "$file was not installed"
done
desktop-file-validate /usr/share/applications/tessaly.desktop
appstreamcli validate --no-net /usr/share/metainfo/org.tessaly.Client.metainfo.xml >"$work/appstream.log" ||
    { cat "$work/appstream.log" >&2 && fail "appstreamcli validate failed"; }
for page in tessaly tessaly-cli; do
    LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "/usr/share/man/man1/$page.1" >"$work/$page.txt" 2>"$work/$page.err"
    [[ ! -s "$work/$page.err" ]] || { cat "$work/$page.err" >&2 && fail "man -l $page.1 warned"; }
    grep -q "^NAME" "$work/$page.txt" || fail "man -l $page.1 shows no NAME section"
done
[[ "$(/usr/bin/tessaly-cli --version)" == "tessaly-cli $version" ]] || fail "tessaly-cli --version is not $version"
[[ "$(/usr/bin/tessaly --version)" == "tessaly $version" ]] || fail "tessaly --version is not $version"
/usr/bin/tessaly --help | grep -q 'ftp://\[USER\[:PASSWORD\]@\]HOST\[:PORT\]\[/PATH\]' || fail "tessaly --help lacks the address form"

say "listing a demo server with the installed tessaly-cli"
/usr/bin/python3 scripts/ftpd.py --root "$work/root" --port 0 --demo-tree >"$work/ready" 2>"$work/ftpd.log" </dev/null &
server_pid=$!
for _ in $(seq 100); do
    grep -q '^READY ' "$work/ready" && break
    kill -0 "$server_pid" 2>/dev/null || { cat "$work/ftpd.log" >&2 && fail "the demo server did not start"; }
    sleep 0.1
done
port=$(sed -n 's/^READY //p' "$work/ready")
[[ -n "$port" ]] || fail "the demo server did not report READY"
/usr/bin/tessaly-cli "ftp://127.0.0.1:$port/pub" ls >"$work/ls" 2>"$work/cli.log" </dev/null ||
    { cat "$work/cli.log" >&2 && fail "tessaly-cli could not list the demo server"; }
grep -q $'^-\thello.txt\t' "$work/ls" || { cat "$work/ls" >&2 && fail "the listing of /pub lacks hello.txt"; }
kill "$server_pid"
wait "$server_pid" 2>/dev/null || true
server_pid=""

as_root "${apt[@]}" purge "${added[@]}" </dev/null >"$work/purge.log" 2>&1 ||
    { cat "$work/purge.log" >&2 && fail "apt-get purge ${added[*]} failed"; }
added=()
installed_packages >"$work/purged"
cmp -s "$work/before" "$work/purged" || fail "the installed packages differ from before the install"
[[ ! -e /usr/bin/tessaly && ! -e /usr/share/applications/tessaly.desktop ]] || fail "files stayed after the purge"
say "ok: the package installs, its files check out, it lists the demo server, and it is gone again"
