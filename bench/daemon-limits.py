#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""What hostile clients cost quellixd, measured on the program: a simulated
8x8 on TCP, quellixd in front of it, clients on loopback.

  - resident memory idle, and with 500 idle connections (from five loopback
    addresses, each within the per-host share);
  - resident memory after four 200 MiB uploads and a 200 MiB chunked one
    were attempted at once (each refused before its body is read);
  - a normal GET of a device while one host floods the daemon with
    connections that send half a head and stop, and with connections that
    send noise: median and 95th percentile of 50.

    bench/daemon-limits.py [BUILD_DIR]"""
import json
import os
import socket
import statistics
import subprocess
import sys
import tempfile
import threading
import time
import urllib.request


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def resident_kib(pid):
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def connect(port, source="127.0.0.1"):
    s = socket.socket()
    s.bind((source, 0))
    s.connect(("127.0.0.1", port))
    return s


def get_ms(url):
    start = time.perf_counter()
    urllib.request.urlopen(url, timeout=10).read()
    return (time.perf_counter() - start) * 1000


def describe(times):
    times = sorted(times)
    return f"median {statistics.median(times):.2f} ms, 95th percentile {times[int(len(times) * 0.95)]:.2f} ms"


def upload(port, chunked):
    """Starts a 200 MiB upload and sends until the daemon answers or stops reading."""
    s = connect(port)
    s.settimeout(5)
    head = b"PUT /api/devices/studio/routing HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/json\r\n"
    head += b"Transfer-Encoding: chunked\r\n\r\n" if chunked else b"Content-Length: 209715200\r\n\r\n"
    s.sendall(head)
    piece = (b"100000\r\n" + b" " * 0x100000 + b"\r\n") if chunked else b"1" * 0x100000
    sent = 0
    try:
        while sent < 200:
            s.sendall(piece)
            sent += 1
    except OSError:
        pass
    try:
        answer = s.recv(64)
    except OSError:
        answer = b""
    s.close()
    return sent, answer[:12]


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "build")
    sim_port, http_port, line_port = free_port(), free_port(), free_port()
    work = tempfile.mkdtemp()
    sim = subprocess.Popen([f"{build}/tools/sim/quellix-sim", "--model", "8x8", "--tcp", str(sim_port)],
                           stdin=subprocess.PIPE, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    time.sleep(0.3)
    config = os.path.join(work, "quellixd.conf")
    with open(config, "w") as f:
        json.dump({"http_port": http_port, "max_clients": 600, "devices": [
            {"name": "studio", "port": f"tcp://127.0.0.1:{sim_port}", "model": "8x8", "line_port": line_port}]}, f)
    daemon = subprocess.Popen([f"{build}/tools/daemon/quellixd", "--config", config],
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    url = f"http://127.0.0.1:{http_port}/api/devices/studio"
    try:
        time.sleep(1.5)
        print(f"idle: {resident_kib(daemon.pid) / 1024:.1f} MB")
        idle = [connect(http_port, f"127.0.0.{2 + k % 5}") for k in range(500)]
        time.sleep(1)
        print(f"500 idle connections: {resident_kib(daemon.pid) / 1024:.1f} MB")
        for s in idle:
            s.close()
        time.sleep(0.5)

        before = resident_kib(daemon.pid)
        results = []
        threads = [threading.Thread(target=lambda c=c: results.append(upload(http_port, c)))
                   for c in (False, False, False, False, True)]
        for t in threads:
            t.start()
        for t in threads:
            t.join()
        after = resident_kib(daemon.pid)
        print(f"five 200 MiB uploads attempted: {(after - before) / 1024:+.1f} MB resident "
              f"({', '.join(f'{sent} MiB sent, {answer!r}' for sent, answer in results)})")

        quiet = [get_ms(url) for _ in range(50)]
        print("GET of a device, quiet:", describe(quiet))
        flood = []
        for k in range(150):  # one host: its share is taken, the rest refused
            try:
                s = connect(http_port, "127.0.0.9")
                s.sendall(b"GET / HTTP/1.1\r\nHost: 127.0")
                flood.append(s)
            except OSError:
                pass
        noise = [connect(line_port, "127.0.0.9") for _ in range(20)]
        for s in noise:
            s.sendall(os.urandom(2000))
        print("GET of a device, one host flooding:", describe([get_ms(url) for _ in range(50)]))
        for s in flood + noise:
            s.close()
    finally:
        daemon.terminate()
        sim.terminate()


if __name__ == "__main__":
    main()
