#!/usr/bin/env python3
"""How many 58-second pieces per second the speech stand-in recognises.

Starts a private stand-in, sends it PIECES recognition requests of one
58-second tone-speech piece from CLIENTS threads at once (the program runs up
to ten pieces at a time) and prints the rate, once per decode-worker setting.
    bench/standin_rate.py [--pieces 40] [--clients 10] [--workers N ...]
"""

import argparse
import base64
import http.client
import json
import os
import ssl
import subprocess
import sys
import tempfile
import threading
import time
import urllib.parse

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
SERVICE = os.path.join(ROOT, "standins", "speechservice", "speechservice.py")

KEY = ("VtRestDefaultApiKey24chr", "VtRestDefaultSecretKey32chars000")
PIECE_SECONDS = 58


def piece_pcm():
    """One REST piece of tone speech, as dense as the bench's recording."""
    with tempfile.TemporaryDirectory() as folder:
        out = os.path.join(folder, "piece.pcm")
        subprocess.run([sys.executable, os.path.join(ROOT, "tests", "media", "make_speech.py"),
                        "--duration", str(PIECE_SECONDS), "--seed", "11", "--out", out],
                       check=True, stdout=subprocess.DEVNULL)
        with open(out, "rb") as data:
            return data.read()


class Service:
    def __init__(self, folder, workers):
        port_file = os.path.join(folder, "speechservice.port")
        command = [sys.executable, SERVICE, "--port-file", port_file]
        if workers is not None:
            command += ["--decode-workers", str(workers)]
        self.process = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 60
        while not os.path.exists(port_file):
            if self.process.poll() is not None or time.monotonic() > deadline:
                raise RuntimeError("speechservice did not start")
            time.sleep(0.05)
        with open(port_file) as port:
            self.port = int(port.read())
        self.tls = ssl.create_default_context(cafile=os.path.join(folder, "speechservice.pem"))

    def request(self, method, path, body=None, headers=None):
        connection = http.client.HTTPSConnection("127.0.0.1", self.port, context=self.tls, timeout=600)
        try:
            connection.request(method, path, body=body, headers=headers or {})
            return json.loads(connection.getresponse().read().decode("utf-8"))
        finally:
            connection.close()

    def token(self):
        query = urllib.parse.urlencode({"client_id": KEY[0], "client_secret": KEY[1],
                                        "grant_type": "client_credentials"})
        return self.request("GET", "/oauth/2.0/token?" + query)["access_token"]

    def stop(self):
        self.process.terminate()
        self.process.wait(30)


def measure(workers, pcm, pieces, clients):
    with tempfile.TemporaryDirectory() as folder:
        service = Service(folder, workers)
        try:
            body = json.dumps({"channel": "1", "cuid": KEY[0], "format": "pcm", "len": len(pcm), "rate": "16000",
                               "speech": base64.b64encode(pcm).decode("ascii"), "token": service.token()})
            headers = {"Content-Type": "application/json"}
            # One warm-up request, so that no worker is still starting.
            service.request("POST", "/server_api", body, headers)
            remaining = [pieces]
            lock = threading.Lock()
            failures = []

            def client():
                while True:
                    with lock:
                        if remaining[0] == 0:
                            return
                        remaining[0] -= 1
                    if service.request("POST", "/server_api", body, headers).get("err_no") != 0:
                        failures.append(1)

            threads = [threading.Thread(target=client) for _ in range(clients)]
            started = time.monotonic()
            for thread in threads:
                thread.start()
            for thread in threads:
                thread.join()
            wall = time.monotonic() - started
            stats = service.request("GET", "/control/stats")
        finally:
            service.stop()
    # The warm-up request is left out.
    times = sorted([entry["service_seconds"] for entry in stats["requests"]
                    if entry["endpoint"] == "recognize"][1:]) or [0.0]
    return wall, failures, times


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--pieces", type=int, default=40)
    parser.add_argument("--clients", type=int, default=10)
    parser.add_argument("--workers", type=int, action="append",
                        help="decode workers (repeatable; default: the stand-in's own default)")
    args = parser.parse_args()
    pcm = piece_pcm()
    for workers in args.workers or [None]:
        wall, failures, times = measure(workers, pcm, args.pieces, args.clients)
        name = "default" if workers is None else str(workers)
        print("stand-in, decode workers %-7s %d pieces of %d s from %d clients: %.1f s, %.1f pieces/s, "
              "service time median %.2f s, max %.2f s%s"
              % (name, args.pieces, PIECE_SECONDS, args.clients, wall, args.pieces / wall,
                 times[len(times) // 2], times[-1], ", %d FAILED" % len(failures) if failures else ""))
        sys.stdout.flush()
    return 0


if __name__ == "__main__":
    sys.exit(main())
