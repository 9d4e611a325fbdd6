#!/usr/bin/env python3
"""The speech service's wire checks, its recognition and its injected failures, over HTTPS."""

import base64
import http.client
import json
import os
import socket
import ssl
import subprocess
import sys
import tempfile
import threading
import time
import unittest
import urllib.parse

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE_ROOT = os.path.join(HERE, "..", "..", "..")
SERVICE = os.path.join(SOURCE_ROOT, "standins", "speechservice", "speechservice.py")
sys.path.insert(0, os.path.join(SOURCE_ROOT, "tests", "media"))
import make_speech  # noqa: E402

DEFAULT_KEY = ("VtRestDefaultApiKey24chr", "VtRestDefaultSecretKey32chars000")
EXTRA_KEY = ("ExtraApiKey", "ExtraSecret")


def tone_pcm(words, seconds):
    placed = make_speech.place_words(words, int(seconds * make_speech.RATE), 0.3, 0.5)
    samples = make_speech.render(placed, int(seconds * make_speech.RATE), "white", 0, None)
    return make_speech.tonespeech.samples_to_pcm(samples), make_speech.expected_text(placed)


class ServiceProcess:
    """The service started on a port of its own in a temporary folder."""

    def __init__(self):
        self.folder = tempfile.TemporaryDirectory()
        self.port_file = os.path.join(self.folder.name, "speechservice.port")
        self.process = subprocess.Popen(
            [sys.executable, SERVICE, "--port-file", self.port_file, "--key", "%s:%s" % EXTRA_KEY],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.port = self.wait_for_port()
        self.tls = ssl.create_default_context(cafile=os.path.join(self.folder.name, "speechservice.pem"))

    def wait_for_port(self):
        deadline = time.time() + 20
        while time.time() < deadline:
            if os.path.exists(self.port_file):
                with open(self.port_file) as port:
                    return int(port.read())
            if self.process.poll() is not None:
                raise RuntimeError("speechservice exited with %d" % self.process.returncode)
            time.sleep(0.05)
        raise RuntimeError("speechservice did not start")

    def stop(self):
        self.process.terminate()
        self.process.wait(10)
        self.folder.cleanup()

    def request(self, method, path, body=None, headers=None, timeout=30):
        """(HTTP status, raw body) of one request on a fresh connection, verifying the certificate."""
        connection = http.client.HTTPSConnection("127.0.0.1", self.port, context=self.tls, timeout=timeout)
        try:
            connection.request(method, path, body=body, headers=headers or {})
            response = connection.getresponse()
            return response.status, response.read()
        finally:
            connection.close()

    def json_request(self, method, path, body=None, headers=None):
        status, raw = self.request(method, path, body, headers)
        return status, json.loads(raw.decode("utf-8"))

    def token_reply(self, params, method="GET"):
        return self.json_request(method, "/oauth/2.0/token?" + urllib.parse.urlencode(params) + "&")

    def token(self, key=DEFAULT_KEY):
        status, reply = self.token_reply(
            {"client_id": key[0], "client_secret": key[1], "grant_type": "client_credentials"})
        return reply["access_token"]

    def recognition_body(self, pcm, **changes):
        body = {"channel": "1", "cuid": DEFAULT_KEY[0], "format": "pcm", "len": len(pcm),
                "rate": "16000", "speech": base64.b64encode(pcm).decode("ascii"), "token": self.token()}
        body.update(changes)
        return {name: value for name, value in body.items() if value is not MISSING}

    def recognize(self, body, content_type="application/json"):
        payload = json.dumps(body, indent="\t", sort_keys=True).encode("utf-8")
        headers = {"Content-Type": content_type} if content_type else {}
        return self.json_request("POST", "/server_api", payload, headers)

    def control(self, action, **params):
        query = urllib.parse.urlencode(params)
        return self.json_request("POST", "/control/%s?%s" % (action, query))[1]

    def stats(self):
        return self.json_request("GET", "/control/stats")[1]


MISSING = object()


class SpeechServiceTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.service = ServiceProcess()
        cls.pcm, cls.text = tone_pcm([10, 11, 3, 15], 4)

    @classmethod
    def tearDownClass(cls):
        cls.service.stop()

    def setUp(self):
        self.service.control("reset")

    def assert_refused(self, reply, err_no):
        self.assertEqual(reply.get("err_no"), err_no, reply)
        self.assertIsInstance(reply.get("err_msg"), str)
        self.assertNotIn("result", reply)


class TokenTest(SpeechServiceTest):
    def test_known_pairs_get_a_token(self):
        for key in (DEFAULT_KEY, EXTRA_KEY):
            status, reply = self.service.token_reply(
                {"client_id": key[0], "client_secret": key[1], "grant_type": "client_credentials"})
            self.assertEqual(status, 200)
            self.assertIsInstance(reply["access_token"], str)
            self.assertTrue(reply["access_token"])
            self.assertIsInstance(reply["expires_in"], int)
            self.assertGreater(reply["expires_in"], 86400)
            self.assertIsInstance(reply["scope"], str)

    def test_bad_token_requests_are_refused(self):
        good = {"client_id": DEFAULT_KEY[0], "client_secret": DEFAULT_KEY[1], "grant_type": "client_credentials"}
        cases = [
            ("client_id missing", {"client_secret": good["client_secret"], "grant_type": "client_credentials"}, 3300),
            ("client_secret missing", {"client_id": good["client_id"], "grant_type": "client_credentials"}, 3300),
            ("grant_type missing", {"client_id": good["client_id"], "client_secret": good["client_secret"]}, 3300),
            ("other grant", dict(good, grant_type="password"), 3300),
            ("wrong secret", dict(good, client_secret=EXTRA_KEY[1]), 3302),
            ("unknown id", dict(good, client_id="nobody"), 3302),
        ]
        for name, params, err_no in cases:
            with self.subTest(name):
                status, reply = self.service.token_reply(params)
                self.assertIn(status, (400, 401))
                self.assert_refused(reply, err_no)
                self.assertNotIn("access_token", reply)

    def test_token_request_must_be_a_get(self):
        status, reply = self.service.token_reply(
            {"client_id": DEFAULT_KEY[0], "client_secret": DEFAULT_KEY[1], "grant_type": "client_credentials"},
            method="POST")
        self.assert_refused(reply, 3300)

    def test_added_key_pair_is_accepted(self):
        params = {"client_id": "LaterKey", "client_secret": "LaterSecret", "grant_type": "client_credentials"}
        self.assert_refused(self.service.token_reply(params)[1], 3302)
        self.service.control("keys", client_id="LaterKey", client_secret="LaterSecret")
        self.assertIn("access_token", self.service.token_reply(params)[1])


class RecognitionTest(SpeechServiceTest):
    def test_good_request_is_recognised_from_its_audio(self):
        status, reply = self.service.recognize(self.service.recognition_body(self.pcm))
        self.assertEqual(status, 200)
        self.assertEqual(reply["err_no"], 0)
        self.assertEqual(reply["err_msg"], "success.")
        self.assertEqual(reply["result"], ["你好世界三结束"])
        self.assertTrue(reply["corpus_no"])
        self.assertTrue(reply["sn"])

    def test_each_known_dev_pid_is_accepted(self):
        for dev_pid in ("1537", "1637", "1737", "1837"):
            with self.subTest(dev_pid):
                reply = self.service.recognize(self.service.recognition_body(self.pcm, dev_pid=dev_pid))[1]
                self.assertEqual(reply["err_no"], 0, reply)

    def test_silence_gives_an_empty_text(self):
        silence = bytes(2 * 16000)
        reply = self.service.recognize(self.service.recognition_body(silence))[1]
        self.assertEqual((reply["err_no"], reply["result"]), (0, [""]))

    def test_members_are_checked(self):
        pcm = self.pcm
        cases = [
            ("channel missing", {"channel": MISSING}, 3300),
            ("channel number", {"channel": 1}, 3300),
            ("channel 2", {"channel": "2"}, 3300),
            ("cuid missing", {"cuid": MISSING}, 3300),
            ("cuid number", {"cuid": 12}, 3300),
            ("cuid empty", {"cuid": ""}, 3300),
            ("dev_pid number", {"dev_pid": 1537}, 3300),
            ("dev_pid unknown", {"dev_pid": "9999"}, 3300),
            ("format missing", {"format": MISSING}, 3300),
            ("format number", {"format": 1}, 3300),
            ("format wav", {"format": "wav"}, 3312),
            ("len missing", {"len": MISSING}, 3300),
            ("len string", {"len": str(len(pcm))}, 3300),
            ("len boolean", {"len": True}, 3300),
            ("len fraction", {"len": len(pcm) + 0.5}, 3300),
            ("len too big", {"len": len(pcm) + 2}, 3309),
            ("len too small", {"len": len(pcm) - 2}, 3309),
            ("rate missing", {"rate": MISSING}, 3300),
            ("rate number", {"rate": 16000}, 3300),
            ("rate 8000", {"rate": "8000"}, 3311),
            ("speech missing", {"speech": MISSING}, 3300),
            ("speech list", {"speech": [1, 2]}, 3300),
            ("speech not Base64", {"speech": "%%%%", "len": 3}, 3309),
            ("speech empty", {"speech": "", "len": 0}, 3309),
            ("token missing", {"token": MISSING}, 3300),
            ("token number", {"token": 5}, 3300),
            ("token unknown", {"token": "vt.00000000000000000000000000000000"}, 3302),
        ]
        for name, changes, err_no in cases:
            with self.subTest(name):
                reply = self.service.recognize(self.service.recognition_body(pcm, **changes))[1]
                self.assert_refused(reply, err_no)

    def test_header_and_body_shape_are_checked(self):
        body = self.service.recognition_body(self.pcm)
        for content_type in (None, "text/plain", "application/x-www-form-urlencoded"):
            with self.subTest(content_type=content_type):
                self.assert_refused(self.service.recognize(body, content_type)[1], 3300)
        for raw in (b"not json", b"[1, 2]", b""):
            with self.subTest(body=raw):
                reply = self.service.json_request("POST", "/server_api", raw,
                                                  {"Content-Type": "application/json"})[1]
                self.assert_refused(reply, 3300)

    def test_recognition_must_be_a_post(self):
        self.assert_refused(self.service.json_request("GET", "/server_api")[1], 3300)

    def test_more_than_a_minute_of_audio_is_refused(self):
        long_pcm = bytes(2 * 16000 * 61)
        self.assert_refused(self.service.recognize(self.service.recognition_body(long_pcm))[1], 3308)

    def test_expired_tokens_are_refused(self):
        token = self.service.token()
        self.service.control("expire-tokens")
        reply = self.service.recognize(self.service.recognition_body(self.pcm, token=token))[1]
        self.assert_refused(reply, 3302)
        self.assertIn("expired", reply["err_msg"])

    def test_token_expires_after_its_lifetime(self):
        self.service.control("token-lifetime", seconds=1)
        status, reply = self.service.token_reply(
            {"client_id": DEFAULT_KEY[0], "client_secret": DEFAULT_KEY[1], "grant_type": "client_credentials"})
        self.assertEqual(reply["expires_in"], 1)
        body = self.service.recognition_body(self.pcm, token=reply["access_token"])
        self.assertEqual(self.service.recognize(body)[1]["err_no"], 0)
        time.sleep(1.2)
        self.assert_refused(self.service.recognize(body)[1], 3302)


class InjectedFailureTest(SpeechServiceTest):
    def good_body(self):
        return self.service.recognition_body(self.pcm)

    def test_quality_error_for_the_next_replies_only(self):
        self.service.control("fail", count=2)
        body = self.good_body()
        codes = [self.service.recognize(body)[1]["err_no"] for _ in range(3)]
        self.assertEqual(codes, [3301, 3301, 0])

    def test_other_error_number_and_message(self):
        self.service.control("fail", err_no=3303, err_msg="server busy")
        reply = self.service.recognize(self.good_body())[1]
        self.assertEqual((reply["err_no"], reply["err_msg"]), (3303, "server busy"))

    def test_non_json_reply(self):
        self.service.control("fail", kind="non_json")
        body = json.dumps(self.good_body()).encode("utf-8")
        status, raw = self.service.request("POST", "/server_api", body, {"Content-Type": "application/json"})
        self.assertEqual(status, 500)
        with self.assertRaises(ValueError):
            json.loads(raw.decode("utf-8"))

    def test_slow_reply_still_answers(self):
        self.service.control("fail", kind="delay", delay=1.5)
        started = time.monotonic()
        reply = self.service.recognize(self.good_body())[1]
        self.assertGreaterEqual(time.monotonic() - started, 1.5)
        self.assertEqual(reply["result"], [self.text])

    def test_dropped_connection_gives_no_reply(self):
        self.service.control("fail", kind="drop")
        with self.assertRaises((http.client.RemoteDisconnected, ConnectionError, ssl.SSLError, socket.timeout)):
            self.service.recognize(self.good_body())
        self.assertEqual(self.service.recognize(self.good_body())[1]["err_no"], 0)

    def test_token_failures(self):
        params = {"client_id": DEFAULT_KEY[0], "client_secret": DEFAULT_KEY[1], "grant_type": "client_credentials"}
        self.service.control("fail", target="token")
        reply = self.service.token_reply(params)[1]
        self.assert_refused(reply, 3302)
        self.assertNotIn("access_token", reply)

        self.service.control("fail", target="token", kind="non_json")
        status, raw = self.service.request("GET", "/oauth/2.0/token?" + urllib.parse.urlencode(params))
        with self.assertRaises(ValueError):
            json.loads(raw.decode("utf-8"))
        self.assertIn("access_token", self.service.token_reply(params)[1])

    def test_given_body_is_the_reply(self):
        text = '{"err_no":1.5,"err_msg":12}'
        self.service.control("fail", kind="body", body=text)
        body = json.dumps(self.good_body()).encode("utf-8")
        status, raw = self.service.request("POST", "/server_api", body, {"Content-Type": "application/json"})
        self.assertEqual((status, raw.decode("utf-8")), (200, text))

    def test_large_reply_has_the_given_size_and_shape(self):
        body = json.dumps(self.good_body()).encode("utf-8")
        for shape, member in (("result", "result"), ("control", "noise"), ("token", "access_token")):
            with self.subTest(shape):
                self.service.control("fail", kind="large", shape=shape, bytes=100000)
                status, raw = self.service.request("POST", "/server_api", body, {"Content-Type": "application/json"})
                self.assertEqual((status, len(raw)), (200, 100000))
                self.assertIn(member, json.loads(raw.decode("utf-8"), strict=False))

    def test_client_that_gives_up_on_a_large_reply_leaves_the_service_serving(self):
        self.service.control("fail", kind="large", bytes=200 << 20)
        body = json.dumps(self.good_body()).encode("utf-8")
        connection = http.client.HTTPSConnection("127.0.0.1", self.service.port, context=self.service.tls,
                                                 timeout=30)
        connection.request("POST", "/server_api", body, {"Content-Type": "application/json"})
        reply = connection.getresponse()
        self.assertEqual(reply.getheader("Content-Length"), str(200 << 20))
        reply.read(1 << 16)
        connection.close()
        self.assertEqual(self.service.recognize(self.good_body())[1]["result"], [self.text])

    def raw_reply(self, method, path, body):
        """(Content-Length, every byte of the body sent) of one request, read
        to the end of the connection, past what the header announces."""
        with socket.create_connection(("127.0.0.1", self.service.port), timeout=30) as plain:
            with self.service.tls.wrap_socket(plain, server_hostname="127.0.0.1") as tls:
                tls.sendall(("%s %s HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/json\r\n"
                             "Content-Length: %d\r\n\r\n" % (method, path, len(body))).encode("ascii") + body)
                raw = b""
                while True:
                    try:
                        block = tls.recv(1 << 16)
                    except ssl.SSLError:
                        break
                    if not block:
                        break
                    raw += block
        head, _, sent = raw.partition(b"\r\n\r\n")
        lengths = [line.split(b":", 1)[1] for line in head.split(b"\r\n") if line.lower().startswith(b"content-length:")]
        return int(lengths[0]), sent

    def test_cut_reply_ends_halfway_into_its_text(self):
        body = json.dumps(self.good_body()).encode("utf-8")
        params = {"client_id": DEFAULT_KEY[0], "client_secret": DEFAULT_KEY[1], "grant_type": "client_credentials"}
        token_path = "/oauth/2.0/token?" + urllib.parse.urlencode(params)
        for target, member in (("recognize", '"result": ["'), ("token", '"access_token": "vt.')):
            for cut in ("body", "length"):
                with self.subTest(target=target, cut=cut):
                    self.service.control("fail", target=target, kind="cut", cut=cut)
                    if target == "token":
                        length, sent = self.raw_reply("GET", token_path, b"")
                    else:
                        length, sent = self.raw_reply("POST", "/server_api", body)
                    head = sent[:length].decode("utf-8")
                    self.assertTrue(head.endswith(member) or member in head, head)
                    with self.assertRaises(ValueError):
                        json.loads(head)
                    if cut == "body":
                        self.assertEqual(len(sent), length)
                    else:
                        self.assertIsInstance(json.loads(sent.decode("utf-8")), dict)
        self.assertEqual(self.service.recognize(self.good_body())[1]["result"], [self.text])

    def test_failures_for_one_target_leave_the_other_alone(self):
        self.service.control("fail", target="token", count=1)
        self.service.control("fail", target="recognize", kind="drop", count=1)
        pending = self.service.stats()["pending"]
        self.assertEqual([f["kind"] for f in pending["token"]], ["error"])
        self.assertEqual([f["kind"] for f in pending["recognize"]], ["drop"])

    def test_bad_control_requests_are_refused(self):
        for params in ({"kind": "explode"}, {"target": "nowhere"}, {"count": 0}, {"err_no": 0}, {"count": "x"},
                       {"kind": "body"}, {"kind": "large"}, {"kind": "large", "bytes": 10},
                       {"kind": "large", "bytes": 1000, "shape": "round"}, {"kind": "cut", "cut": "tail"}):
            with self.subTest(params):
                status, reply = self.service.json_request("POST", "/control/fail?" + urllib.parse.urlencode(params))
                self.assertEqual(status, 400)
                self.assertFalse(reply["ok"])
        self.assertEqual(self.service.stats()["pending"], {"recognize": [], "token": []})

    def test_failure_given_as_json_body(self):
        self.service.json_request("POST", "/control/fail", json.dumps({"err_no": 3307, "count": 1}))
        self.assertEqual(self.service.recognize(self.good_body())[1]["err_no"], 3307)


class CountersTest(SpeechServiceTest):
    def test_counters_and_request_order(self):
        pieces = [tone_pcm([index], 1.5) for index in (4, 7, 12)]
        for pcm, _ in pieces:
            self.service.recognize(self.service.recognition_body(pcm, dev_pid="1737"))
        stats = self.service.stats()
        self.assertEqual((stats["token_requests"], stats["recognize_requests"]), (3, 3))
        recognitions = [entry for entry in stats["requests"] if entry["endpoint"] == "recognize"]
        self.assertEqual([entry["text"] for entry in recognitions], [text for _, text in pieces])
        self.assertEqual({entry["dev_pid"] for entry in recognitions}, {"1737"})
        self.assertEqual({entry["content_type"] for entry in recognitions}, {"application/json"})
        tokens = [entry for entry in stats["requests"] if entry["endpoint"] == "token"]
        self.assertEqual([entry["token"] for entry in tokens], [entry["token"] for entry in recognitions])
        self.assertEqual([entry["seq"] for entry in stats["requests"]],
                         sorted(entry["seq"] for entry in stats["requests"]))

    def test_log_keeps_arrival_order_when_a_slow_request_finishes_last(self):
        first_pcm, first_text = tone_pcm([1], 1.5)
        second_pcm, second_text = tone_pcm([2], 1.5)
        first_body = self.service.recognition_body(first_pcm)
        second_body = self.service.recognition_body(second_pcm)
        self.service.control("fail", kind="delay", delay=1.5)
        slow = threading.Thread(target=self.service.recognize, args=(first_body,))
        slow.start()
        time.sleep(0.5)
        self.service.recognize(second_body)
        slow.join()
        recognitions = [entry for entry in self.service.stats()["requests"] if entry["endpoint"] == "recognize"]
        self.assertEqual([(entry["text"], entry["injected"]) for entry in recognitions],
                         [(first_text, "delay"), (second_text, None)])

    def test_refused_and_injected_requests_are_logged(self):
        self.service.control("fail")
        self.service.recognize(self.service.recognition_body(self.pcm))
        self.service.recognize(self.service.recognition_body(self.pcm, rate="8000"))
        logged = [(entry["endpoint"], entry["err_no"], entry["injected"]) for entry in self.service.stats()["requests"]]
        self.assertEqual(logged, [("token", 0, None), ("recognize", 3301, "error"),
                                  ("token", 0, None), ("recognize", 3311, None)])

    def test_reset_clears_counters_log_and_failures(self):
        self.service.token()
        self.service.control("fail", count=3)
        self.service.control("reset")
        stats = self.service.stats()
        self.assertEqual((stats["token_requests"], stats["recognize_requests"], stats["requests"]), (0, 0, []))
        self.assertEqual(stats["pending"], {"recognize": [], "token": []})


class LatencyTest(SpeechServiceTest):
    def test_reply_takes_the_fixed_delay_plus_the_delay_per_second_of_audio(self):
        pcm, text = tone_pcm([5, 9], 2)
        self.service.control("latency", fixed=0.5, per_second=0.75)
        self.assertEqual(self.service.stats()["latency"], {"fixed": 0.5, "per_second": 0.75})
        body = self.service.recognition_body(pcm)
        sent = time.time()
        started = time.monotonic()
        reply = self.service.recognize(body)[1]
        self.assertGreaterEqual(time.monotonic() - started, 2.0)
        self.assertEqual(reply["result"], [text])
        entry = self.service.stats()["requests"][-1]
        self.assertGreaterEqual(entry["service_seconds"], 2.0)
        self.assertLessEqual(sent - 0.01, entry["received_at"])
        self.assertLess(entry["received_at"], sent + 1.5)
        self.assertGreaterEqual(entry["upload_seconds"], 0.0)
        self.assertLess(entry["upload_seconds"], 1.5)

        # A refused request answers at once; reset drops the model.
        started = time.monotonic()
        self.assert_refused(self.service.recognize(self.service.recognition_body(pcm, rate="8000"))[1], 3311)
        self.assertLess(time.monotonic() - started, 2.0)
        self.service.control("reset")
        self.assertEqual(self.service.stats()["latency"], {"fixed": 0.0, "per_second": 0.0})

    def test_bad_latency_is_refused(self):
        for params in ({"fixed": -1}, {"per_second": "slow"}):
            with self.subTest(params):
                status, reply = self.service.json_request("POST", "/control/latency?" + urllib.parse.urlencode(params))
                self.assertEqual(status, 400)
        self.assertEqual(self.service.stats()["latency"], {"fixed": 0.0, "per_second": 0.0})

    def test_ten_pieces_are_served_at_once(self):
        # One after the other they would take ten times the delay.
        delay = 2.0
        self.service.control("latency", fixed=delay)
        pieces = [tone_pcm([index], 1.5) for index in range(10)]
        bodies = [self.service.recognition_body(pcm) for pcm, _ in pieces]
        replies = [None] * len(bodies)

        def recognise(index):
            replies[index] = self.service.recognize(bodies[index])[1]

        threads = [threading.Thread(target=recognise, args=(index,)) for index in range(len(bodies))]
        started = time.monotonic()
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join(120)
        self.assertLess(time.monotonic() - started, 5 * delay)
        self.assertEqual([reply["result"] for reply in replies], [[text] for _, text in pieces])



if __name__ == "__main__":
    unittest.main()
