#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The web panel in a real browser: headless Chromium loads the page that
quellixd serves for a simulated 8x8 and works it as an operator would: the
crosspoint grid routes and follows the front panel; names and presets made in
the page land in the data folder (the CLI lists the preset); a locked output
refuses a tap; take mode sends its prepared changes in one request; the phone
layout shows the button lists; the page says when the device or the daemon is
gone and comes back by itself.

    panel_in_browser.py QUELLIXD QUELLIX_SIM QUELLIX_CLI [--screenshots DIR]

With PANEL_SCREENSHOTS=1 in the environment the page
is saved as DIR/panel-wide.png (1366x768) and DIR/panel-phone.png (390x844).
Exit 0 when all is well, 77 (skipped) when no browser or Selenium is
installed, 1 on a fault."""
import argparse
import json
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time
import urllib.error
import urllib.request

try:
    from selenium import webdriver
    from selenium.common.exceptions import WebDriverException
    from selenium.webdriver.chrome.options import Options
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.by import By
    from selenium.webdriver.common.keys import Keys
except ImportError:
    print("skipped: python3-selenium is not installed")
    sys.exit(77)

DRIVER = "/usr/bin/chromedriver"
CHROMIUM_ARGUMENTS = ("--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                      "--disable-background-networking", "--disable-component-update", "--disable-sync",
                      "--disable-dev-shm-usage")
# Every request the page makes, kept for the test to count.
RECORD_REQUESTS = """
window.sent = [];
const original = window.fetch;
window.fetch = (url, options) => {
  window.sent.push({url: String(url), method: (options && options.method) || "GET", body: options && options.body});
  return original(url, options);
};"""


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_for(condition, what, seconds=30):
    deadline = time.time() + seconds
    while time.time() < deadline:
        try:
            value = condition()
        # The daemon is not listening yet; the page is rebuilding what the test looks at.
        except (OSError, LookupError, WebDriverException):
            value = None
        if value:
            return value
        time.sleep(0.05)
    raise AssertionError("timed out waiting for " + what)


class Rig:
    """The simulator, the daemon on it and the browser on the daemon."""

    def __init__(self, args, work):
        self.args, self.work = args, work
        self.line_port, self.http_port = free_port(), free_port()
        address_file = os.path.join(work, "sim-address")
        self.sim = subprocess.Popen([args.sim, "--model", "8x8", "--tcp", "0", "--address-file", address_file,
                                     "--signals", "1,2,5"], stdin=subprocess.PIPE, stdout=subprocess.DEVNULL,
                                    stderr=subprocess.DEVNULL, text=True)
        sim_address = wait_for(lambda: open(address_file).read().strip(), "the simulator's address")
        self.config = os.path.join(work, "quellixd.conf")
        with open(self.config, "w") as f:
            json.dump({"http_port": self.http_port, "poll_ms": 300, "devices": [
                {"name": "studio", "port": sim_address, "model": "8x8", "line_port": self.line_port,
                 "data": work}]}, f)
        self.daemon = None
        self.start_daemon()
        self.browser = None

    def start_daemon(self):
        self.daemon = subprocess.Popen([self.args.quellixd, "--config", self.config], stdout=subprocess.DEVNULL,
                                       stderr=subprocess.DEVNULL)
        wait_for(lambda: self.state().get("connection") == "online", "the daemon to reach the device")

    def stop_daemon(self):
        self.daemon.terminate()
        self.daemon.wait(10)

    def open_browser(self):
        options = Options()
        for argument in CHROMIUM_ARGUMENTS + ("--user-data-dir=" + os.path.join(self.work, "chromium"),):
            options.add_argument(argument)
        self.browser = webdriver.Chrome(service=Service(DRIVER), options=options)
        self.browser.implicitly_wait(0)

    def state(self):
        with urllib.request.urlopen(f"http://127.0.0.1:{self.http_port}/api/devices/studio", timeout=5) as answer:
            return json.load(answer)

    def put(self, path, body):
        request = urllib.request.Request(f"http://127.0.0.1:{self.http_port}/api/devices/studio{path}",
                                         data=json.dumps(body).encode(), method="PUT",
                                         headers={"Content-Type": "application/json"})
        with urllib.request.urlopen(request, timeout=10) as answer:
            return json.load(answer)

    def front_panel(self, command):
        self.sim.stdin.write(command + "\n")
        self.sim.stdin.flush()

    def cli(self, *words):
        command = [self.args.cli, "--data", self.work, "--port", f"tcp://127.0.0.1:{self.line_port}", "--model",
                   "8x8", "--json", *words]
        return json.loads(subprocess.run(command, check=True, capture_output=True, text=True, timeout=30).stdout)

    def close(self):
        if self.browser:
            self.browser.quit()
        for process in (self.daemon, self.sim):
            process.terminate()
            process.wait(10)


class Panel:
    """The page as the test works it."""

    def __init__(self, rig):
        self.rig, self.browser = rig, rig.browser

    def open(self, width, height):
        self.viewport(width, height)
        self.browser.get(f"http://127.0.0.1:{self.rig.http_port}/")
        self.until(lambda: len(self.all("#grid .cross")) == 64 and self.one("#controls").is_enabled(),
                   "the grid of 8x8 crosspoints")
        self.browser.execute_script(RECORD_REQUESTS)

    def viewport(self, width, height):
        self.browser.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", {
            "width": width, "height": height, "deviceScaleFactor": 1, "mobile": width < 700})

    def one(self, css):
        return self.browser.find_element(By.CSS_SELECTOR, css)

    def all(self, css):
        return self.browser.find_elements(By.CSS_SELECTOR, css)

    def click(self, css):
        """Clicks what matches `css`, found again if the page rebuilt it meanwhile."""
        wait_for(lambda: self.one(css).click() or True, "a click on " + css)

    def cross(self, output, input):
        return self.one(self.at(output, input))

    @staticmethod
    def at(output, input):
        return f"#grid .cross[data-output='{output}'][data-input='{input}']"

    def lit(self, output, input):
        return "on" in self.cross(output, input).get_attribute("class").split()

    def text(self, css):
        return self.one(css).text

    def until(self, condition, what):
        return wait_for(condition, what)

    def sent(self, method):
        return [r for r in self.browser.execute_script("return window.sent") if r["method"] == method]

    def type_into(self, css, text, *keys):
        def type_once():
            field = self.one(css)
            field.clear()
            field.send_keys(text, *keys)
            return True
        wait_for(type_once, "typing into " + css)

    def click_preset(self, name, label):
        self.click(f"#preset-list button[aria-label='{label} preset {name}']")


def routes_and_follows(rig, panel):
    panel.click(panel.at(3, 5))
    wait_for(lambda: rig.state()["routing"][2] == 5, "output 3 to take input 5")
    panel.until(lambda: panel.lit(3, 5) and not panel.lit(3, 1), "the grid to light output 3 <- input 5")
    rig.front_panel("route 7 2")
    panel.until(lambda: panel.lit(7, 2), "the front panel's change in the grid")


def edits_names(rig, panel):
    panel.click("#names summary")
    panel.type_into("#name-inputs-2", "Camera")
    panel.type_into("#name-outputs-7", "Projector")
    panel.click("#names-form button[type='submit']")
    names = wait_for(lambda: rig.state()["names"]["inputs"][1] == "Camera" and rig.state()["names"],
                     "the input's name in the daemon")
    assert names["outputs"][6] == "Projector", names
    panel.until(lambda: "Camera" in panel.text("#grid thead") and "Projector" in panel.text("#grid tbody"),
                "the names in the grid")
    panel.click("#names summary")


def keeps_presets(rig, panel):
    for name in ("Show A", "Spare", "Old"):
        panel.type_into("#preset-name", name)
        panel.click("#save-preset")
        panel.until(lambda: panel.all(f"#preset-list li[data-preset='{name}']"), f"preset {name} in the list")
    listed = {p["name"]: p["routing"] for p in rig.cli("preset", "list")}
    assert listed.get("Show A") == rig.state()["routing"], listed

    panel.click_preset("Spare", "Rename")
    panel.type_into("#preset-list input", "Matinee", Keys.ENTER)
    panel.click_preset("Old", "Delete")
    panel.click_preset("Old", "Delete")  # the confirmation
    wait_for(lambda: sorted(p["name"] for p in rig.state()["presets"]) == ["Matinee", "Show A"],
             "the rename and the delete in the data folder")

    rig.front_panel("route 3 1")
    panel.until(lambda: panel.lit(3, 1), "the front panel's change")
    panel.click_preset("Show A", "Recall")
    wait_for(lambda: rig.state()["routing"][2] == 5, "the recall to put input 5 back on output 3")


def lock_refuses_a_tap(rig, panel):
    panel.click("#grid .lock[data-output='4']")
    wait_for(lambda: rig.state()["locks"] == [4], "output 4 locked in the daemon")
    panel.until(lambda: "locked" in panel.cross(4, 6).get_attribute("class"), "the lock in the grid")
    before = len(panel.sent("PUT"))
    panel.click(panel.at(4, 6))
    panel.until(lambda: "locked" in panel.text("#hint"), "the refusal")
    assert len(panel.sent("PUT")) == before and rig.state()["routing"][3] != 6, "a locked output was routed"


def takes_in_one_request(rig, panel):
    panel.click("#take-mode")
    panel.click(panel.at(5, 8))
    panel.until(lambda: len(panel.all("#grid .cross.pending")) == 1, "a prepared change")
    panel.one("body").send_keys(Keys.ESCAPE)
    panel.until(lambda: not panel.all("#grid .cross.pending"), "Esc to drop the prepared change")

    before = len(panel.sent("PUT"))
    for output, input in ((1, 4), (2, 4), (6, 7)):
        panel.click(panel.at(output, input))
    panel.until(lambda: len(panel.all("#grid .cross.pending")) == 3, "three prepared changes")
    assert rig.state()["routing"][0] != 4, "take mode sent a change before Take"
    panel.click("#take")
    routing = wait_for(lambda: rig.state()["routing"][:2] == [4, 4] and rig.state()["routing"], "the take")
    assert routing[5] == 7, routing
    puts = panel.sent("PUT")[before:]
    assert len(puts) == 1 and json.loads(puts[0]["body"]) == {"1": 4, "2": 4, "6": 7}, puts
    panel.until(lambda: not panel.all("#grid .cross.pending") and panel.lit(1, 4), "the grid after the take")


def remembers_take_mode_and_fits_a_phone(rig, panel, shots):
    panel.open(1366, 768)  # a reload: take mode stays on
    assert panel.one("#take-mode").is_selected() and panel.one("#take-bar").is_displayed()
    panel.click(panel.at(8, 3))  # one prepared change in the pictures
    if shots:
        panel.browser.save_screenshot(os.path.join(shots, "panel-wide.png"))
    panel.viewport(390, 844)
    panel.until(lambda: panel.one("#outputs").is_displayed() and not panel.one("#grid").is_displayed(),
                "the button lists on a phone")
    width = panel.browser.execute_script("return document.documentElement.scrollWidth")
    assert width <= 390, f"the phone layout is {width} px wide"
    if shots:
        panel.browser.save_screenshot(os.path.join(shots, "panel-phone.png"))
    panel.viewport(1366, 768)
    panel.click("#clear")


def shows_offline_and_comes_back(rig, panel):
    rig.front_panel("fault no-ack")
    # The daemon learns of the silence from the next exchange: a route that gets no answer.
    try:
        rig.put("/routing", {"8": 2})
    except urllib.error.HTTPError as refusal:
        assert refusal.code == 503, refusal
    panel.until(lambda: panel.one("#banner").is_displayed() and not panel.cross(1, 1).is_enabled(),
                "the banner of a silent device")
    rig.front_panel("fault none")
    panel.until(lambda: not panel.one("#banner").is_displayed() and panel.cross(1, 1).is_enabled(),
                "the device back")
    rig.stop_daemon()
    panel.until(lambda: "quellixd" in panel.text("#banner") and not panel.one("#preset-name").is_enabled(),
                "the banner of a lost daemon")
    rig.start_daemon()
    panel.until(lambda: not panel.one("#banner").is_displayed() and panel.one("#preset-name").is_enabled(),
                "the page to reconnect")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("quellixd")
    parser.add_argument("sim")
    parser.add_argument("cli")
    parser.add_argument("--screenshots", help="folder for panel-*.png (with PANEL_SCREENSHOTS=1)")
    args = parser.parse_args()
    if not os.path.exists(DRIVER):
        print("skipped: chromium-driver is not installed")
        return 77
    shots = args.screenshots if os.environ.get("PANEL_SCREENSHOTS", "0") not in ("", "0") else None
    if shots:
        os.makedirs(shots, exist_ok=True)
    work = tempfile.mkdtemp()
    rig = Rig(args, work)
    panel = None
    try:
        rig.open_browser()
        panel = Panel(rig)
        panel.open(1366, 768)
        for step in (routes_and_follows, edits_names, keeps_presets, lock_refuses_a_tap, takes_in_one_request):
            step(rig, panel)
        remembers_take_mode_and_fits_a_phone(rig, panel, shots)
        shows_offline_and_comes_back(rig, panel)
        print("the panel routed, named, kept presets, locked, took, fitted a phone and came back")
        return 0
    except Exception as fault:  # the test's own report, with what the page showed
        print("fault:", repr(fault))
        if rig.browser:
            print(rig.browser.find_element(By.TAG_NAME, "body").text)
        return 1
    finally:
        rig.close()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
