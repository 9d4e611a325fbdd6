#!/usr/bin/env python3
"""The maker's update, diagnostics and user services, served locally for tests.

See README.md beside this file for the requests, the faults and the control
endpoint.
"""

import argparse
import hashlib
import json
import os
import shutil
import threading
import zlib
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import unquote, urlsplit

FAULTS = ("404", "500", "notjson", "deepnest", "hang", "huge")
HANG_LIMIT_SECONDS = 600
# A JSON text that never ends its arrays, deeper than any reader should follow.
DEEP_NESTING = 100000
# A reply far larger than any of the services sends: a small, valid object of
# the service followed by blanks up to this size.
HUGE_REPLY_BYTES = 200 * 1024 * 1024
HUGE_REPLY_HEAD = (b'{"result": 0, "message": "ok", "keys": [], '
                   b'"latest-version": "9.9.9", "minimum-required": "1.0.0", "files": []}')


class ServiceState:
    """Everything the control endpoint can change, guarded by one lock."""

    def __init__(self, root):
        self.root = root
        self.lock = threading.Lock()
        self.faults = {}  # path -> [fault, remaining count or None]
        self.journal = []
        self.uploads = []
        self.userlogs = []
        self.deflate = True
        self.next_ids = {}

    def reset(self):
        with self.lock:
            self.faults.clear()
            self.journal.clear()
            self.uploads.clear()
            self.userlogs.clear()
            self.deflate = True
            self.next_ids.clear()
        for sub in ("uploads", os.path.join("userservice", "logs")):
            shutil.rmtree(os.path.join(self.root, sub), ignore_errors=True)

    def set_fault(self, path, fault, count):
        with self.lock:
            if fault == "none":
                self.faults.pop(path, None)
            else:
                self.faults[path] = [fault, count]

    def take_fault(self, path):
        with self.lock:
            entry = self.faults.get(path)
            if entry is None:
                return None
            fault, count = entry
            if count is not None:
                if count <= 1:
                    del self.faults[path]
                else:
                    entry[1] = count - 1
            return fault

    def new_id(self, kind):
        """Uploads and user logs are numbered 1, 2, ... each on their own."""
        with self.lock:
            value = self.next_ids.get(kind, 1)
            self.next_ids[kind] = value + 1
            return value

    def record(self, entry):
        with self.lock:
            self.journal.append(entry)


def read_json_file(path):
    try:
        with open(path, "rb") as f:
            return json.loads(f.read().decode("utf-8"))
    except (OSError, ValueError):
        return None


def write_json_file(path, value):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    temp = path + ".tmp"
    with open(temp, "w", encoding="utf-8") as f:
        json.dump(value, f, ensure_ascii=False, indent=1)
    os.replace(temp, path)


def safe_name(name):
    """An application name must stay one folder below apps/."""
    return bool(name) and name not in (".", "..") and "/" not in name and "\\" not in name


def file_digest(path):
    sha1 = hashlib.sha1()
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(65536), b""):
            sha1.update(block)
    return sha1.hexdigest()


def list_released_files(folder):
    entries = []
    for dirpath, _dirnames, filenames in os.walk(folder):
        for name in filenames:
            full = os.path.join(dirpath, name)
            relative = os.path.relpath(full, folder).replace(os.sep, "\\")
            entries.append({"path": relative, "size": os.path.getsize(full),
                            "digest": file_digest(full)})
    entries.sort(key=lambda e: e["path"].encode("utf-8"))
    return entries


def parse_multipart(content_type, body):
    """Returns {name: (filename or None, bytes)} or None when the body is not multipart."""
    kind, _, params = content_type.partition(";")
    if kind.strip().lower() != "multipart/form-data":
        return None
    boundary = None
    for param in params.split(";"):
        key, _, value = param.strip().partition("=")
        if key.lower() == "boundary":
            boundary = value.strip().strip('"')
    if not boundary:
        return None
    delimiter = b"--" + boundary.encode("latin-1")
    parts = {}
    for chunk in body.split(delimiter)[1:]:
        if chunk.startswith(b"--"):
            break
        if chunk.startswith(b"\r\n"):
            chunk = chunk[2:]
        head, separator, content = chunk.partition(b"\r\n\r\n")
        if not separator:
            continue
        if content.endswith(b"\r\n"):
            content = content[:-2]
        name, filename = None, None
        for line in head.decode("latin-1").split("\r\n"):
            header, _, value = line.partition(":")
            if header.strip().lower() != "content-disposition":
                continue
            for item in value.split(";"):
                key, _, val = item.strip().partition("=")
                if key == "name":
                    name = val.strip('"')
                elif key == "filename":
                    filename = val.strip('"')
        if name is not None:
            parts[name] = (filename, content)
    return parts


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "makerservice/1"

    @property
    def state(self):
        return self.server.state

    def log_message(self, format, *args):
        print("%s %s" % (self.address_string(), format % args), flush=True)

    # -- request plumbing ---------------------------------------------------

    def read_body(self):
        length = int(self.headers.get("Content-Length") or 0)
        return self.rfile.read(length) if length > 0 else b""

    def send_body(self, status, body, content_type, may_deflate=False):
        headers = {}
        if may_deflate and self.accepts_deflate():
            body = zlib.compress(body)
            headers["Content-Encoding"] = "deflate"
        self.status_sent = status
        self.record_request()  # before the reply, so the client sees it in the journal
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        for name, value in headers.items():
            self.send_header(name, value)
        self.end_headers()
        self.wfile.write(body)

    def send_json(self, status, value, may_deflate=False):
        body = json.dumps(value, ensure_ascii=False).encode("utf-8")
        self.send_body(status, body, "application/json; charset=utf-8", may_deflate)

    def send_text(self, status, text):
        self.send_body(status, text.encode("utf-8"), "text/plain; charset=utf-8")

    def accepts_deflate(self):
        with self.state.lock:
            offered = self.state.deflate
        accepted = self.headers.get("Accept-Encoding", "")
        return offered and "deflate" in [e.strip().split(";")[0] for e in accepted.split(",")]

    def send_huge(self):
        """Streams HUGE_REPLY_BYTES of JSON, stopping when the client hangs up."""
        self.status_sent = 200
        self.record_request()
        self.close_connection = True
        self.send_response(200)
        self.send_header("Content-Type", "application/json; charset=utf-8")
        self.send_header("Content-Length", str(HUGE_REPLY_BYTES))
        self.end_headers()
        block = b" " * (1024 * 1024)
        try:
            self.wfile.write(HUGE_REPLY_HEAD)
            left = HUGE_REPLY_BYTES - len(HUGE_REPLY_HEAD)
            while left > 0:
                self.wfile.write(block[:left])
                left -= min(left, len(block))
        except OSError:
            pass

    def hang(self):
        """Holds the connection without a reply until the client gives up."""
        self.status_sent = "hang"
        self.record_request()  # now, so a test can see it while the client waits
        self.close_connection = True
        self.connection.settimeout(HANG_LIMIT_SECONDS)
        try:
            while self.connection.recv(4096):
                pass
        except OSError:
            pass

    def apply_fault(self, path):
        fault = self.state.take_fault(path)
        if fault is None:
            return False
        if fault == "404":
            self.send_body(404, b"<html><body><h1>404 Not Found</h1></body></html>",
                           "text/html")
        elif fault == "500":
            self.send_text(500, "Internal Server Error")
        elif fault == "notjson":
            self.send_text(200, "this is not json")
        elif fault == "deepnest":
            self.send_body(200, b"[" * DEEP_NESTING, "application/json; charset=utf-8")
        elif fault == "huge":
            self.send_huge()
        else:
            self.hang()
        return True

    def record_request(self):
        if self.recorded:
            return
        self.recorded = True
        self.state.record({"method": self.command, "path": urlsplit(self.path).path,
                           "headers": {k.lower(): v for k, v in self.headers.items()},
                           "status": self.status_sent})

    def handle_request(self, method):
        self.status_sent = None
        self.recorded = False
        path = urlsplit(self.path).path
        body = self.read_body() if method == "POST" else b""
        if path.startswith("/control/"):
            self.recorded = True  # the journal holds the services' requests only
            self.handle_control(method, path, body)
            return
        try:
            if not self.apply_fault(path):
                self.route(method, path, body)
        finally:
            self.record_request()

    def do_GET(self):
        self.handle_request("GET")

    def do_POST(self):
        self.handle_request("POST")

    # -- the services -------------------------------------------------------

    def route(self, method, path, body):
        if method == "GET" and path.startswith("/version/"):
            self.get_version(unquote(path[len("/version/"):]))
        elif method == "GET" and path.startswith("/latest/"):
            self.get_latest(unquote(path[len("/latest/"):]))
        elif method == "POST" and path == "/upload":
            self.post_upload(body)
        elif method == "GET" and path == "/user/keys":
            self.get_keys()
        elif method == "POST" and path == "/user/log":
            self.post_user_log(body)
        else:
            self.send_text(404, "no such service")

    def app_folder(self, app):
        return os.path.join(self.state.root, "apps", app) if safe_name(app) else None

    def get_version(self, app):
        folder = self.app_folder(app)
        versions = read_json_file(os.path.join(folder, "version.json")) if folder else None
        if not isinstance(versions, dict):
            self.send_text(404, "no such application")
            return
        self.send_json(200, versions, may_deflate=True)

    def get_latest(self, app):
        folder = self.app_folder(app)
        if not folder or not os.path.isdir(folder):
            self.send_text(404, "no such application")
            return
        manifest = {}
        versions = read_json_file(os.path.join(folder, "version.json"))
        if isinstance(versions, dict) and "latest-version" in versions:
            manifest["version"] = versions["latest-version"]
        manifest["files"] = list_released_files(os.path.join(folder, "files"))
        self.send_json(200, manifest, may_deflate=True)

    def post_upload(self, body):
        parts = parse_multipart(self.headers.get("Content-Type", ""), body)
        if parts is None:
            self.send_json(400, {"result": 1, "message": "multipart/form-data expected"})
            return
        if "reqformat" not in parts or "file" not in parts:
            self.send_json(400, {"result": 1, "message": "parts reqformat and file expected"})
            return
        upload_id = self.state.new_id("uploads")
        relative = "uploads/%d.zip" % upload_id
        filename, content = parts["file"]
        stored = os.path.join(self.state.root, "uploads", "%d.zip" % upload_id)
        os.makedirs(os.path.dirname(stored), exist_ok=True)
        with open(stored, "wb") as f:
            f.write(content)
        with self.state.lock:
            self.state.uploads.append({
                "id": upload_id, "file": relative,
                "reqformat": parts["reqformat"][1].decode("utf-8", "replace"),
                "filename": filename, "size": len(content)})
        self.send_json(200, {"result": 0, "message": "ok", "id": upload_id})

    def get_keys(self):
        keys = read_json_file(os.path.join(self.state.root, "userservice", "keys.json"))
        if not isinstance(keys, list):
            keys = []
        self.send_json(200, {"result": 0, "message": "ok", "keys": keys})

    def post_user_log(self, body):
        log_id = self.state.new_id("userlogs")
        relative = "userservice/logs/%d.txt" % log_id
        stored = os.path.join(self.state.root, "userservice", "logs", "%d.txt" % log_id)
        os.makedirs(os.path.dirname(stored), exist_ok=True)
        with open(stored, "wb") as f:
            f.write(body)
        with self.state.lock:
            self.state.userlogs.append({"id": log_id, "file": relative, "size": len(body),
                                        "text": body.decode("utf-8", "replace")})
        self.send_json(200, {"result": 0, "message": "ok", "id": log_id})

    # -- the control endpoint -----------------------------------------------

    def handle_control(self, method, path, body):
        try:
            request = json.loads(body.decode("utf-8")) if body else {}
        except ValueError:
            self.send_json(400, {"error": "the body is not JSON"})
            return
        state = self.state
        if method == "POST" and path == "/control/reset":
            state.reset()
            self.send_json(200, {"ok": True})
        elif method == "POST" and path == "/control/fault":
            fault = str(request.get("fault", ""))
            target = request.get("path")
            count = request.get("count")
            if not isinstance(target, str) or fault not in FAULTS + ("none",) \
                    or not (count is None or (isinstance(count, int) and count > 0)):
                self.send_json(400, {"error": "path, fault in %s or none, optional count > 0"
                                              % ", ".join(FAULTS)})
                return
            state.set_fault(target, fault, count)
            self.send_json(200, {"ok": True})
        elif method == "POST" and path == "/control/version":
            app = request.get("app")
            latest, minimum = request.get("latest-version"), request.get("minimum-required")
            if not isinstance(app, str) or not safe_name(app):
                self.send_json(400, {"error": "app expected"})
                return
            write_json_file(os.path.join(state.root, "apps", app, "version.json"),
                            {"latest-version": latest, "minimum-required": minimum})
            self.send_json(200, {"ok": True})
        elif method == "POST" and path == "/control/keys":
            keys = request.get("keys")
            if not isinstance(keys, list):
                self.send_json(400, {"error": "keys expected"})
                return
            write_json_file(os.path.join(state.root, "userservice", "keys.json"), keys)
            self.send_json(200, {"ok": True})
        elif method == "POST" and path == "/control/encoding":
            with state.lock:
                state.deflate = bool(request.get("deflate", True))
            self.send_json(200, {"ok": True})
        elif method == "GET" and path in ("/control/requests", "/control/uploads",
                                          "/control/userlogs"):
            with state.lock:
                listing = {"/control/requests": state.journal,
                           "/control/uploads": state.uploads,
                           "/control/userlogs": state.userlogs}[path]
                self.send_json(200, list(listing))
        else:
            self.send_json(404, {"error": "unknown control request"})


class Server(ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = False


def write_port_file(path, port):
    temp = path + ".tmp"
    with open(temp, "w") as f:
        f.write("%d\n" % port)
    os.replace(temp, path)


def main():
    parser = argparse.ArgumentParser(description="Local stand-in for the maker's services")
    parser.add_argument("--root", required=True, help="folder of the service's data")
    parser.add_argument("--port-file", required=True, help="where to write the port")
    args = parser.parse_args()

    root = os.path.abspath(args.root)
    os.makedirs(root, exist_ok=True)
    server = Server(("127.0.0.1", 0), Handler)
    server.state = ServiceState(root)
    write_port_file(args.port_file, server.server_address[1])
    print("makerservice on 127.0.0.1:%d, root %s" % (server.server_address[1], root), flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass
    finally:
        server.server_close()


if __name__ == "__main__":
    main()
