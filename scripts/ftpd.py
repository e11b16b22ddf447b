#!/usr/bin/python3
"""Tessaly Client's demo and test FTP server (pyftpdlib), listening on 127.0.0.1 only.

usage: /usr/bin/python3 scripts/ftpd.py --root DIR [--port N] [--passive LO-HI] [--dos] [--demo-tree]

Serves DIR read-write to anonymous and to the user alice (password secret). --port 0 picks a free
port. Once listening it prints one line "READY <port>" on stdout; its log goes to stderr.
--dos answers LIST in the MS-DOS/IIS form and SYST with "215 Windows_NT".
--demo-tree first fills DIR with a small demo tree when DIR is empty or missing.
"""

import argparse
import hashlib
import os
import signal
import sys
import time

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.filesystems import AbstractedFS
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer

USER, PASSWORD = "alice", "secret"
PERMISSIONS = "elradfmwMT"
BIG_FILE_SIZE = 300 * 1024


def big_file_bytes(size):
    """Deterministic, incompressible content: a SHA-256 counter stream."""
    out = bytearray()
    counter = 0
    while len(out) < size:
        out += hashlib.sha256(counter.to_bytes(8, "big")).digest()
        counter += 1
    return bytes(out[:size])


def write_demo_tree(root):
    os.makedirs(root, exist_ok=True)
    if os.listdir(root):
        return
    files = {
        "pub/hello.txt": b"hello world\n",
        "pub/docs/readme.txt": b"Tessaly demo server.\nEverything here can be downloaded; upload into incoming/.\n",
        "pub/docs/notes.txt": b"line one\nline two\nline three\n",
        "pub/file with space.txt": b"a name with a space\n",
        "pub/big.bin": big_file_bytes(BIG_FILE_SIZE),
    }
    for name, data in files.items():
        path = os.path.join(root, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
    os.makedirs(os.path.join(root, "incoming"), exist_ok=True)


class DosFS(AbstractedFS):
    """LIST output in the MS-DOS/IIS style: "12-07-26  10:52PM       <DIR>          incoming"."""

    def format_list(self, basedir, listing, ignore_err=True):
        for name in listing:
            path = os.path.join(basedir, name)
            try:
                st = self.lstat(path)
            except OSError:
                if ignore_err:
                    continue
                raise
            stamp = time.strftime("%m-%d-%y  %I:%M%p", time.localtime(st.st_mtime))
            column = "      <DIR>         " if os.path.isdir(path) else "%20d" % st.st_size
            line = "%s %s %s\r\n" % (stamp, column, name)
            yield line.encode("utf8", self.cmd_channel.unicode_errors)


def passive_range(text):
    try:
        lo, hi = (int(part) for part in text.split("-", 1))
    except ValueError:
        raise argparse.ArgumentTypeError("expected LO-HI, e.g. 30000-30009")
    if not 0 < lo <= hi < 65536:
        raise argparse.ArgumentTypeError("bad port range %s" % text)
    return range(lo, hi + 1)


def main():
    parser = argparse.ArgumentParser(description="Tessaly demo/test FTP server on 127.0.0.1")
    parser.add_argument("--root", required=True, help="directory to serve")
    parser.add_argument("--port", type=int, default=2120, help="control port, 0 picks a free one")
    parser.add_argument("--passive", type=passive_range, help="passive data port range LO-HI")
    parser.add_argument("--dos", action="store_true", help="MS-DOS style LIST and SYST")
    parser.add_argument("--demo-tree", action="store_true", help="fill an empty root with demo files")
    args = parser.parse_args()

    root = os.path.abspath(args.root)
    if args.demo_tree:
        write_demo_tree(root)
    if not os.path.isdir(root):
        parser.error("root %s is not a directory" % root)

    authorizer = DummyAuthorizer()
    authorizer.add_anonymous(root, perm=PERMISSIONS)
    authorizer.add_user(USER, PASSWORD, root, perm=PERMISSIONS)

    class Handler(FTPHandler):
        permit_foreign_addresses = False
        passive_ports = args.passive
        if args.dos:
            abstracted_fs = DosFS

            def ftp_SYST(self, line):
                self.respond("215 Windows_NT")

    Handler.authorizer = authorizer
    server = FTPServer(("127.0.0.1", args.port), Handler)

    # SIGTERM ends the server the same way Ctrl-C does: sessions closed, exit status 0.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    print("READY %d" % server.address[1], flush=True)
    server.serve_forever(handle_exit=True)


if __name__ == "__main__":
    main()
