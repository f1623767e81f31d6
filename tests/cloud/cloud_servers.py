#!/usr/bin/env python3
"""The tests' stand-ins for the two outside services, over HTTPS on 127.0.0.1.

virustotal: the partner file-report endpoint and the file-scan endpoint,
answering in the service's formats. What it answers for a hash comes from
STATE/answers.json, which the tests write: {"HASH": {"mode": ...}} with mode

  found      "positives" and "total" as given, a scan date "age" days ago
  queued     engines 0 and a permalink, no scan date
  notfound   (also any hash not listed) "found": false
  malformed  the whole answer is broken JSON
  truncated  the whole length announced, half of it sent, connection closed
  slow       the answer waits "delay" seconds
  error      status 500 with a text body
  foreign    also answers for a hash nobody asked about
  large      every report padded so that the answer passes 64 KiB

maker: the hash-list, false-positive and found-programs endpoints; answers
200 with a short text, false positives after half a second.

Every request is recorded in STATE/received/NNNN.txt as "key=value" lines
("server", "method", "path", "content-type", what Python's json or form
reading made of the body, as "json=ok" and "item.N.NAME=value" or
"form.NAME=value") and last "body=" with the raw body.
"""
import argparse
import email.parser
import email.policy
import hashlib
import http.server
import json
import os
import ssl
import sys
import threading
import time
from datetime import datetime, timedelta

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import loopback_server  # noqa: E402  (its serving loop)

PARTNER_PATH = "/partners/sysinternals/file-reports"
SCAN_PATH = "/vtapi/v2/file/scan"


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, fmt, *args):
        pass

    def record(self, fields, body):
        with self.server.lock:
            self.server.counter[0] += 1
            number = self.server.counter[0]
        lines = ["server=" + self.server.name, "method=" + self.command, "path=" + self.path,
                 "content-type=" + (self.headers.get("Content-Type") or "")]
        lines += ["%s=%s" % (k, v) for k, v in fields]
        text = "\n".join(lines).encode("utf-8") + b"\nbody=" + body
        folder = os.path.join(self.server.state, "received")
        tmp = os.path.join(folder, "%04d.tmp" % number)
        with open(tmp, "wb") as f:
            f.write(text)
        os.replace(tmp, os.path.join(folder, "%04d.txt" % number))

    def read_body(self):
        length = int(self.headers.get("Content-Length") or 0)
        return self.rfile.read(length) if length else b""

    def answer(self, status, body, content_type="application/json", cut=False):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        try:
            if cut:
                self.wfile.write(body[:len(body) // 2])
                self.wfile.flush()
                self.close_connection = True
                self.connection.shutdown(2)
            else:
                self.wfile.write(body)
        except (BrokenPipeError, ConnectionResetError, ssl.SSLError, OSError):
            self.close_connection = True

    def answers(self):
        try:
            with open(os.path.join(self.server.state, "answers.json"), encoding="utf-8") as f:
                return {k.upper(): v for k, v in json.load(f).items()}
        except (OSError, ValueError):
            return {}

    def do_GET(self):
        self.record([], b"")
        self.answer(200, b"OK", "text/plain")

    def do_POST(self):
        body = self.read_body()
        if self.server.name == "maker":
            self.record([], body)
            if "addfp" in self.path:
                time.sleep(0.5)  # long enough for a second report to find this one running
            self.answer(200, b"OK", "text/plain")
        elif self.path.startswith(PARTNER_PATH):
            self.file_reports(body)
        elif self.path.startswith(SCAN_PATH):
            self.file_scan(body)
        else:
            self.record([], body)
            self.answer(404, b"not here", "text/plain")

    def file_reports(self, body):
        fields = []
        try:
            items = json.loads(body.decode("utf-8"))
            fields.append(("json", "ok"))
        except (UnicodeDecodeError, ValueError) as error:
            fields.append(("json", "error " + str(error).replace("\n", " ")))
            self.record(fields, body)
            self.answer(400, b'{"error": "bad request"}')
            return
        for n, item in enumerate(items if isinstance(items, list) else []):
            for key, value in (item.items() if isinstance(item, dict) else []):
                fields.append(("item.%d.%s" % (n, key), value))
        self.record(fields, body)

        table = self.answers()
        hashes = [i["hash"] for i in items if isinstance(i, dict) and "hash" in i]
        modes = {table.get(h.upper(), {}).get("mode", "notfound") for h in hashes}
        if "slow" in modes:
            delay = max(table[h.upper()].get("delay", 5) for h in hashes if table.get(h.upper(), {}).get("mode") == "slow")
            time.sleep(delay)
        if "error" in modes:
            self.answer(500, b"Internal error", "text/plain")
            return
        reports = []
        for h in hashes:
            entry = table.get(h.upper(), {})
            mode = entry.get("mode", "notfound")
            if mode in ("found", "large", "slow", "truncated", "malformed", "foreign"):
                positives, total = entry.get("positives", 1), entry.get("total", 60)
                scanned = datetime.now() - timedelta(days=entry.get("age", 1))
                report = {"hash": h, "found": True, "positives": positives, "total": total,
                          "detection_ratio": "%d/%d" % (positives, total),
                          "scan_date": scanned.strftime("%Y-%m-%d %H:%M:%S"),
                          "permalink": "https://localhost/file/%s/analysis/" % h.lower()}
                if mode == "large":
                    report["engines"] = {"engine%03d" % e: "clean " + "x" * 40 for e in range(60)}
            elif mode == "queued":
                report = {"hash": h, "found": True, "positives": 0, "total": 0,
                          "permalink": "https://localhost/file/%s/analysis/" % h.lower()}
            else:
                report = {"hash": h, "found": False}
            reports.append(report)
            if mode == "foreign":
                reports.append({"hash": "0123456789ABCDEF0123456789ABCDEF", "found": True, "positives": 50,
                                "total": 50, "scan_date": "2026-01-01 00:00:00",
                                "permalink": "https://localhost/file/foreign/"})
        text = json.dumps({"data": reports}).encode("utf-8")
        if "malformed" in modes:
            text = text[:len(text) - 7] + b"}, {]"
        self.answer(200, text, cut="truncated" in modes)

    def file_scan(self, body):
        message = email.parser.BytesParser(policy=email.policy.HTTP).parsebytes(
            b"Content-Type: " + (self.headers.get("Content-Type") or "").encode() + b"\r\n\r\n" + body)
        fields = [("form.parts", str(len(list(message.iter_parts()))))]
        md5 = ""
        for part in message.iter_parts():
            name = part.get_param("name", header="content-disposition")
            data = part.get_payload(decode=True) or b""
            if name == "file":
                md5 = hashlib.md5(data).hexdigest().upper()
                fields += [("form.file.filename", part.get_filename() or ""), ("form.file.size", str(len(data))),
                           ("form.file.md5", md5)]
            elif name:
                fields.append(("form." + name, data.decode("cp437")))
        self.record(fields, b"")
        answer = {"response_code": 1, "verbose_msg": "Scan request successfully queued, come back later for the report",
                  "resource": md5, "md5": md5, "scan_id": md5.lower() + "-1",
                  "permalink": "https://localhost/file/%s/analysis/" % md5.lower()}
        self.answer(200, json.dumps(answer).encode("utf-8"))


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True


def make_server(name, args, lock, counter):
    server = Server(("127.0.0.1", 0), Handler)
    server.name, server.state, server.lock, server.counter = name, args.state, lock, counter
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(args.cert, args.key)
    server.socket = context.wrap_socket(server.socket, server_side=True, do_handshake_on_connect=False)
    return server


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--state", required=True)
    parser.add_argument("--cert", required=True)
    parser.add_argument("--key", required=True)
    args = parser.parse_args()
    os.makedirs(os.path.join(args.state, "received"), exist_ok=True)
    lock, counter = threading.Lock(), [0]
    loopback_server.serve({name: make_server(name, args, lock, counter) for name in ("virustotal", "maker")},
                          args.state)


if __name__ == "__main__":
    sys.exit(main())
