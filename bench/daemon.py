#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""What quellixd adds, measured on the programs themselves: a simulated 8x8
on TCP (no baud pacing, so the daemon's own time shows), quellixd in front of
it, and raw clients speaking the protocol.

  - one ID query's round trip straight to the simulator (median and 95th
    percentile of 500) and through the shared line on a rested line (20);
  - ID queries sent back to back through the shared line: the device's
    200 ms rest between exchanges, kept whoever sends (20);
  - 10 clients at once through the shared line, 10 commands each: commands
    a second (the rest allows five a second at most);
  - HTTP: PUT of one output's routing on a rested line until the answer,
    and GET of a device, median of 20 (a PUT reads, writes and reads back
    the routing, the device resting 200 ms between the exchanges);
  - HTTP PUT of one output until the first byte of the frames it causes
    reaches the device: a second simulated 8x8 sits behind a relay in this
    script that notes when each piece from the daemon arrives;
  - a quellix-cli route through the shared line and an HTTP PUT of another
    output, each alone and both at once (median of 5): neither undoes the
    other, and the time each takes when it waits for the other.

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


def round_trips(port, count, done=None):
    s = connect(port)
    times = []
    for _ in range(count):
        start = time.perf_counter()
        s.sendall(id_query())
        got = b""
        while len(got) < 4:  # AA and the 3-byte answer
            got += s.recv(16)
        end = time.perf_counter()
        times.append((end - start) * 1000)
        if done is not None:
            done.append(end)
    s.close()
    return times


class Relay:
    """Passes the daemon's connection to a device on to a simulator and notes
    when each piece of bytes from the daemon arrives (time.perf_counter())."""

    def __init__(self, target_port):
        self.target_port = target_port
        self.listener = socket.create_server(("127.0.0.1", 0))
        self.port = self.listener.getsockname()[1]
        self.arrivals = []
        self.lock = threading.Lock()
        threading.Thread(target=self.accept, daemon=True).start()

    def accept(self):
        while True:
            try:
                daemon_side, _ = self.listener.accept()
            except OSError:
                return
            device_side = connect(self.target_port)
            daemon_side.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
            threading.Thread(target=self.pump, args=(daemon_side, device_side, True), daemon=True).start()
            threading.Thread(target=self.pump, args=(device_side, daemon_side, False), daemon=True).start()

    def pump(self, source, target, to_device):
        try:
            while data := source.recv(4096):
                if to_device:
                    with self.lock:
                        self.arrivals.append(time.perf_counter())
                target.sendall(data)
        except OSError:
            pass
        for s in (source, target):
            try:
                s.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass

    def first_after(self, moment):
        with self.lock:
            return next((t for t in self.arrivals if t >= moment), None)


def timed(action):
    start = time.perf_counter()
    action()
    return (time.perf_counter() - start) * 1000


def put_routing(url, body):
    request = urllib.request.Request(url, data=json.dumps(body).encode(), method="PUT",
                                     headers={"Content-Type": "application/json"})
    urllib.request.urlopen(request, timeout=20).read()


def routing_side_by_side(build, line_port, url):
    """A command-line route and an HTTP PUT, alone and at once."""
    def cli(input_):
        subprocess.run([f"{build}/tools/cli/quellix-cli", "--port", f"tcp://127.0.0.1:{line_port}", "--model", "8x8",
                        "route", f"3:{input_}"], check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    alone_cli, alone_put, both_cli, both_put = [], [], [], []
    for k in range(5):
        time.sleep(0.3)  # a rested line
        alone_cli.append(timed(lambda: cli(k % 8 + 1)))
        time.sleep(0.3)
        alone_put.append(timed(lambda: put_routing(url + "studio/routing", {"1": k % 8 + 1})))
    for k in range(5):
        time.sleep(0.3)
        cli_time = []
        thread = threading.Thread(target=lambda: cli_time.append(timed(lambda: cli(k % 8 + 2))))
        thread.start()
        both_put.append(timed(lambda: put_routing(url + "studio/routing", {"1": (k + 4) % 8 + 1})))
        thread.join()
        both_cli.append(cli_time[0])
        routing = json.load(urllib.request.urlopen(url + "studio", timeout=10))["routing"]
        if routing[0] != (k + 4) % 8 + 1 or routing[2] != k % 8 + 2:
            raise SystemExit(f"a change was lost: {routing}")
    print("quellix-cli route through the shared line, alone:", describe(alone_cli))
    print("HTTP PUT of one output, alone (rested line):", describe(alone_put))
    print("both at once: quellix-cli", describe(both_cli), "| HTTP PUT", describe(both_put), "| both kept 5 of 5")


def describe(times):
    times = sorted(times)
    return f"median {statistics.median(times):.2f} ms, 95th percentile {times[int(len(times) * 0.95)]:.2f} ms"


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "build")
    sim_port, direct_port, relayed_port = free_port(), free_port(), free_port()
    line_port, hall_line_port, http_port = free_port(), free_port(), free_port()
    work = tempfile.mkdtemp()
    # A simulator serves one client: one behind the daemon, one asked directly,
    # one behind the daemon and the relay.
    sims = [subprocess.Popen([f"{build}/tools/sim/quellix-sim", "--model", "8x8", "--tcp", str(port)],
                             stdin=subprocess.PIPE, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            for port in (sim_port, direct_port, relayed_port)]
    time.sleep(0.3)
    relay = Relay(relayed_port)
    config = os.path.join(work, "quellixd.conf")
    with open(config, "w") as f:
        json.dump({"http_port": http_port, "devices": [
            {"name": "studio", "port": f"tcp://127.0.0.1:{sim_port}", "model": "8x8", "line_port": line_port,
             "data": work},
            {"name": "hall", "port": f"tcp://127.0.0.1:{relay.port}", "model": "8x8", "line_port": hall_line_port,
             "data": work}]}, f)
    daemon = subprocess.Popen([f"{build}/tools/daemon/quellixd", "--config", config],
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        time.sleep(1.5)  # the daemon opens the devices and reads their state
        print("ID query straight to the simulator:", describe(round_trips(direct_port, 500)))
        rested = []
        for _ in range(20):
            time.sleep(0.25)
            rested += round_trips(line_port, 1)
        print("ID query through the shared line, rested line:", describe(rested))
        print("ID queries back to back through the shared line:", describe(round_trips(line_port, 20)))

        done = []
        threads = [threading.Thread(target=round_trips, args=(line_port, 10, done)) for _ in range(10)]
        start = time.perf_counter()
        for t in threads:
            t.start()
        for t in threads:
            t.join()
        elapsed = time.perf_counter() - start
        print(f"10 clients through the shared line: {len(done)} commands in {elapsed:.2f} s, "
              f"{len(done) / elapsed:.2f} a second")

        url = f"http://127.0.0.1:{http_port}/api/devices/"
        gets, puts, first_bytes = [], [], []
        for k in range(20):
            start = time.perf_counter()
            urllib.request.urlopen(url + "studio", timeout=10).read()
            gets.append((time.perf_counter() - start) * 1000)
            request = urllib.request.Request(url + "hall/routing", data=json.dumps({"3": k % 8 + 1}).encode(),
                                             method="PUT", headers={"Content-Type": "application/json"})
            time.sleep(0.25)  # a rested line: nothing of the last request is on its way
            start = time.perf_counter()
            urllib.request.urlopen(request, timeout=10).read()
            puts.append((time.perf_counter() - start) * 1000)
            arrival = relay.first_after(start)
            if arrival is None:
                raise SystemExit("no byte of the PUT reached the device")
            first_bytes.append((arrival - start) * 1000)
        print("HTTP GET of the device:", describe(gets))
        print("HTTP PUT of one output (read, write, read back):", describe(puts))
        print("HTTP PUT of one output until the first byte reaches the device:", describe(first_bytes))
        routing_side_by_side(build, line_port, url)
    finally:
        daemon.terminate()
        for sim in sims:
            sim.terminate()


if __name__ == "__main__":
    main()
