#!/usr/bin/env python3
"""A static file server on 127.0.0.1 for the tests, over HTTP and HTTPS.

It serves the folder given with --root. Leading path segments starting with
"-" select how the body is sent, so that a test reaches the same file in
several ways by changing only the base address it hands to the program:

  /-nolength/...   no Content-Length; the body ends when the connection closes
  /-slow/...       the body in 16 KiB pieces, 50 ms apart
  /-cut/...        the whole length announced, the first half sent, then the
                   connection closed

Every request is appended to requests.log in the --state folder, and the
chosen ports are written to its "ports" file once both sockets listen.
"""
import argparse
import http.server
import os
import ssl
import sys
import threading
import time


class Handler(http.server.SimpleHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, fmt, *args):
        pass

    def record(self):
        line = "%s %s %s\n" % (self.server.scheme, self.command, self.path)
        with self.server.log_lock, open(self.server.log_path, "a") as log:
            log.write(line)

    def do_GET(self):
        self.record()
        path = self.path.split("?", 1)[0]
        modes = set()
        while path.startswith("/-"):
            mode, _, rest = path[2:].partition("/")
            modes.add(mode)
            path = "/" + rest
        local = os.path.join(self.server.root, *[p for p in path.split("/") if p and p != ".."])
        if not os.path.isfile(local):
            self.send_error(404)
            return
        with open(local, "rb") as f:
            body = f.read()
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        if "nolength" in modes:
            self.send_header("Connection", "close")
            self.close_connection = True
        else:
            self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        try:
            if "cut" in modes:
                self.wfile.write(body[:len(body) // 2])
                self.wfile.flush()
                self.close_connection = True
            elif "slow" in modes:
                for i in range(0, len(body), 16384):
                    self.wfile.write(body[i:i + 16384])
                    self.wfile.flush()
                    time.sleep(0.05)
            else:
                self.wfile.write(body)
        except (BrokenPipeError, ConnectionResetError, ssl.SSLError):
            self.close_connection = True


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True


def make_server(scheme, args, log_lock):
    server = Server(("127.0.0.1", 0), Handler)
    server.scheme = scheme
    server.root = args.root
    server.log_path = os.path.join(args.state, "requests.log")
    server.log_lock = log_lock
    if scheme == "https":
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(args.cert, args.key)
        # The handshake then runs in the request's own thread, not in the
        # accepting one.
        server.socket = context.wrap_socket(server.socket, server_side=True, do_handshake_on_connect=False)
    return server


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--state", required=True)
    parser.add_argument("--cert")
    parser.add_argument("--key")
    args = parser.parse_args()
    lock = threading.Lock()
    servers = [make_server("http", args, lock)]
    if args.cert and args.key:
        servers.append(make_server("https", args, lock))
    serve({s.scheme: s for s in servers}, args.state)


def serve(servers, state):
    """Writes STATE/ports ("label=port" lines, atomically: a reader never sees
    half of it) once every server listens, then serves them all until killed."""
    ports = "".join("%s=%d\n" % (label, s.server_address[1]) for label, s in servers.items())
    tmp = os.path.join(state, "ports.tmp")
    with open(tmp, "w") as f:
        f.write(ports)
    os.replace(tmp, os.path.join(state, "ports"))
    threads = [threading.Thread(target=s.serve_forever, daemon=True) for s in servers.values()]
    for t in threads:
        t.start()
    for t in threads:
        t.join()


if __name__ == "__main__":
    sys.exit(main())
