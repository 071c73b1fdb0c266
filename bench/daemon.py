#!/usr/bin/env python3
"""What quellixd adds, measured on the programs themselves: a simulated 8x8
on TCP (no baud pacing, so the daemon's own time shows), quellixd in front of
it, and raw clients speaking the protocol.

  - one ID query's round trip straight to the simulator and through the
    shared line (median and 95th percentile of 500);
  - the same with 10 clients at once through the shared line: commands a
    second;
  - HTTP: PUT of one output's routing until the answer, and GET of a
    device, median of 20 (a PUT reads, writes and reads back the routing,
    each exchange after the core's 200 ms pacing).

    bench/daemon.py [BUILD_DIR]"""
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

HEADER_8X8 = bytes([0x4B, 0x58, 0x73, 0x88])


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def id_query():
    frame = bytes([8]) + HEADER_8X8 + bytes([255, 0x04])
    return frame + bytes([sum(frame) & 0xFF])


def connect(port):
    for _ in range(100):
        try:
            s = socket.create_connection(("127.0.0.1", port))
            s.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
            return s
        except OSError:
            time.sleep(0.05)
    raise SystemExit(f"nothing listens on port {port}")


def round_trips(port, count):
    s = connect(port)
    times = []
    for _ in range(count):
        start = time.perf_counter()
        s.sendall(id_query())
        got = b""
        while len(got) < 4:  # AA and the 3-byte answer
            got += s.recv(16)
        times.append((time.perf_counter() - start) * 1000)
    s.close()
    return times


def describe(times):
    times = sorted(times)
    return f"median {statistics.median(times):.2f} ms, 95th percentile {times[int(len(times) * 0.95)]:.2f} ms"


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "build")
    sim_port, direct_port, line_port, http_port = free_port(), free_port(), free_port(), free_port()
    work = tempfile.mkdtemp()
    # A simulator serves one client: one behind the daemon, one asked directly.
    sims = [subprocess.Popen([f"{build}/tools/sim/quellix-sim", "--model", "8x8", "--tcp", str(port)],
                             stdin=subprocess.PIPE, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            for port in (sim_port, direct_port)]
    config = os.path.join(work, "quellixd.conf")
    with open(config, "w") as f:
        json.dump({"http_port": http_port, "devices": [{"name": "studio", "port": f"tcp://127.0.0.1:{sim_port}",
                                                        "model": "8x8", "line_port": line_port, "data": work}]}, f)
    daemon = subprocess.Popen([f"{build}/tools/daemon/quellixd", "--config", config],
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        time.sleep(1.5)  # the daemon opens the device and reads its state
        print("ID query straight to the simulator:", describe(round_trips(direct_port, 500)))
        print("ID query through the shared line:  ", describe(round_trips(line_port, 500)))

        counts = []
        def client():
            counts.append(len(round_trips(line_port, 200)))
        threads = [threading.Thread(target=client) for _ in range(10)]
        start = time.perf_counter()
        for t in threads:
            t.start()
        for t in threads:
            t.join()
        elapsed = time.perf_counter() - start
        print(f"10 clients through the shared line: {sum(counts)} commands in {elapsed:.2f} s, "
              f"{sum(counts) / elapsed:.0f} a second")

        url = f"http://127.0.0.1:{http_port}/api/devices/studio"
        gets, puts = [], []
        for k in range(20):
            start = time.perf_counter()
            urllib.request.urlopen(url, timeout=10).read()
            gets.append((time.perf_counter() - start) * 1000)
            request = urllib.request.Request(url + "/routing", data=json.dumps({"3": k % 8 + 1}).encode(),
                                             method="PUT", headers={"Content-Type": "application/json"})
            start = time.perf_counter()
            urllib.request.urlopen(request, timeout=10).read()
            puts.append((time.perf_counter() - start) * 1000)
        print("HTTP GET of the device:", describe(gets))
        print("HTTP PUT of one output (read, write, read back):", describe(puts))
    finally:
        daemon.terminate()
        for sim in sims:
            sim.terminate()


if __name__ == "__main__":
    main()
