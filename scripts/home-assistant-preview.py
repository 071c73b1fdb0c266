#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Draws what Home Assistant shows of a matrix that quellixd publishes, with
no Home Assistant: a simulated 8x8 with a few names and presets behind
quellixd, Debian's mosquitto on a loopback port, the retained discovery
configurations and states read back with mosquitto_sub, and a page in Home
Assistant's manner made of them, rendered by headless Chromium to
build/home-assistant/entities.png.

    scripts/home-assistant-preview.py [BUILD_DIR]"""
import html
import json
import os
import socket
import subprocess
import sys
import tempfile
import time
import urllib.request


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_for_port(port):
    for _ in range(100):
        try:
            socket.create_connection(("127.0.0.1", port)).close()
            return
        except OSError:
            time.sleep(0.05)
    raise SystemExit(f"nothing listens on port {port}")


def request(method, url, body):
    data = json.dumps(body).encode()
    urllib.request.urlopen(urllib.request.Request(url, data=data, method=method), timeout=10).read()


def retained(port):
    """Every retained message: topic -> payload."""
    out = subprocess.run(["mosquitto_sub", "-h", "127.0.0.1", "-p", str(port), "-t", "#", "-v", "--retained-only",
                          "-W", "2"], capture_output=True, text=True).stdout
    return dict(line.split(" ", 1) for line in out.splitlines() if " " in line)


def row(icon, name, value, select=False):
    shown = f'<span class="select">{html.escape(value)} &#9662;</span>' if select else html.escape(value)
    return f'<div class="row"><span class="icon">{icon}</span><span class="name">{html.escape(name)}</span>' \
           f'<span class="value">{shown}</span></div>'


def page(messages):
    configs = {topic: json.loads(payload) for topic, payload in messages.items()
               if topic.startswith("homeassistant/") and topic.endswith("/config") and payload}
    matrix = [c for c in configs.values() if c["unique_id"].startswith("quellix_")]
    device = matrix[0]["device"]
    daemon = next(c for c in configs.values() if c["device"]["identifiers"][0] == device["via_device"])
    selects = sorted((c for c in matrix if "options" in c), key=lambda c: (c["unique_id"].endswith("presets"),
                                                                           int(c["unique_id"].split("_")[-1])
                                                                           if c["unique_id"][-1].isdigit() else 0))
    sensors = sorted((c for c in matrix if "options" not in c), key=lambda c: int(c["unique_id"].split("_")[-1]))
    controls = "".join(row("&#8644;" if "output" in c["unique_id"] else "&#9654;", c["name"],
                           messages.get(c["state_topic"], "unknown"), True) for c in selects)
    signals = "".join(row("&#9673;" if messages.get(c["state_topic"]) == "ON" else "&#9675;", c["name"],
                          "Connected" if messages.get(c["state_topic"]) == "ON" else "Disconnected")
                      for c in sensors)
    return f"""<!DOCTYPE html><html><head><meta charset="utf-8"><style>
body {{ font-family: "DejaVu Sans", sans-serif; background: #fafafa; margin: 0; padding: 16px; color: #212121; }}
.bar {{ background: #03a9f4; color: white; padding: 14px 16px; font-size: 20px; margin: -16px -16px 16px; }}
.cards {{ display: flex; gap: 16px; align-items: flex-start; }}
.card {{ background: white; border-radius: 12px; box-shadow: 0 2px 4px rgba(0,0,0,.15); width: 380px; }}
.card h2 {{ font-size: 16px; font-weight: 500; margin: 0; padding: 14px 16px 6px; }}
.info {{ padding: 0 16px 14px; font-size: 13px; color: #616161; line-height: 1.6; }}
.row {{ display: flex; align-items: center; padding: 7px 16px; font-size: 14px; }}
.icon {{ width: 32px; color: #44739e; font-size: 18px; }}
.name {{ flex: 1; }}
.value {{ color: #424242; }}
.select {{ border-bottom: 1px solid #9e9e9e; padding: 2px 4px; min-width: 110px; display: inline-block; }}
</style></head><body>
<div class="bar">{html.escape(device["name"])}</div>
<div class="cards">
<div class="card"><h2>Device info</h2><div class="info">{html.escape(device["model"])}<br>
by {html.escape(device["manufacturer"])}<br>Connected via {html.escape(daemon["device"]["name"])}<br>
MQTT: {len(selects)} selects, {len(sensors)} binary sensors, availability
{html.escape(messages.get(matrix[0]["availability_topic"], "?"))}</div></div>
<div class="card"><h2>Controls</h2>{controls}</div>
<div class="card"><h2>Sensors</h2>{signals}</div>
</div></body></html>"""


def main():
    build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..",
                                                                                "build"))
    work = tempfile.mkdtemp()
    broker_port, sim_port, http_port = free_port(), free_port(), free_port()
    with open(os.path.join(work, "broker.conf"), "w") as f:
        f.write(f"listener {broker_port} 127.0.0.1\nallow_anonymous true\npersistence false\nlog_type error\n")
    processes = [subprocess.Popen(["/usr/sbin/mosquitto", "-c", os.path.join(work, "broker.conf")]),
                 subprocess.Popen([f"{build}/tools/sim/quellix-sim", "--model", "8x8", "--tcp", str(sim_port)],
                                  stdin=subprocess.PIPE, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)]
    try:
        wait_for_port(sim_port)
        config = os.path.join(work, "quellixd.conf")
        with open(config, "w") as f:
            json.dump({"http_port": http_port, "poll_ms": 200, "mqtt": {"host": "127.0.0.1", "port": broker_port},
                       "devices": [{"name": "studio", "port": f"tcp://127.0.0.1:{sim_port}", "model": "8x8",
                                    "line_port": 0, "data": work}]}, f)
        processes.append(subprocess.Popen([f"{build}/tools/daemon/quellixd", "--config", config],
                                          stderr=subprocess.DEVNULL))
        wait_for_port(http_port)
        api = f"http://127.0.0.1:{http_port}/api/devices/studio"
        request("PUT", api + "/names", {"inputs": {"1": "Camera", "2": "Laptop", "3": "Media player"},
                                        "outputs": {"1": "Projector", "2": "Stage monitor", "3": "Recorder"}})
        request("PUT", api + "/presets/Lecture", {"routing": [2, 2, 1, 2, 2, 2, 2, 2]})
        request("PUT", api + "/presets/Film", {"routing": [3, 3, 3, 3, 3, 3, 3, 3]})
        request("PUT", api + "/presets/Morning", {"routing": [1, 2, 1, 3, 3, 2, 1, 4]})
        request("POST", api + "/presets/Morning/recall", {})
        processes[1].stdin.write(b"signal 1 1\nsignal 2 1\nsignal 4 1\n")  # the front panel: cables plugged in
        processes[1].stdin.flush()
        time.sleep(1)  # a poll reads the signals; the last changes reach the broker
        messages = retained(broker_port)
    finally:
        for process in reversed(processes):
            process.terminate()
    folder = os.path.join(build, "home-assistant")
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "entities.html"), "w") as f:
        f.write(page(messages))
    picture = os.path.join(folder, "entities.png")
    subprocess.run(["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--hide-scrollbars",
                    f"--screenshot={picture}", "--window-size=1240,450",
                    "file://" + os.path.join(folder, "entities.html")],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    print(picture)


if __name__ == "__main__":
    main()
