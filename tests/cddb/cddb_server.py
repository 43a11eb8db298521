#!/usr/bin/env python3
"""A loopback CDDB server for the tests, reached as an HTTP proxy.

Usage: cddb_server.py DIR

It binds 127.0.0.1 on a free port and writes the port to DIR/port. The tests put their answers
into DIR, named by the disc id the client should send:

  <id>.query              the body of the answer to "cddb query" (default: 202, no match)
  <category>.<id>.read    the body of the answer to "cddb read" (default: 401, no entry)
  <id>.http               an HTTP status code to answer every request of that disc with
  <id>.hang               never answer requests of that disc
  <id>.email              the "user host" the hello must carry, else 409

Every request is checked: the path must be the CGI's, proto 6, the hello four words, and the
disc id of a query must be the one its offsets give (else 500). The last hello of each disc is
written to DIR/<id>.hello.
"""
import os
import signal
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import parse_qs, urlsplit

CGI_PATH = "/~cddb/cddb.cgi"
stopping = threading.Event()


def disc_id(offsets, seconds):
    total = sum(sum(int(d) for d in str(offset // 75)) for offset in offsets)
    return "%08x" % (((total % 255) << 24) | ((seconds - offsets[0] // 75) << 8) | len(offsets))


class Handler(BaseHTTPRequestHandler):
    server_version = "LoopbackCDDB/1.0"

    def log_message(self, fmt, *args):
        sys.stderr.write("cddb-server: " + (fmt % args) + "\n")

    def answer(self, text, status=200):
        body = text.encode("utf-8") if isinstance(text, str) else text
        self.send_response(status)
        self.send_header("Content-Type", "text/plain; charset=UTF-8")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def file(self, name):
        path = os.path.join(self.server.folder, os.path.basename(name))
        return path if os.path.exists(path) else None

    def do_GET(self):
        url = urlsplit(self.path)
        if url.path != CGI_PATH:
            return self.answer("404 not the CDDB CGI\n", 404)
        query = parse_qs(url.query)
        words = query.get("cmd", [""])[0].split()
        hello = query.get("hello", [""])[0].split()
        if query.get("proto", [""])[0] != "6" or len(hello) != 4:
            return self.answer("500 Command syntax error: hello and proto 6 expected.\n")
        if words[:2] == ["cddb", "query"] and len(words) >= 5:
            return self.query(words[2:], hello)
        if words[:2] == ["cddb", "read"] and len(words) == 4:
            return self.read(words[2], words[3].lower(), hello)
        return self.answer("500 Unrecognized command.\n")

    def checks_pass(self, ident, hello):
        with open(os.path.join(self.server.folder, ident + ".hello"), "w") as out:
            out.write(" ".join(hello) + "\n")
        hang = self.file(ident + ".hang")
        if hang:
            while not stopping.wait(0.1):
                pass
            return False
        http = self.file(ident + ".http")
        if http:
            self.answer("HTTP error\n", int(open(http).read().strip()))
            return False
        email = self.file(ident + ".email")
        if email and " ".join(hello[:2]) != open(email).read().strip():
            self.answer("409 No handshake: a valid e-mail address is required.\n")
            return False
        return True

    def query(self, args, hello):
        try:
            ident, count = args[0].lower(), int(args[1])
            offsets = [int(a) for a in args[2:2 + count]]
            seconds = int(args[2 + count])
        except (ValueError, IndexError):
            return self.answer("500 Command syntax error.\n")
        if len(offsets) != count or len(args) != count + 3 or disc_id(offsets, seconds) != ident:
            return self.answer("500 Disc ID %s does not match the offsets.\n" % ident)
        if not self.checks_pass(ident, hello):
            return
        found = self.file(ident + ".query")
        if not found:
            return self.answer("202 No match for disc ID %s.\n" % ident)
        self.answer(open(found, "rb").read())

    def read(self, category, ident, hello):
        if not self.checks_pass(ident, hello):
            return
        found = self.file("%s.%s.read" % (category, ident))
        if not found:
            return self.answer("401 %s %s No such CD entry in database.\n" % (category, ident))
        self.answer(open(found, "rb").read())


def main():
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    server.folder = folder
    port_file = os.path.join(folder, "port")
    with open(port_file + ".tmp", "w") as out:
        out.write("%d\n" % server.server_address[1])
    os.replace(port_file + ".tmp", port_file)
    signal.signal(signal.SIGTERM, lambda *_: stopping.set())
    signal.signal(signal.SIGINT, lambda *_: stopping.set())
    threading.Thread(target=server.serve_forever, daemon=True).start()
    while not stopping.wait(1):
        pass
    server.shutdown()
    server.server_close()


if __name__ == "__main__":
    main()
