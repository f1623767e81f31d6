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

The current public API answers "GET /api/v3/files/HASH" from the same table
in its file-object format: found (as "last_analysis_stats", "malicious" the
positives and "undetected" the rest, beside engines that could not judge it;
"stats" replaces them all), notfound (404 with the service's NotFoundError),
proxy404 (a 404 with a web server's own page, not the service's),
malformed, error, slow, large (a valid object past 300 KB) and huge (a
valid object past 5 MB). "POST /api/v3/files" takes an upload, recorded as
the file-scan endpoint's are (with the "x-apikey" header as "apikey"), and
answers with the queued analysis object. The table's
member "v3" sets the limits: {"key": K} answers 401 to any other "x-apikey",
{"per_minute": N, "window": SECONDS} answers 429 to a request beyond N in
the last window (only requests answered otherwise count; default 4 in 60).
Such a request is recorded with "answer=429".

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
from datetime import datetime, timedelta, timezone

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import loopback_server  # noqa: E402  (its serving loop)

PARTNER_PATH = "/partners/sysinternals/file-reports"
SCAN_PATH = "/vtapi/v2/file/scan"
V3_PATH = "/api/v3/files/"
V3_UPLOAD_PATH = "/api/v3/files"


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
        if self.server.name == "virustotal" and self.path.startswith(V3_PATH):
            self.file_object(self.path[len(V3_PATH):])
            return
        self.record([], b"")
        self.answer(200, b"OK", "text/plain")

    def over_limit(self, config):
        """Counts the request in the sliding window; True when it is one too many."""
        per_minute, window = int(config.get("per_minute", 4)), float(config.get("window", 60))
        now = time.monotonic()
        with self.server.lock:
            stamp = self.answers_stamp()
            if stamp != self.server.window_stamp:  # a new table starts a new count
                self.server.window_stamp, self.server.window[:] = stamp, []
            self.server.window[:] = [t for t in self.server.window if t > now - window]
            if len(self.server.window) >= per_minute:
                return True
            self.server.window.append(now)
            return False

    def answers_stamp(self):
        try:
            return os.stat(os.path.join(self.server.state, "answers.json")).st_mtime_ns
        except OSError:
            return 0

    def file_object(self, hash_text):
        table = self.answers()
        config = table.get("V3", {})
        key = self.headers.get("x-apikey") or ""
        fields = [("apikey", key)]
        if "key" in config and key != config["key"]:
            self.record(fields + [("answer", "401")], b"")
            self.answer(401, b'{"error": {"code": "WrongCredentialsError", "message": "Wrong API key"}}')
            return
        if self.over_limit(config):
            self.record(fields + [("answer", "429")], b"")
            self.answer(429, b'{"error": {"code": "QuotaExceededError", "message": "Quota exceeded"}}')
            return
        self.record(fields, b"")
        entry = table.get(hash_text.upper(), {})
        mode = entry.get("mode", "notfound")
        if mode == "slow":
            time.sleep(entry.get("delay", 5))
        if mode == "error":
            self.answer(500, b"Internal error", "text/plain")
            return
        if mode == "proxy404":
            self.answer(404, b"<html><body><h1>404 Not Found</h1></body></html>", "text/html")
            return
        if mode not in ("found", "large", "huge", "slow", "malformed"):
            self.answer(404, json.dumps({"error": {"code": "NotFoundError",
                                                   "message": "File \"%s\" not found" % hash_text}}).encode())
            return
        positives, total = entry.get("positives", 1), entry.get("total", 60)
        stats = entry.get("stats", {"malicious": positives, "suspicious": 0, "undetected": total - positives,
                                    "harmless": 0, "timeout": 2, "confirmed-timeout": 0, "failure": 1,
                                    "type-unsupported": 12})
        scanned = datetime.now(timezone.utc) - timedelta(days=entry.get("age", 1))
        sha256 = hashlib.sha256(hash_text.encode()).hexdigest()
        attributes = {"md5": hash_text.lower(), "sha256": sha256, "last_analysis_stats": stats,
                      "last_analysis_date": int(scanned.timestamp()), "meaningful_name": "sample.exe"}
        if mode in ("large", "huge"):
            count, pad = (600, 500) if mode == "large" else (5200, 1000)
            attributes["last_analysis_results"] = {"engine%04d" % e: {"category": "undetected", "result": None,
                                                                       "engine_update": "x" * pad}
                                                   for e in range(count)}
        text = json.dumps({"data": {"id": sha256, "type": "file", "links": {"self": V3_PATH + sha256},
                                    "attributes": attributes}}).encode("utf-8")
        if mode == "malformed":
            text = text[:len(text) // 2] + b"}, {]"
        self.answer(200, text)

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
        elif self.server.name == "virustotal" and self.path == V3_UPLOAD_PATH:
            self.file_scan(body, v3=True)
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

    def file_scan(self, body, v3=False):
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
        if v3:
            fields.append(("apikey", self.headers.get("x-apikey") or ""))
        self.record(fields, b"")
        if v3:
            analysis = {"data": {"type": "analysis", "id": md5.lower() + "-analysis",
                                 "links": {"self": "/api/v3/analyses/" + md5.lower() + "-analysis"}}}
            self.answer(200, json.dumps(analysis).encode("utf-8"))
            return
        answer = {"response_code": 1, "verbose_msg": "Scan request successfully queued, come back later for the report",
                  "resource": md5, "md5": md5, "scan_id": md5.lower() + "-1",
                  "permalink": "https://localhost/file/%s/analysis/" % md5.lower()}
        self.answer(200, json.dumps(answer).encode("utf-8"))


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True


def make_server(name, args, lock, counter):
    server = Server(("127.0.0.1", 0), Handler)
    server.name, server.state, server.lock, server.counter = name, args.state, lock, counter
    server.window, server.window_stamp = [], None
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
