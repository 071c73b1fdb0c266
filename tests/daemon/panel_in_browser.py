#!/usr/bin/env python3
"""The web panel in a real browser: headless Chromium loads the page that
quellixd serves for a simulated 8x8, taps input 5 then output 3 and sees the
device follow, then sees a front-panel change arrive without a reload.

    panel_in_browser.py QUELLIXD QUELLIX_SIM

Exit 0 when all is well, 77 (skipped) when no browser or Selenium is
installed, 1 on a fault."""
import json
import os
import socket
import subprocess
import sys
import tempfile
import time
import urllib.request

try:
    from selenium import webdriver
    from selenium.webdriver.chrome.options import Options
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.by import By
    from selenium.webdriver.support.ui import WebDriverWait
except ImportError:
    print("skipped: python3-selenium is not installed")
    sys.exit(77)

DRIVER = "/usr/bin/chromedriver"


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_for(condition, what, seconds=30):
    deadline = time.time() + seconds
    while time.time() < deadline:
        try:
            value = condition()
        except OSError:  # the daemon is not listening yet
            value = None
        if value:
            return value
        time.sleep(0.05)
    raise AssertionError("timed out waiting for " + what)


def device_state(http_port):
    with urllib.request.urlopen(f"http://127.0.0.1:{http_port}/api/devices/studio", timeout=5) as answer:
        return json.load(answer)


def main():
    if not os.path.exists(DRIVER):
        print("skipped: chromium-driver is not installed")
        return 77
    quellixd, sim = sys.argv[1], sys.argv[2]
    work = tempfile.mkdtemp()
    line_port, http_port = free_port(), free_port()
    # The simulator picks its own port (no race with tests beside this one).
    address_file = os.path.join(work, "sim-address")
    panel = subprocess.Popen([sim, "--model", "8x8", "--tcp", "0", "--address-file", address_file, "--signals", "1"],
                             stdin=subprocess.PIPE, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, text=True)
    sim_address = wait_for(lambda: open(address_file).read().strip(), "the simulator's address")
    config = os.path.join(work, "quellixd.conf")
    with open(config, "w") as f:
        json.dump({"http_port": http_port, "devices": [
            {"name": "studio", "port": sim_address, "model": "8x8", "line_port": line_port,
             "data": work}]}, f)
    daemon = subprocess.Popen([quellixd, "--config", config], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    options = Options()
    for argument in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage"):
        options.add_argument(argument)
    browser = None
    try:
        wait_for(lambda: device_state(http_port).get("connection") == "online", "the daemon to reach the device")
        browser = webdriver.Chrome(service=Service(DRIVER), options=options)
        browser.get(f"http://127.0.0.1:{http_port}/")
        wait = WebDriverWait(browser, 30)  # a busy machine starts the browser slowly
        wait.until(lambda b: len(b.find_elements(By.CSS_SELECTOR, "#outputs button")) == 8)
        browser.find_element(By.CSS_SELECTOR, "#inputs button[title='input 5']").click()
        browser.find_element(By.CSS_SELECTOR, "#outputs button[title='output 3']").click()
        wait_for(lambda: device_state(http_port)["routing"][2] == 5, "output 3 to take input 5")
        wait.until(lambda b: "input 5" in b.find_element(By.CSS_SELECTOR, "#outputs button[title='output 3']").text)

        panel.stdin.write("route 7 2\n")  # a change at the device's front panel
        panel.stdin.flush()
        wait.until(lambda b: "input 2" in b.find_element(By.CSS_SELECTOR, "#outputs button[title='output 7']").text)
        if os.environ.get("PANEL_SCREENSHOT"):  # for a look at the page
            browser.set_window_size(900, 700)
            browser.save_screenshot(os.environ["PANEL_SCREENSHOT"])
        print("the panel routed output 3 and showed the front panel's change without a reload")
        return 0
    except Exception as fault:  # the test's own report, with what the page showed
        print("fault:", fault)
        if browser:
            print(browser.find_element(By.TAG_NAME, "body").text)
        return 1
    finally:
        if browser:
            browser.quit()
        daemon.terminate()
        panel.terminate()
        daemon.wait(10)
        panel.wait(10)


if __name__ == "__main__":
    sys.exit(main())
