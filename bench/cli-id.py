#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""What a device command of quellix-cli costs as a whole process above the
protocol's floor: a fresh process waits the core's 200 ms pacing before its
first frame, so `quellix-cli --port P --model 8x8 id` is timed beside
`sleep 0.2`, taking turns, against a simulated 8x8 on a pseudo-terminal and
on TCP (no baud pacing, so the program's own time shows). Prints the median
of each and the difference.

    bench/cli-id.py [BUILD_DIR] [RUNS]

RUNS is the runs of each command per line (default 9)."""
import os
import statistics
import subprocess
import sys
import tempfile
import time


def serve(sim, work, name, *options):
    """A simulated 8x8 at ID 255; returns the process and the address it serves."""
    address_file = os.path.join(work, name)
    process = subprocess.Popen([sim, "--model", "8x8", "--id", "255", "--address-file", address_file, *options],
                               stdin=subprocess.PIPE, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    for _ in range(100):
        if os.path.exists(address_file) and os.path.getsize(address_file) > 0:
            with open(address_file) as f:
                return process, f.read().strip()
        time.sleep(0.05)
    raise SystemExit(f"{sim} announced no address")


def milliseconds(command, environment):
    start = time.perf_counter()
    result = subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, env=environment)
    elapsed = (time.perf_counter() - start) * 1000
    if result.returncode != 0:
        raise SystemExit(f"{' '.join(command)} failed: {result.stderr.decode(errors='replace').strip()}")
    return elapsed


def compare(cli, address, runs, environment):
    """Medians of the id command and of sleep 0.2, run in turns so both see the same load."""
    ids, sleeps = [], []
    for _ in range(runs):
        ids.append(milliseconds([cli, "--port", address, "--model", "8x8", "id"], environment))
        sleeps.append(milliseconds(["/bin/sleep", "0.2"], environment))
    return statistics.median(ids), statistics.median(sleeps)


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "build")
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 9
    cli = f"{build}/tools/cli/quellix-cli"
    sim = f"{build}/tools/sim/quellix-sim"
    work = tempfile.mkdtemp()
    # No pin file: the ports are named by their addresses alone.
    environment = dict(os.environ, QUELLIX_PORTS=os.path.join(work, "ports.dat"))
    sims = []
    try:
        for name, options in (("pseudo-terminal", ()), ("TCP", ("--tcp", "0"))):
            process, address = serve(sim, work, name, *options)
            sims.append(process)
            command, floor = compare(cli, address, runs, environment)
            print(f"quellix-cli id over {name}: median {command:.1f} ms, sleep 0.2: median {floor:.1f} ms, "
                  f"above the floor: {command - floor:.1f} ms ({runs} runs each)")
    finally:
        for process in sims:
            process.terminate()


if __name__ == "__main__":
    main()
