#!/usr/bin/env bash
# Installs everything Tessaly Client needs to build and test on Debian 12 (bookworm), and the
# throwaway accounts the local FTP test servers use. Safe to run again: it installs only what is
# missing, so a second run is quick and needs no network. Runs as root, or through sudo otherwise.
set -euo pipefail

# One line per group; a new group of packages is one more line.
PACKAGES=(
    cmake ninja-build g++ clang libclang-rt-14-dev clang-format # build tools, fuzzing runtime
    qt6-base-dev                                                # Qt 6 Core/Network/Widgets
    libgtest-dev libgmock-dev libbenchmark-dev                  # tests and benchmarks
    python3-pyftpdlib vsftpd                                    # FTP servers the tests run on 127.0.0.1
    curl                                                        # poking the test servers by hand
)

# vsftpd's local login for the tests (see tests/support/FtpServerProcess.cpp).
TEST_USER=tessftp
TEST_PASSWORD=secret
TEST_SHELL=/bin/sh
TEST_HOME=/var/lib/tessftp # vsftpd enters the home before local_root, so it must exist

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

missing=()
for pkg in "${PACKAGES[@]}"; do
    is_installed "$pkg" || missing+=("$pkg")
done

if ((${#missing[@]} > 0)); then
    log "installing: ${missing[*]}"
    apt=(env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 -y -q)
    as_root "${apt[@]}" update </dev/null
    as_root "${apt[@]}" install "${missing[@]}" </dev/null
else
    log "all packages present"
fi

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
