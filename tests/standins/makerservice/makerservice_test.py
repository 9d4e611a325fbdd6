#!/usr/bin/env python3
"""Tests of the makerservice stand-in, run against a private instance.

usage: makerservice_test.py PATH/TO/makerservice.py
"""

import hashlib
import http.client
import json
import os
import socket
import subprocess
import sys
import tempfile
import time
import unittest
import zlib

SERVER_SCRIPT = None


class MakerServiceTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.temp = tempfile.TemporaryDirectory()
        cls.root = os.path.join(cls.temp.name, "root")
        port_file = os.path.join(cls.temp.name, "makerservice.port")
        cls.process = subprocess.Popen(
            [sys.executable, SERVER_SCRIPT, "--root", cls.root, "--port-file", port_file],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 10
        while not os.path.exists(port_file):
            if time.monotonic() > deadline or cls.process.poll() is not None:
                raise RuntimeError("makerservice did not start")
            time.sleep(0.05)
        with open(port_file) as f:
            cls.port = int(f.read())

    @classmethod
    def tearDownClass(cls):
        cls.process.terminate()
        cls.process.wait(10)
        cls.temp.cleanup()

    def setUp(self):
        self.control("POST", "/control/reset")

    # -- helpers ------------------------------------------------------------

    def request(self, method, path, body=None, headers=None, timeout=10):
        connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=timeout)
        try:
            connection.request(method, path, body=body, headers=headers or {})
            response = connection.getresponse()
            return response.status, dict(response.getheaders()), response.read()
        finally:
            connection.close()

    def control(self, method, path, value=None):
        body = json.dumps(value).encode() if value is not None else None
        status, _, reply = self.request(method, path, body,
                                        {"Content-Type": "application/json"})
        self.assertEqual(200, status, reply)
        return json.loads(reply)

    def write_file(self, relative, content):
        path = os.path.join(self.root, relative)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(content)

    def multipart(self, parts):
        boundary = "----vantorin-test-boundary"
        body = b""
        for name, filename, content in parts:
            body += b"--" + boundary.encode() + b"\r\n"
            disposition = 'form-data; name="%s"' % name
            if filename:
                disposition += '; filename="%s"' % filename
            body += b"Content-Disposition: " + disposition.encode() + b"\r\n"
            if filename:
                body += b"Content-Type: application/octet-stream\r\n"
            body += b"\r\n" + content + b"\r\n"
        body += b"--" + boundary.encode() + b"--\r\n"
        return body, "multipart/form-data; boundary=" + boundary

    # -- update service -----------------------------------------------------

    def test_version_reports_what_was_set_and_404_for_unknown_apps(self):
        self.control("POST", "/control/version",
                     {"app": "Vantorin", "latest-version": "1.4.6", "minimum-required": "1.0.0"})
        status, headers, body = self.request("GET", "/version/Vantorin")
        self.assertEqual(200, status)
        self.assertNotIn("Content-Encoding", headers)
        self.assertEqual({"latest-version": "1.4.6", "minimum-required": "1.0.0"},
                         json.loads(body))

        status, _, body = self.request("GET", "/version/NoSuchApp")
        self.assertEqual(404, status)
        with self.assertRaises(ValueError):
            json.loads(body)

    def test_latest_lists_released_files_with_sizes_and_sha1(self):
        self.control("POST", "/control/version",
                     {"app": "Lister", "latest-version": "2.0", "minimum-required": "1.0"})
        files = {"Vantorin.exe": b"program bytes",
                 "skin/b.png": b"",
                 "skin/a.png": b"\x00\x01\x02" * 5000,
                 "Zeta.dll": b"z"}
        for relative, content in files.items():
            self.write_file(os.path.join("apps", "Lister", "files", relative), content)

        status, _, body = self.request("GET", "/latest/Lister")
        self.assertEqual(200, status)
        manifest = json.loads(body)
        self.assertEqual("2.0", manifest["version"])
        expected = [{"path": p.replace("/", "\\"), "size": len(c),
                     "digest": hashlib.sha1(c).hexdigest()} for p, c in files.items()]
        expected.sort(key=lambda e: e["path"].encode())
        self.assertEqual(expected, manifest["files"])
        self.assertEqual(["Vantorin.exe", "Zeta.dll", "skin\\a.png", "skin\\b.png"],
                         [e["path"] for e in manifest["files"]])

        status, _, _ = self.request("GET", "/latest/Unreleased")
        self.assertEqual(404, status)

    def test_deflate_is_sent_only_when_accepted_and_offered(self):
        self.control("POST", "/control/version",
                     {"app": "Packed", "latest-version": "3", "minimum-required": "1"})
        self.write_file("apps/Packed/files/a.txt", b"a" * 1000)
        for path in ("/latest/Packed", "/version/Packed"):
            plain = self.request("GET", path)[2]
            status, headers, body = self.request("GET", path,
                                                 headers={"Accept-Encoding": "deflate"})
            self.assertEqual(200, status)
            self.assertEqual("deflate", headers.get("Content-Encoding"))
            self.assertEqual(plain, zlib.decompress(body))
            self.assertEqual(len(body), int(headers["Content-Length"]))

        self.control("POST", "/control/encoding", {"deflate": False})
        _, headers, body = self.request("GET", "/latest/Packed",
                                        headers={"Accept-Encoding": "gzip, deflate"})
        self.assertNotIn("Content-Encoding", headers)
        self.assertIn("files", json.loads(body))

    def test_application_names_cannot_leave_the_apps_folder(self):
        self.write_file("version.json", b'{"latest-version": "9", "minimum-required": "9"}')
        for path in ("/version/..", "/version/%2E%2E", "/latest/..%2Fapps", "/version/"):
            self.assertEqual(404, self.request("GET", path)[0], path)

    # -- diagnostics service ------------------------------------------------

    def test_upload_stores_the_file_part_and_lists_it(self):
        zip_bytes = b"PK\x03\x04" + os.urandom(3000)
        body, content_type = self.multipart([("reqformat", None, b"plain"),
                                             ("file", "Vantorin202612092300Log.zip", zip_bytes)])
        status, _, reply = self.request("POST", "/upload", body,
                                        {"Content-Type": content_type})
        self.assertEqual(200, status)
        self.assertEqual(0, json.loads(reply)["result"])

        uploads = self.control("GET", "/control/uploads")
        self.assertEqual([{"id": 1, "file": "uploads/1.zip", "reqformat": "plain",
                           "filename": "Vantorin202612092300Log.zip", "size": len(zip_bytes)}],
                         uploads)
        with open(os.path.join(self.root, "uploads", "1.zip"), "rb") as f:
            self.assertEqual(zip_bytes, f.read())

    def test_upload_rejects_bodies_without_both_parts(self):
        only_file, content_type = self.multipart([("file", "x.zip", b"data")])
        cases = [(only_file, content_type),
                 (b"reqformat=plain", "application/x-www-form-urlencoded"),
                 (b"", "multipart/form-data")]
        for body, kind in cases:
            status, _, reply = self.request("POST", "/upload", body, {"Content-Type": kind})
            self.assertEqual(400, status, kind)
            self.assertEqual(1, json.loads(reply)["result"])
        self.assertEqual([], self.control("GET", "/control/uploads"))
        self.assertFalse(os.path.exists(os.path.join(self.root, "uploads")))

    # -- user service -------------------------------------------------------

    def test_keys_come_from_the_keys_file(self):
        reply = json.loads(self.request("GET", "/user/keys")[2])
        keys = [{"apikey": "A1", "secretkey": "S1"}, {"apikey": "A2", "secretkey": "S2"}]
        self.control("POST", "/control/keys", {"keys": keys})
        after = json.loads(self.request("GET", "/user/keys")[2])
        self.assertEqual({"result": 0, "message": "ok", "keys": keys}, after)
        self.assertEqual(0, reply["result"])

    def test_user_log_is_stored_byte_for_byte(self):
        text = "v1.4.5 识别失败\r\nsecond line\r\n".encode("utf-8")
        status, _, reply = self.request("POST", "/user/log", text,
                                        {"Content-Type": "text/plain; charset=utf-8"})
        self.assertEqual(200, status)
        self.assertEqual(0, json.loads(reply)["result"])
        logs = self.control("GET", "/control/userlogs")
        self.assertEqual(1, len(logs))
        self.assertEqual(text.decode("utf-8"), logs[0]["text"])
        with open(os.path.join(self.root, logs[0]["file"]), "rb") as f:
            self.assertEqual(text, f.read())

    # -- faults and the control endpoint ------------------------------------

    def test_each_fault_mode_on_each_kind_of_path(self):
        self.control("POST", "/control/version",
                     {"app": "Vantorin", "latest-version": "1.4.6", "minimum-required": "1.0.0"})
        for path in ("/version/Vantorin", "/user/keys"):
            self.control("POST", "/control/fault", {"path": path, "fault": "404"})
            status, _, body = self.request("GET", path)
            self.assertEqual(404, status)
            self.assertTrue(body.startswith(b"<html>"))

            self.control("POST", "/control/fault", {"path": path, "fault": "500"})
            self.assertEqual(500, self.request("GET", path)[0])

            self.control("POST", "/control/fault", {"path": path, "fault": "notjson"})
            status, _, body = self.request("GET", path)
            self.assertEqual(200, status)
            with self.assertRaises(ValueError):
                json.loads(body)

            self.control("POST", "/control/fault", {"path": path, "fault": "deepnest"})
            status, headers, body = self.request("GET", path)
            self.assertEqual(200, status)
            self.assertTrue(headers["Content-Type"].startswith("application/json"))
            self.assertEqual(b"[" * 100000, body)

            self.control("POST", "/control/fault", {"path": path, "fault": "none"})
            status, _, body = self.request("GET", path)
            self.assertEqual(200, status)
            json.loads(body)

    def test_faulted_posts_store_nothing(self):
        self.control("POST", "/control/fault", {"path": "/upload", "fault": "500"})
        body, content_type = self.multipart([("reqformat", None, b"plain"),
                                             ("file", "a.zip", b"zip")])
        self.assertEqual(500, self.request("POST", "/upload", body,
                                           {"Content-Type": content_type})[0])
        self.assertEqual([], self.control("GET", "/control/uploads"))

    def test_huge_reply_is_a_padded_object_that_stops_when_the_client_leaves(self):
        for path in ("/version/Vantorin", "/latest/Vantorin", "/user/keys"):
            self.control("POST", "/control/fault", {"path": path, "fault": "huge"})
            connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=10)
            try:
                connection.request("GET", path)
                response = connection.getresponse()
                self.assertEqual(200, response.status)
                self.assertEqual(str(200 * 1024 * 1024), response.getheader("Content-Length"))
                head = response.read(4 * 1024 * 1024)
            finally:
                connection.close()
            value = json.loads(head)
            self.assertEqual(0, value["result"])
            self.assertEqual("9.9.9", value["latest-version"])
            self.assertEqual([], value["files"])
        # The server goes on serving after the client hung up.
        self.assertEqual(200, self.request("GET", "/user/keys")[0])

    def test_hang_holds_the_connection_without_a_reply(self):
        self.control("POST", "/control/fault", {"path": "/version/Vantorin", "fault": "hang"})
        started = time.monotonic()
        with self.assertRaises(socket.timeout):
            self.request("GET", "/version/Vantorin", timeout=1.5)
        self.assertGreaterEqual(time.monotonic() - started, 1.4)
        # The server keeps serving others meanwhile, and the journal shows the hang.
        journal = self.control("GET", "/control/requests")
        self.assertEqual("hang", journal[-1]["status"])

    def test_counted_fault_applies_to_the_next_requests_only(self):
        self.control("POST", "/control/keys", {"keys": []})
        self.control("POST", "/control/fault", {"path": "/user/keys", "fault": "500", "count": 2})
        statuses = [self.request("GET", "/user/keys")[0] for _ in range(3)]
        self.assertEqual([500, 500, 200], statuses)

    def test_bad_control_requests_are_refused(self):
        cases = [("/control/fault", {"path": "/x", "fault": "teapot"}),
                 ("/control/fault", {"fault": "404"}),
                 ("/control/fault", {"path": "/x", "fault": "404", "count": 0}),
                 ("/control/version", {"app": "../evil", "latest-version": "1"}),
                 ("/control/keys", {"keys": "not a list"})]
        for path, value in cases:
            status, _, _ = self.request("POST", path, json.dumps(value).encode())
            self.assertEqual(400, status, value)
        self.assertEqual(400, self.request("POST", "/control/fault", b"{not json")[0])
        self.assertEqual(404, self.request("GET", "/control/nothing")[0])

    def test_journal_records_requests_and_reset_clears_everything(self):
        self.request("GET", "/version/Vantorin", headers={"Accept-Encoding": "deflate",
                                                          "User-Agent": "libcurl/8"})
        self.request("POST", "/user/log", b"text")
        journal = self.control("GET", "/control/requests")
        self.assertEqual([("GET", "/version/Vantorin"), ("POST", "/user/log")],
                         [(e["method"], e["path"]) for e in journal])
        self.assertEqual("deflate", journal[0]["headers"]["accept-encoding"])
        self.assertEqual("libcurl/8", journal[0]["headers"]["user-agent"])
        self.assertEqual(200, journal[1]["status"])

        self.control("POST", "/control/fault", {"path": "/user/log", "fault": "404"})
        self.control("POST", "/control/reset")
        self.assertEqual([], self.control("GET", "/control/requests"))
        self.assertEqual([], self.control("GET", "/control/userlogs"))
        self.assertFalse(os.path.exists(os.path.join(self.root, "userservice", "logs")))
        self.assertEqual(200, self.request("POST", "/user/log", b"again")[0])
        self.assertEqual(1, self.control("GET", "/control/userlogs")[0]["id"])


if __name__ == "__main__":
    SERVER_SCRIPT = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=2)
