"""Servers for the internet tests, bound to 127.0.0.1 on a free port.

    net_servers.py http ROOT [--tls CERT KEY]   files of ROOT and the bad cases below
    net_servers.py ftp ROOT [--log FILE]        pyftpdlib: user/secret, anonymous, ROOT/readonly
    net_servers.py silent                       accepts connections and never answers
    net_servers.py raw FILE                     answers every request with FILE's bytes

Prints "READY <port>" once it listens. Ends on SIGTERM, and by itself after --lifetime
seconds (default 120) so that a test that died cannot leave it behind.

HTTP paths: /files/NAME (with a length), /nolength/NAME (no length, ends by closing),
/slow/NAME?chunk=N&delay=MS, /early/NAME (announces the whole length, sends half and
closes), /echo (the request head as the body), /redirect/NAME (302 to /files/NAME),
/redirect-to?url=U (302 to U), /stall (a head announcing 1000 bytes, then nothing),
/nohead (reads the request, never answers).
"""
import argparse
import logging
import os
import signal
import socket
import socketserver
import ssl
import sys
import threading
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

STOP = threading.Event()
HOLD_SECONDS = 30


def ready(port):
    sys.stdout.write("READY %d\n" % port)
    sys.stdout.flush()


class Handler(BaseHTTPRequestHandler):
    root = "."

    def log_message(self, *args):
        pass

    def read_file(self, name):
        path = os.path.join(self.root, os.path.basename(name))
        with open(path, "rb") as f:
            return f.read()

    def head(self, code, length=None, extra=()):
        self.send_response(code)
        self.send_header("Content-Type", "application/octet-stream")
        if length is not None:
            self.send_header("Content-Length", str(length))
        for k, v in extra:
            self.send_header(k, v)
        self.end_headers()

    def hold(self):
        STOP.wait(HOLD_SECONDS)

    def do_GET(self):
        url = urllib.parse.urlsplit(self.path)
        query = dict(urllib.parse.parse_qsl(url.query))
        kind, _, name = url.path.lstrip("/").partition("/")
        try:
            getattr(self, "get_" + kind.replace("-", "_"), self.get_missing)(name, query)
        except FileNotFoundError:
            self.get_missing(name, query)
        except (BrokenPipeError, ConnectionResetError):
            pass

    def get_missing(self, name, query):
        self.head(404, 0)

    def get_files(self, name, query):
        body = self.read_file(name)
        self.head(200, len(body))
        self.wfile.write(body)

    def get_nolength(self, name, query):
        body = self.read_file(name)
        self.head(200)
        self.wfile.write(body)
        self.close_connection = True

    def get_slow(self, name, query):
        body = self.read_file(name)
        chunk, delay = int(query.get("chunk", "512")), int(query.get("delay", "20")) / 1000.0
        self.head(200, len(body))
        for i in range(0, len(body), chunk):
            self.wfile.write(body[i:i + chunk])
            self.wfile.flush()
            time.sleep(delay)

    def get_early(self, name, query):
        body = self.read_file(name)
        self.head(200, len(body))
        self.wfile.write(body[: len(body) // 2])
        self.wfile.flush()
        self.close_connection = True

    def get_echo(self, name, query):
        text = (self.requestline + "\r\n" + str(self.headers)).encode("latin-1")
        self.head(200, len(text))
        self.wfile.write(text)

    def get_redirect(self, name, query):
        self.head(302, 0, [("Location", "/files/" + name)])

    def get_redirect_to(self, name, query):
        self.head(302, 0, [("Location", query["url"])])

    def get_stall(self, name, query):
        self.head(200, 1000)
        self.wfile.flush()
        self.hold()

    def get_nohead(self, name, query):
        self.hold()


class QuietServer(ThreadingHTTPServer):
    daemon_threads = True

    def handle_error(self, request, client_address):
        pass  # clients that refuse a certificate or go away are part of the tests


def serve_http(args):
    Handler.root = args.root
    server = QuietServer(("127.0.0.1", args.port), Handler)
    if args.tls:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(args.tls[0], args.tls[1])
        server.socket = context.wrap_socket(server.socket, server_side=True,
                                            do_handshake_on_connect=False)
    ready(server.server_address[1])
    threading.Thread(target=lambda: (STOP.wait(), server.shutdown()), daemon=True).start()
    server.serve_forever(poll_interval=0.1)


def serve_ftp(args):
    from pyftpdlib.authorizers import DummyAuthorizer
    from pyftpdlib.handlers import FTPHandler
    from pyftpdlib.servers import FTPServer


    os.makedirs(os.path.join(args.root, "readonly"), exist_ok=True)
    auth = DummyAuthorizer()
    auth.add_user("user", "secret", args.root, perm="elradfmwMT")
    auth.override_perm("user", os.path.join(args.root, "readonly"), perm="elr", recursive=True)
    auth.add_anonymous(args.root)  # read-only
    log = open(args.log, "a", buffering=1) if args.log else None

    class Ftp(FTPHandler):
        def pre_process_command(self, line, cmd, arg):
            if log:
                log.write(cmd + "\n")
            return super().pre_process_command(line, cmd, arg)

    Ftp.authorizer = auth
    Ftp.auth_failed_timeout = 0.05  # a wrong password answers at once
    quiet = logging.getLogger("pyftpdlib")  # a handler of its own keeps pyftpdlib's away
    quiet.addHandler(logging.NullHandler())
    quiet.setLevel(logging.WARNING)
    server = FTPServer(("127.0.0.1", 0), Ftp)
    ready(server.address[1])
    while not STOP.is_set():
        server.ioloop.loop(timeout=0.1, blocking=False)
    server.close_all()


def serve_silent(args):
    listener = socket.socket()
    listener.bind(("127.0.0.1", 0))
    listener.listen(16)
    listener.settimeout(0.1)
    held = []
    ready(listener.getsockname()[1])
    while not STOP.is_set():
        try:
            held.append(listener.accept()[0])
        except socket.timeout:
            pass


class Raw(socketserver.BaseRequestHandler):
    reply = b""

    def handle(self):
        self.request.settimeout(2)
        data = b""
        try:
            while b"\r\n\r\n" not in data:
                more = self.request.recv(4096)
                if not more:
                    break
                data += more
            self.request.sendall(self.reply)
        except OSError:
            pass


def serve_raw(args):
    with open(args.root, "rb") as f:
        Raw.reply = f.read()
    server = socketserver.ThreadingTCPServer(("127.0.0.1", 0), Raw)
    server.daemon_threads = True
    ready(server.server_address[1])
    threading.Thread(target=lambda: (STOP.wait(), server.shutdown()), daemon=True).start()
    server.serve_forever(poll_interval=0.1)


def main():
    p = argparse.ArgumentParser()
    p.add_argument("kind", choices=["http", "ftp", "silent", "raw"])
    p.add_argument("root", nargs="?", default=".")
    p.add_argument("--tls", nargs=2, metavar=("CERT", "KEY"))
    p.add_argument("--log")
    p.add_argument("--port", type=int, default=0)
    p.add_argument("--lifetime", type=float, default=120)
    args = p.parse_args()
    signal.signal(signal.SIGTERM, lambda *a: STOP.set())
    threading.Timer(args.lifetime, STOP.set).start()
    {"http": serve_http, "ftp": serve_ftp, "silent": serve_silent, "raw": serve_raw}[args.kind](args)
    os._exit(0)


if __name__ == "__main__":
    main()
