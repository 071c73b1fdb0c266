#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""quellixd's MQTT side, measured on the programs: Debian's mosquitto on a
loopback port, a simulated 8x8 on TCP (no baud pacing) behind the relay of
bench/daemon.py, which notes when the daemon's bytes reach the device,
quellixd with an "mqtt" section, and a small MQTT 3.1.1 client in this
script that times what it sends and hears.

  - an MQTT set of one output (QoS 1) on a rested line until the first byte
    of the routing job reaches the device, and until the output's new state
    is published (the route read, written and read back);
  - a front-panel change on the simulator until the output's state message,
    with poll_ms 2000 (the default) and 200: the daemon reads the device's
    event messages when it polls.

    bench/mqtt.py [BUILD_DIR] [RUNS]

RUNS is the sets and the front-panel changes of each kind (default 20)."""
import json
import os
import random
import socket
import struct
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from daemon import Relay, connect, describe, free_port  # noqa: E402

BROKER = "/usr/sbin/mosquitto"


def encoded(text):
    data = text.encode()
    return struct.pack("!H", len(data)) + data


def packet(kind, body):
    length, size = b"", len(body)
    while True:
        byte, size = size % 128, size // 128
        length += bytes([byte | (0x80 if size else 0)])
        if not size:
            return bytes([kind]) + length + body


class Client:
    """Connects, subscribes to everything and keeps (time, topic, payload)
    of each message heard."""

    def __init__(self, port):
        self.socket = connect(port)
        self.heard = []
        self.lock = threading.Lock()
        self.next_id = 1
        self.socket.sendall(packet(0x10, encoded("MQTT") + bytes([4, 2, 0, 60]) + encoded("bench")))
        self.socket.sendall(packet(0x82, struct.pack("!H", self.take_id()) + encoded("#") + b"\x01"))
        threading.Thread(target=self.read, daemon=True).start()

    def take_id(self):
        self.next_id += 1
        return self.next_id

    def publish(self, topic, payload):
        body = encoded(topic) + struct.pack("!H", self.take_id()) + payload.encode()
        self.socket.sendall(packet(0x32, body))

    def exactly(self, count):
        data = b""
        while len(data) < count:
            piece = self.socket.recv(count - len(data))
            if not piece:
                raise EOFError
            data += piece
        return data

    def read(self):
        try:
            while True:
                kind = self.exactly(1)[0]
                length, shift = 0, 0
                while True:
                    byte = self.exactly(1)[0]
                    length += (byte & 0x7F) << shift
                    shift += 7
                    if not byte & 0x80:
                        break
                body = self.exactly(length)
                now = time.perf_counter()
                if kind >> 4 != 3:
                    continue
                size = struct.unpack("!H", body[:2])[0]
                topic, rest = body[2:2 + size].decode(), body[2 + size:]
                if kind & 0x06:  # QoS 1: acknowledged
                    self.socket.sendall(packet(0x40, rest[:2]))
                    rest = rest[2:]
                with self.lock:
                    self.heard.append((now, topic, rest.decode(errors="replace")))
        except (EOFError, OSError):
            pass

    def wait_for(self, topic, payload, after, seconds=10):
        end = time.perf_counter() + seconds
        while time.perf_counter() < end:
            with self.lock:
                for moment, heard_topic, heard_payload in self.heard:
                    if moment >= after and heard_topic == topic and heard_payload == payload:
                        return moment
            time.sleep(0.001)
        raise SystemExit(f"no {topic} = {payload} within {seconds} s")


def run(build, work, poll_ms, runs):
    broker_port, sim_port, http_port = free_port(), free_port(), free_port()
    with open(os.path.join(work, "broker.conf"), "w") as f:
        f.write(f"listener {broker_port} 127.0.0.1\nallow_anonymous true\npersistence false\nlog_type error\n")
    broker = subprocess.Popen([BROKER, "-c", os.path.join(work, "broker.conf")])
    sim = subprocess.Popen([f"{build}/tools/sim/quellix-sim", "--model", "8x8", "--tcp", str(sim_port)],
                           stdin=subprocess.PIPE, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, text=True)
    time.sleep(0.3)
    relay = Relay(sim_port)
    config = os.path.join(work, "quellixd.conf")
    with open(config, "w") as f:
        json.dump({"http_port": http_port, "poll_ms": poll_ms, "mqtt": {"host": "127.0.0.1", "port": broker_port},
                   "devices": [{"name": "bench", "port": f"tcp://127.0.0.1:{relay.port}", "model": "8x8",
                                "line_port": 0}]}, f)
    daemon = subprocess.Popen([f"{build}/tools/daemon/quellixd", "--config", config],
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        client = Client(broker_port)
        client.wait_for("quellix/bench/availability", "online", 0)
        first_bytes, confirmed, front_panel = [], [], []
        for k in range(runs):
            input_ = f"input {k % 7 + 2}"
            time.sleep(0.3)  # a rested line
            start = time.perf_counter()
            client.publish("quellix/bench/output/3/set", input_)
            confirmed.append((client.wait_for("quellix/bench/output/3", input_, start) - start) * 1000)
            arrival = relay.first_after(start)
            if arrival is None:
                raise SystemExit("no byte of the set reached the device")
            first_bytes.append((arrival - start) * 1000)
        for k in range(runs):
            time.sleep(random.uniform(0.05, poll_ms / 1000))  # any moment of the poll's period
            start = time.perf_counter()
            sim.stdin.write(f"route 5 {k % 7 + 2}\n")
            sim.stdin.flush()
            front_panel.append((client.wait_for("quellix/bench/output/5", f"input {k % 7 + 2}", start) - start)
                               * 1000)
        return first_bytes, confirmed, front_panel
    finally:
        daemon.terminate()
        sim.terminate()
        broker.terminate()
        daemon.wait()


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "build")
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 20
    if not os.path.exists(BROKER):
        raise SystemExit(f"{BROKER} is not installed (Debian's mosquitto)")
    for poll_ms in (2000, 200):
        first_bytes, confirmed, front_panel = run(build, tempfile.mkdtemp(), poll_ms, runs)
        if poll_ms == 2000:
            print("MQTT set until the first byte reaches the device, rested line:", describe(first_bytes))
            print("MQTT set until the output's state is published (read, write, read back):", describe(confirmed))
        print(f"front-panel change until the output's state message, poll_ms {poll_ms}:", describe(front_panel),
              f"longest {max(front_panel):.1f} ms")


if __name__ == "__main__":
    main()
