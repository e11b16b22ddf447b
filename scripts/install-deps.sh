#!/usr/bin/env bash
# Installs everything Tessaly Client needs to build and test on Debian 12 (bookworm), and the
# throwaway accounts the local FTP test servers use. Safe to run again: it installs only what is
# missing, so a second run is quick and needs no network. Runs as root, or through sudo otherwise.
# Installing starts no system service: the test peers run only when a test starts them.
set -euo pipefail

# One line per group; a new group of packages is one more line.
PACKAGES=(
    cmake ninja-build g++ clang libclang-rt-14-dev clang-format # build tools, fuzzing runtime
    qt6-base-dev                                                # Qt 6 Core/Network/Widgets
    libgtest-dev libgmock-dev libbenchmark-dev                  # tests and benchmarks
    python3-pyftpdlib vsftpd                                    # FTP servers the tests run on 127.0.0.1
    dante-server microsocks openssh-server openssh-client       # SOCKS 4/4A/5 proxies (ssh -D for 4A)
    tinyproxy ftp-proxy util-linux                              # HTTP CONNECT, FTP proxy; setpriv
    libhiredis0.14 libmemcached11 libmemcachedutil2             # runtime of the unpacked proftpd
    libpcre2-posix3 libsodium23 libsqlite3-0 libssl3 libcap2    #   and of its mod_proxy and pure-ftpd
    openssl                                                     # SHA-256 of the large files tests move
    curl lftp time wget                                         # poking the test servers by hand; benchmarks
    desktop-file-utils appstream man-db dpkg-dev librsvg2-bin   # the .deb and the checks of its files
)

# vsftpd's local login for the tests (see tests/support/FtpServerProcess.cpp).
TEST_USER=tessftp
TEST_PASSWORD=secret
TEST_SHELL=/bin/sh
TEST_HOME=/var/lib/tessftp # vsftpd enters the home before local_root, so it must exist

# proftpd and pure-ftpd cannot be installed next to vsftpd (all three Conflict with ftp-server), so their
# packages are only unpacked, each into a tree of its own; the tests run the servers from there
# (tests/support/ProxyProcess.cpp, tests/support/FtpServerProcess*.cpp). Their libraries are in PACKAGES.
PEERS_DIR=/var/cache/tessaly-peers
PROFTPD_PACKAGES=(proftpd-core proftpd-mod-proxy)
PUREFTPD_PACKAGES=(pure-ftpd)

log() { printf 'install-deps: %s\n' "$*" >&2; }

# Root is needed only when something is missing; then sudo stands in for it.
as_root() {
    if ((EUID == 0)); then
        "$@"
    elif command -v sudo >/dev/null 2>&1; then
        sudo "$@"
    else
        log "not root and sudo is not installed: run this script as root"
        exit 1
    fi
}

is_installed() {
    [[ "$(dpkg-query -W -f='${db:Status-Status}' "$1" 2>/dev/null)" == installed ]]
}

apt=(env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 -y -q)
apt_updated=false
apt_update_once() {
    if ! $apt_updated; then
        as_root "${apt[@]}" update </dev/null
        apt_updated=true
    fi
}

# A package's maintainer scripts start its service unless policy-rc.d says no (exit 101). Where the
# machine has no policy-rc.d, one is put in place for the install and taken away again afterwards.
POLICY_RC=/usr/sbin/policy-rc.d
policy_rc_created=false
remove_policy_rc() {
    if $policy_rc_created; then
        as_root rm -f "$POLICY_RC"
        policy_rc_created=false
    fi
}
trap remove_policy_rc EXIT
trap 'exit 130' INT TERM
block_service_starts() {
    if [[ ! -e "$POLICY_RC" ]]; then
        log "no $POLICY_RC: blocking service starts while installing"
        printf '#!/bin/sh\n# Put here by Tessaly Client scripts/install-deps.sh for one install.\nexit 101\n' |
            as_root tee "$POLICY_RC" >/dev/null
        as_root chmod 755 "$POLICY_RC"
        policy_rc_created=true
    fi
}

missing=()
for pkg in "${PACKAGES[@]}"; do
    is_installed "$pkg" || missing+=("$pkg")
done

if ((${#missing[@]} > 0)); then
    log "installing: ${missing[*]}"
    block_service_starts
    apt_update_once
    as_root "${apt[@]}" install "${missing[@]}" </dev/null
    remove_policy_rc
else
    log "all packages present"
fi

# An unpacked tree: downloaded once; its stamp lists the packages and versions in it.
# usage: unpack_packages DIR PACKAGE...
unpack_packages() {
    local target=$1 work deb
    shift
    work=$(mktemp -d)
    mkdir "$work/debs" "$work/tree"
    chmod 755 "$work"
    # apt downloads as its sandbox user when that user may write the directory.
    if getent passwd _apt >/dev/null; then
        as_root chown _apt "$work/debs"
    fi
    if ! (cd "$work/debs" && as_root apt-get -q download "$@" </dev/null); then
        apt_update_once
        (cd "$work/debs" && as_root apt-get -q download "$@" </dev/null) || {
            as_root rm -rf "$work"
            log "cannot download $*"
            exit 1
        }
    fi
    for deb in "$work"/debs/*.deb; do
        dpkg-deb -x "$deb" "$work/tree"
        printf '%s %s\n' "$(dpkg-deb -f "$deb" Package)" "$(dpkg-deb -f "$deb" Version)" >>"$work/tree/.unpacked"
    done
    as_root mkdir -p "$(dirname "$target")"
    as_root rm -rf "$target"
    as_root mv "$work/tree" "$target"
    as_root chown -R root:root "$target"
    as_root chmod 755 "$target"
    as_root rm -rf "$work"
}
# usage: ensure_unpacked DIR "PACKAGE..." FILE...: unpacks when the stamp or one of the FILEs is missing.
ensure_unpacked() {
    local target=$1 file
    local -a packages
    read -r -a packages <<<"$2"
    shift 2
    for file in .unpacked "$@"; do
        if [[ ! -e "$target/$file" ]]; then
            log "unpacking ${packages[*]} into $target"
            unpack_packages "$target" "${packages[@]}"
            return
        fi
    done
}
ensure_unpacked "$PEERS_DIR/proftpd" "${PROFTPD_PACKAGES[*]}" usr/sbin/proftpd usr/lib/proftpd/mod_proxy.so
ensure_unpacked "$PEERS_DIR/pure-ftpd" "${PUREFTPD_PACKAGES[*]}" usr/sbin/pure-ftpd usr/bin/pure-pw

# vsftpd serves anonymous sessions as the ftp system user; its postinst normally makes it.
if ! getent passwd ftp >/dev/null; then
    log "creating system user ftp"
    as_root useradd --system --home-dir /srv/ftp --shell /usr/sbin/nologin ftp
fi
ftp_home=$(getent passwd ftp | cut -d: -f6)
[[ -d "$ftp_home" ]] || as_root mkdir -p "$ftp_home"

# The local test account: pam_shells wants its shell listed in /etc/shells, and
# pam_listfile refuses every name in /etc/ftpusers.
if ! grep -qx "$TEST_SHELL" /etc/shells; then
    log "adding $TEST_SHELL to /etc/shells"
    echo "$TEST_SHELL" | as_root tee -a /etc/shells >/dev/null
fi
if ! getent passwd "$TEST_USER" >/dev/null; then
    log "creating throwaway user $TEST_USER for the vsftpd tests"
    as_root useradd --system --no-create-home --home-dir "$TEST_HOME" --shell "$TEST_SHELL" "$TEST_USER"
    echo "$TEST_USER:$TEST_PASSWORD" | as_root chpasswd
fi
if [[ "$(getent passwd "$TEST_USER" | cut -d: -f6,7)" != "$TEST_HOME:$TEST_SHELL" ]]; then
    log "setting home $TEST_HOME and shell $TEST_SHELL of $TEST_USER"
    as_root usermod --home "$TEST_HOME" --shell "$TEST_SHELL" "$TEST_USER"
fi
if [[ ! -d "$TEST_HOME" ]]; then
    as_root mkdir -p "$TEST_HOME"
    as_root chmod 755 "$TEST_HOME"
fi
if [[ -f /etc/ftpusers ]] && grep -qx "$TEST_USER" /etc/ftpusers; then
    log "removing $TEST_USER from /etc/ftpusers"
    as_root sed -i "/^${TEST_USER}\$/d" /etc/ftpusers
fi

log "done"
