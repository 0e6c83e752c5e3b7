#!/usr/bin/env python3
"""A minimal plain tus 1.0 server (core and creation, what an upload uses) without any platform
extras: no signing, no checksum header. The upload library must work against it unchanged.

usage: plain_tus_server.py <data dir> <port file>
Listens on a free loopback port (plain HTTP), writes the port into <port file>, answers
creation with a relative Location and stores each upload as <data dir>/<id>."""
import http.server
import os
import sys
import threading
import uuid

DATA = sys.argv[1]
LENGTHS = {}
LOCK = threading.Lock()


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def reply(self, status, headers=None):
        self.send_response(status)
        self.send_header("Tus-Resumable", "1.0.0")
        self.send_header("Content-Length", "0")
        for key, value in (headers or {}).items():
            self.send_header(key, value)
        self.end_headers()

    def upload_id(self):
        prefix = "/upload/files/"
        if not self.path.startswith(prefix):
            return None
        uid = self.path[len(prefix):]
        with LOCK:
            return uid if uid in LENGTHS else None

    def do_POST(self):
        length = int(self.headers.get("Upload-Length", "-1"))
        if length < 0:
            return self.reply(400)
        uid = uuid.uuid4().hex
        open(os.path.join(DATA, uid), "wb").close()
        with LOCK:
            LENGTHS[uid] = length
        self.reply(201, {"Location": uid, "Upload-Offset": "0"})

    def do_HEAD(self):
        uid = self.upload_id()
        if uid is None:
            return self.reply(404)
        size = os.path.getsize(os.path.join(DATA, uid))
        self.reply(200, {"Upload-Offset": str(size), "Upload-Length": str(LENGTHS[uid]),
                         "Cache-Control": "no-store"})

    def do_PATCH(self):
        uid = self.upload_id()
        if uid is None:
            return self.reply(404)
        path = os.path.join(DATA, uid)
        offset = int(self.headers.get("Upload-Offset", "-1"))
        if offset != os.path.getsize(path):
            return self.reply(409)
        left = int(self.headers.get("Content-Length", "0"))
        with open(path, "ab") as f:
            while left > 0:
                chunk = self.rfile.read(min(left, 1 << 20))
                if not chunk:
                    break
                f.write(chunk)
                left -= len(chunk)
        self.reply(204, {"Upload-Offset": str(os.path.getsize(path))})


server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
with open(sys.argv[2] + ".tmp", "w") as f:
    f.write(str(server.server_address[1]))
os.rename(sys.argv[2] + ".tmp", sys.argv[2])
server.serve_forever()
