#!/usr/bin/env python3
"""Local cloud speech REST service for the tests: token, recognition and a control endpoint.

HTTPS on 127.0.0.1 with a self-signed certificate made at start; see README.md.
"""

import argparse
import base64
import binascii
import collections
import http.server
import json
import multiprocessing
import os
import secrets
import shutil
import signal
import ssl
import subprocess
import sys
import tempfile
import threading
import time
import urllib.parse

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import tonespeech  # noqa: E402

DEFAULT_KEY = ("VtRestDefaultApiKey24chr", "VtRestDefaultSecretKey32chars000")
DEFAULT_TOKEN_LIFETIME = 30 * 86400
TOKEN_SCOPE = "speech_recognition"
MAX_SPEECH_BYTES = 60 * tonespeech.SAMPLE_RATE * 2
KNOWN_DEV_PIDS = ("1537", "1637", "1737", "1837")
REQUEST_LOG_SIZE = 500
SOCKET_TIMEOUT_SECONDS = 120
# The program runs up to ten pieces at once; more workers than cores would
# only take turns.
DEFAULT_DECODE_WORKERS = min(10, os.cpu_count() or 1)

ERR_PARAMETER = 3300
ERR_QUALITY = 3301
ERR_AUTH = 3302
ERR_TOO_LONG = 3308
ERR_SPEECH_DATA = 3309
ERR_RATE = 3311
ERR_FORMAT = 3312

# Members of a recognition request: name, JSON type, required.
RECOGNITION_MEMBERS = (
    ("channel", str, True),
    ("cuid", str, True),
    ("dev_pid", str, False),
    ("format", str, True),
    ("len", int, True),
    ("rate", str, True),
    ("speech", str, True),
    ("token", str, True),
)

NON_JSON_BODY = b"<html>internal error</html>"
# Shapes of an oversized reply: the text before and after its filler, and the
# filler byte. "result" and "token" are sound replies whose one text is huge;
# "control" is a JSON text of control bytes with no err_no.
LARGE_SHAPES = {
    "result": (b'{"err_msg":"success.","err_no":0,"result":["', b'"]}', b"a"),
    "control": (b'{"noise":"', b'"}', b"\x01"),
    "token": (b'{"access_token":"', b'","expires_in":2592000,"scope":"speech_recognition"}', b"t"),
}
LARGE_CHUNK_BYTES = 1 << 16
# How a "cut" reply reaches the client: "body", a body that ends at the cut
# under a Content-Length that matches it; "length", a Content-Length that ends
# at the cut over the whole body.
CUT_MODES = ("body", "length")


class RequestError(Exception):
    def __init__(self, err_no, err_msg, status=200):
        super().__init__(err_msg)
        self.err_no = err_no
        self.err_msg = err_msg
        self.status = status


class ServiceState:
    """Everything the handlers share; every access goes through the lock."""

    def __init__(self, key_pairs, token_lifetime, latency=(0.0, 0.0)):
        self.lock = threading.Lock()
        self.keys = set(key_pairs) | {DEFAULT_KEY}
        self.start_lifetime = token_lifetime
        self.token_lifetime = token_lifetime
        self.start_latency = latency
        self.latency = latency
        self.tokens = {}
        self.sequence = 0
        self.reset()

    def reset(self):
        with self.lock:
            self.token_requests = 0
            self.recognize_requests = 0
            self.requests = collections.deque(maxlen=REQUEST_LOG_SIZE)
            self.failures = {"token": collections.deque(), "recognize": collections.deque()}
            self.token_lifetime = self.start_lifetime
            self.latency = self.start_latency

    def count_request(self, endpoint):
        with self.lock:
            if endpoint == "token":
                self.token_requests += 1
            else:
                self.recognize_requests += 1
            self.sequence += 1
            return self.sequence

    def take_failure(self, target):
        with self.lock:
            queue = self.failures[target]
            return queue.popleft() if queue else None

    def add_failures(self, target, failure, count):
        with self.lock:
            self.failures[target].extend(dict(failure) for _ in range(count))

    def record(self, entry):
        with self.lock:
            self.requests.append(entry)

    def issue_token(self):
        token = "vt." + secrets.token_hex(16)
        with self.lock:
            lifetime = self.token_lifetime
            self.tokens[token] = time.time() + lifetime
        return token, lifetime

    def token_problem(self, token):
        """None for a valid token, else why it is refused."""
        with self.lock:
            expiry = self.tokens.get(token)
        if expiry is None:
            return "invalid token"
        if time.time() >= expiry:
            return "token expired"
        return None

    def expire_tokens(self):
        with self.lock:
            now = time.time()
            for token in self.tokens:
                self.tokens[token] = now - 1

    def set_token_lifetime(self, seconds):
        with self.lock:
            self.token_lifetime = seconds

    def set_latency(self, latency):
        with self.lock:
            self.latency = latency

    def reply_delay(self, audio_bytes):
        """Seconds a recognition reply takes in all under the latency model."""
        with self.lock:
            fixed, per_second = self.latency
        return fixed + per_second * audio_bytes / (2 * tonespeech.SAMPLE_RATE)

    def add_key(self, client_id, client_secret):
        with self.lock:
            self.keys.add((client_id, client_secret))

    def knows_key(self, client_id, client_secret):
        with self.lock:
            return (client_id, client_secret) in self.keys

    def stats(self):
        with self.lock:
            return {
                "token_requests": self.token_requests,
                "recognize_requests": self.recognize_requests,
                "pending": {target: list(queue) for target, queue in self.failures.items()},
                "requests": [dict(entry) for entry in self.requests],
                "latency": {"fixed": self.latency[0], "per_second": self.latency[1]},
            }


def new_request_entry(sequence, endpoint, query):
    # Made as soon as the request has been read in full.
    return {"seq": sequence, "endpoint": endpoint, "err_no": None, "err_msg": None,
            "injected": None, "query": query, "content_type": None, "client_id": None,
            "cuid": None, "dev_pid": None, "len": None, "token": None, "text": None,
            "received_at": round(time.time(), 3), "upload_seconds": None, "service_seconds": None}


def single_query_values(query):
    return {name: values[-1] for name, values in urllib.parse.parse_qs(query, keep_blank_values=True).items()}


def check_token_query(state, params):
    for name in ("client_id", "client_secret", "grant_type"):
        if name not in params:
            raise RequestError(ERR_PARAMETER, "invalid parameter: %s missing" % name, 400)
    if params["grant_type"] != "client_credentials":
        raise RequestError(ERR_PARAMETER, "unsupported grant_type", 400)
    if not state.knows_key(params["client_id"], params["client_secret"]):
        raise RequestError(ERR_AUTH, "unknown client id or secret", 401)


def parse_recognition_body(content_type, body):
    if content_type != "application/json":
        raise RequestError(ERR_PARAMETER, "invalid parameter: Content-Type must be application/json")
    try:
        request = json.loads(body.decode("utf-8"))
    except (UnicodeDecodeError, ValueError):
        raise RequestError(ERR_PARAMETER, "invalid parameter: body is not JSON")
    if not isinstance(request, dict):
        raise RequestError(ERR_PARAMETER, "invalid parameter: body is not a JSON object")
    return request


def has_json_type(value, expected):
    # bool is an int in Python, but true/false are not numbers in JSON.
    if expected is int:
        return isinstance(value, int) and not isinstance(value, bool)
    return isinstance(value, expected)


def check_member_types(request):
    for name, expected, required in RECOGNITION_MEMBERS:
        if name not in request:
            if required:
                raise RequestError(ERR_PARAMETER, "invalid parameter: %s missing" % name)
            continue
        if not has_json_type(request[name], expected):
            kind = "a string" if expected is str else "an integer number"
            raise RequestError(ERR_PARAMETER, "invalid parameter: %s must be %s" % (name, kind))


def check_member_values(request):
    if request["channel"] != "1":
        raise RequestError(ERR_PARAMETER, "invalid parameter: channel must be \"1\"")
    if not request["cuid"]:
        raise RequestError(ERR_PARAMETER, "invalid parameter: cuid empty")
    if "dev_pid" in request and request["dev_pid"] not in KNOWN_DEV_PIDS:
        raise RequestError(ERR_PARAMETER, "invalid parameter: unknown dev_pid")
    if request["len"] < 0:
        raise RequestError(ERR_PARAMETER, "invalid parameter: len negative")


def decode_speech(request):
    try:
        pcm = base64.b64decode(request["speech"], validate=True)
    except (binascii.Error, ValueError):
        raise RequestError(ERR_SPEECH_DATA, "speech data error: speech is not Base64")
    if len(pcm) != request["len"]:
        raise RequestError(ERR_SPEECH_DATA, "speech data error: len %d but %d bytes of speech"
                           % (request["len"], len(pcm)))
    if not pcm:
        raise RequestError(ERR_SPEECH_DATA, "speech data error: no audio")
    return pcm


def check_audio_settings(request, pcm):
    if request["rate"] != "16000":
        raise RequestError(ERR_RATE, "unsupported sample rate")
    if request["format"] != "pcm":
        raise RequestError(ERR_FORMAT, "unsupported format")
    if len(pcm) > MAX_SPEECH_BYTES:
        raise RequestError(ERR_TOO_LONG, "speech too long")


def note_request_members(entry, request):
    for name in ("cuid", "dev_pid", "len", "token"):
        entry[name] = request.get(name)


class PieceDecoder:
    """Recognises tone speech in worker processes, so that concurrent requests
    are decoded in parallel instead of taking turns on the interpreter lock."""

    def __init__(self, workers):
        # Spawned, not forked: the server's threads are not to be copied.
        self.pool = multiprocessing.get_context("spawn").Pool(workers) if workers > 0 else None

    def decode(self, pcm):
        if self.pool is None:
            return tonespeech.decode_pcm(pcm)
        return self.pool.apply(tonespeech.decode_pcm, (pcm,))

    def close(self):
        if self.pool is not None:
            self.pool.terminate()
            self.pool.join()


def recognise(state, decoder, content_type, body, entry):
    """The recognised text of a valid request; RequestError for an invalid one."""
    request = parse_recognition_body(content_type, body)
    note_request_members(entry, request)
    check_member_types(request)
    check_member_values(request)
    problem = state.token_problem(request["token"])
    if problem:
        raise RequestError(ERR_AUTH, "authentication failed: " + problem)
    pcm = decode_speech(request)
    check_audio_settings(request, pcm)
    return decoder.decode(pcm)


def success_reply(sequence, text):
    return {"corpus_no": "%d%06d" % (int(time.time()), sequence), "err_msg": "success.",
            "err_no": 0, "result": [text], "sn": "%s%d" % (secrets.token_hex(8), int(time.time()))}


def cut_position(payload, value):
    """The byte offset halfway (in characters) into the reply's main text: the
    first result, else the access token, else the error message; just after
    its opening quote when the text is empty."""
    for key in ("result", "access_token", "err_msg"):
        text = value.get(key)
        if key == "result":
            text = text[0] if isinstance(text, list) and text and isinstance(text[0], str) else None
        if not isinstance(text, str):
            continue
        marker = ('"%s": %s' % (key, "[" if key == "result" else "")).encode("utf-8")
        start = payload.find(marker)
        if start >= 0:
            return start + len(marker) + 1 + len(text[:len(text) // 2].encode("utf-8"))
    return len(payload) // 2


def latency_from_params(params):
    """(fixed seconds, seconds per second of audio) from control parameters."""
    latency = (float(params.get("fixed", 0)), float(params.get("per_second", 0)))
    if min(latency) < 0:
        raise ValueError("latency must not be negative")
    return latency


def failure_from_params(params):
    """The injected failure and its target and count from control parameters."""
    target = params.get("target", "recognize")
    kind = params.get("kind", "error")
    if target not in ("recognize", "token"):
        raise ValueError("target must be recognize or token")
    if kind not in ("error", "non_json", "delay", "drop", "oauth_error", "body", "large", "cut"):
        raise ValueError("kind must be error, non_json, delay, drop, oauth_error, body, large or cut")
    if kind == "oauth_error" and target != "token":
        raise ValueError("an oauth_error is a token reply")
    count = int(params.get("count", 1))
    if count < 1:
        raise ValueError("count must be at least 1")
    failure = {"kind": kind}
    if kind == "error":
        default_no, default_msg = ((ERR_QUALITY, "speech quality error.") if target == "recognize"
                                   else (ERR_AUTH, "injected token failure"))
        failure["err_no"] = int(params.get("err_no", default_no))
        failure["err_msg"] = str(params.get("err_msg", default_msg))
        if failure["err_no"] == 0:
            raise ValueError("err_no must not be 0")
    if kind == "delay":
        failure["delay"] = float(params.get("delay", 5))
    if kind == "oauth_error":
        # The shape of the OAuth server's own refusal: no err_no, no token.
        failure["error"] = str(params.get("error", "invalid_client"))
        failure["error_description"] = str(params.get("error_description", "unknown client id"))
    if kind == "body":
        failure["body"] = str(params["body"])
    if kind == "cut":
        failure["cut"] = str(params.get("cut", "body"))
        if failure["cut"] not in CUT_MODES:
            raise ValueError("cut must be one of " + ", ".join(CUT_MODES))
    if kind == "large":
        failure["shape"] = str(params.get("shape", "result"))
        if failure["shape"] not in LARGE_SHAPES:
            raise ValueError("shape must be one of " + ", ".join(sorted(LARGE_SHAPES)))
        head, tail, _ = LARGE_SHAPES[failure["shape"]]
        failure["bytes"] = int(params["bytes"])
        if failure["bytes"] < len(head) + len(tail):
            raise ValueError("bytes too small for the shape")
    return target, failure, count


class SpeechHandler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "speechservice/1.0"

    @property
    def state(self):
        return self.server.state

    def do_GET(self):
        self.dispatch()

    def do_POST(self):
        self.dispatch()

    def dispatch(self):
        self.cut = None
        url = urllib.parse.urlsplit(self.path)
        headers_at = time.monotonic()
        body = self.read_body()
        # Service times are counted from here: reading the body is transfer.
        self.received_at = time.monotonic()
        self.upload_seconds = round(self.received_at - headers_at, 4)
        if url.path == "/oauth/2.0/token":
            self.handle_token(url.query)
        elif url.path == "/server_api":
            self.handle_recognition(url.query, body)
        elif url.path.startswith("/control/"):
            self.handle_control(url.path[len("/control/"):], url.query, body)
        else:
            self.send_json(404, {"err_no": ERR_PARAMETER, "err_msg": "unknown path"})

    def read_body(self):
        length = int(self.headers.get("Content-Length") or 0)
        return self.rfile.read(length) if length > 0 else b""

    def send_body(self, status, content_type, payload):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(payload)))
        self.end_headers()
        self.wfile.write(payload)

    def send_large(self, shape, total):
        """A reply of total bytes, written a chunk at a time so that the
        stand-in never holds it; a client that gives up ends it."""
        head, tail, filler = LARGE_SHAPES[shape]
        self.send_response(200)
        self.send_header("Content-Type", "application/json")
        self.send_header("Content-Length", str(total))
        self.end_headers()
        remaining = total - len(head) - len(tail)
        chunk = filler * LARGE_CHUNK_BYTES
        try:
            self.wfile.write(head)
            while remaining > 0:
                self.wfile.write(chunk[:remaining])
                remaining -= min(remaining, len(chunk))
            self.wfile.write(tail)
        except (OSError, ssl.SSLError):
            pass
        self.close_connection = True

    def send_json(self, status, value):
        payload = json.dumps(value, ensure_ascii=False, sort_keys=True).encode("utf-8")
        cut, self.cut = self.cut, None
        if cut:
            self.send_cut(status, payload, cut_position(payload, value), cut)
        else:
            self.send_body(status, "application/json; charset=utf-8", payload)

    def send_cut(self, status, payload, position, cut):
        """The reply cut short at position, as a broken proxy or a service
        that stops in mid-reply sends it; the connection ends with it."""
        self.send_response(status)
        self.send_header("Content-Type", "application/json; charset=utf-8")
        self.send_header("Content-Length", str(position))
        self.end_headers()
        try:
            self.wfile.write(payload if cut == "length" else payload[:position])
        except (OSError, ssl.SSLError):
            pass
        self.close_connection = True

    def apply_failure(self, failure, entry):
        """Answers for an injected failure; True when the request needs no other answer."""
        entry["injected"] = failure["kind"]
        if failure["kind"] == "delay":
            time.sleep(failure["delay"])
            return False
        if failure["kind"] == "cut":
            # Answered as usual; send_json cuts the answer.
            self.cut = failure["cut"]
            return False
        if failure["kind"] == "drop":
            self.close_connection = True
        elif failure["kind"] == "non_json":
            self.send_body(500, "text/html", NON_JSON_BODY)
        elif failure["kind"] == "body":
            self.send_body(200, "application/json", failure["body"].encode("utf-8"))
        elif failure["kind"] == "large":
            self.send_large(failure["shape"], failure["bytes"])
        elif failure["kind"] == "oauth_error":
            entry["err_msg"] = failure["error"]
            self.send_json(401, {"error": failure["error"], "error_description": failure["error_description"]})
        else:
            entry["err_no"], entry["err_msg"] = failure["err_no"], failure["err_msg"]
            status = 401 if entry["endpoint"] == "token" else 200
            self.send_json(status, {"err_no": failure["err_no"], "err_msg": failure["err_msg"]})
        return True

    def handle_token(self, query):
        entry = new_request_entry(self.state.count_request("token"), "token", query)
        params = single_query_values(query)
        entry["client_id"] = params.get("client_id")
        # Logged on arrival, so that the log keeps the order requests came in
        # even when slow ones finish later.
        self.state.record(entry)
        try:
            failure = self.state.take_failure("token")
            if failure and self.apply_failure(failure, entry):
                return
            if self.command != "GET":
                raise RequestError(ERR_PARAMETER, "invalid parameter: the token request is a GET", 405)
            check_token_query(self.state, params)
            token, lifetime = self.state.issue_token()
            entry["token"], entry["err_no"] = token, 0
            self.send_json(200, {"access_token": token, "expires_in": lifetime, "scope": TOKEN_SCOPE})
        except RequestError as error:
            entry["err_no"], entry["err_msg"] = error.err_no, error.err_msg
            self.send_json(error.status, {"err_no": error.err_no, "err_msg": error.err_msg})

    def handle_recognition(self, query, body):
        sequence = self.state.count_request("recognize")
        entry = new_request_entry(sequence, "recognize", query)
        entry["content_type"] = self.headers.get("Content-Type")
        entry["upload_seconds"] = self.upload_seconds
        self.state.record(entry)
        try:
            failure = self.state.take_failure("recognize")
            if failure and self.apply_failure(failure, entry):
                return
            if self.command != "POST":
                raise RequestError(ERR_PARAMETER, "invalid parameter: recognition is a POST")
            text = recognise(self.state, self.server.decoder, entry["content_type"], body, entry)
            self.wait_for_latency(entry["len"])
            entry["err_no"], entry["err_msg"], entry["text"] = 0, "success.", text
            self.send_json(200, success_reply(sequence, text))
        except RequestError as error:
            entry["err_no"], entry["err_msg"] = error.err_no, error.err_msg
            self.send_json(error.status, {"err_no": error.err_no, "err_msg": error.err_msg})
        finally:
            entry["service_seconds"] = round(time.monotonic() - self.received_at, 4)

    def wait_for_latency(self, audio_bytes):
        # The model gives the whole reply time, decoding included.
        remaining = self.received_at + self.state.reply_delay(audio_bytes) - time.monotonic()
        if remaining > 0:
            time.sleep(remaining)

    def control_params(self, query, body):
        params = single_query_values(query)
        if body.strip():
            extra = json.loads(body.decode("utf-8"))
            if not isinstance(extra, dict):
                raise ValueError("body must be a JSON object")
            params.update(extra)
        return params

    def handle_control(self, action, query, body):
        try:
            params = self.control_params(query, body)
            reply = self.run_control(action, params)
        except (ValueError, KeyError, TypeError) as error:
            self.send_json(400, {"ok": False, "error": str(error)})
            return
        if reply is None:
            self.send_json(404, {"ok": False, "error": "unknown control action"})
        else:
            self.send_json(200, reply)

    def run_control(self, action, params):
        state = self.state
        if action == "stats":
            return state.stats()
        if action == "reset":
            state.reset()
        elif action == "fail":
            target, failure, count = failure_from_params(params)
            state.add_failures(target, failure, count)
        elif action == "token-lifetime":
            state.set_token_lifetime(int(params["seconds"]))
        elif action == "latency":
            state.set_latency(latency_from_params(params))
        elif action == "expire-tokens":
            state.expire_tokens()
        elif action == "keys":
            state.add_key(str(params["client_id"]), str(params["client_secret"]))
        else:
            return None
        return {"ok": True}

    def log_message(self, format, *args):
        sys.stderr.write("%s %s\n" % (self.log_date_time_string(), format % args))


class SpeechServer(http.server.ThreadingHTTPServer):
    daemon_threads = True

    def __init__(self, state, tls_context, decoder):
        super().__init__(("127.0.0.1", 0), SpeechHandler)
        self.state = state
        self.tls_context = tls_context
        self.decoder = decoder

    def finish_request(self, request, client_address):
        # The handshake runs here, on the connection's own thread, so that a
        # slow or broken client cannot hold up the accepting loop.
        request.settimeout(SOCKET_TIMEOUT_SECONDS)
        try:
            tls_request = self.tls_context.wrap_socket(request, server_side=True)
        except (ssl.SSLError, OSError) as error:
            sys.stderr.write("TLS handshake with %s failed: %s\n" % (client_address[0], error))
            return
        try:
            super().finish_request(tls_request, client_address)
        finally:
            tls_request.close()


def make_certificate(folder):
    certificate = os.path.join(folder, "speechservice-cert.pem")
    key = os.path.join(folder, "speechservice-key.pem")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-sha256",
                    "-days", "30", "-subj", "/CN=127.0.0.1",
                    "-addext", "subjectAltName=IP:127.0.0.1,DNS:localhost",
                    "-keyout", key, "-out", certificate],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    return certificate, key


def write_file_atomically(path, text):
    temporary = path + ".tmp"
    with open(temporary, "w", encoding="utf-8") as out:
        out.write(text)
    os.replace(temporary, path)


def parse_key_pair(text):
    client_id, separator, client_secret = text.partition(":")
    if not separator or not client_id or not client_secret:
        raise argparse.ArgumentTypeError("a key pair is ID:SECRET")
    return client_id, client_secret


def parse_arguments(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--port-file", required=True)
    parser.add_argument("--cert-dir", help="folder for the certificate (default: a temporary one)")
    parser.add_argument("--key", type=parse_key_pair, action="append", default=[],
                        help="a known client_id:client_secret pair")
    parser.add_argument("--token-lifetime", type=int, default=DEFAULT_TOKEN_LIFETIME)
    parser.add_argument("--decode-workers", type=int, default=DEFAULT_DECODE_WORKERS,
                        help="processes that decode speech (0: decode on the request's thread)")
    parser.add_argument("--latency-fixed", type=float, default=0.0,
                        help="seconds every recognition reply takes at least")
    parser.add_argument("--latency-per-second", type=float, default=0.0,
                        help="further seconds per second of audio")
    return parser.parse_args(argv)


def stop_on_terminate(signum, frame):
    raise SystemExit(0)


def main(argv=None):
    args = parse_arguments(argv)
    own_folder = None if args.cert_dir else tempfile.mkdtemp(prefix="speechservice-")
    cert_folder = args.cert_dir or own_folder
    decoder = None
    try:
        latency = latency_from_params({"fixed": args.latency_fixed, "per_second": args.latency_per_second})
        os.makedirs(cert_folder, exist_ok=True)
        certificate, key = make_certificate(cert_folder)
        tls_context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        tls_context.load_cert_chain(certificate, key)
        decoder = PieceDecoder(args.decode_workers)
        server = SpeechServer(ServiceState(args.key, args.token_lifetime, latency), tls_context, decoder)
        signal.signal(signal.SIGTERM, stop_on_terminate)
        pem_file = os.path.splitext(args.port_file)[0] + ".pem"
        shutil.copyfile(certificate, pem_file)
        write_file_atomically(args.port_file, str(server.server_address[1]))
        sys.stderr.write("speechservice listening on 127.0.0.1:%d\n" % server.server_address[1])
        sys.stderr.flush()
        server.serve_forever()
    finally:
        if decoder is not None:
            decoder.close()
        if own_folder:
            shutil.rmtree(own_folder, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
