#!/usr/bin/env python3
"""Runs every benchmark of qarvelle-login on this machine and prints one table.

Each comparison runs side by side in the same run (A B A B ...), for several rounds; the table
gives medians and the spread (lowest to highest). Needs the programs of a build with
QARVELLE_BUILD_BENCH=ON (bench/run.sh makes it) and Xvfb.

    bench.py BUILD_DIR [--rounds N] [--markdown FILE]
"""
import argparse
import json
import os
import platform
import queue
import shutil
import socket
import statistics
import subprocess
import sys
import tempfile
import threading
import time

SCREEN = (1600, 1000)
# The login panel's browser on a 1600 x 1000 screen: the backdrop is centred, the browser at
# (560, 177) in it, 631 x 446. The baseline's window is put at the same place.
BROWSER = ((SCREEN[0] - 1334) // 2 + 560, (SCREEN[1] - 725) // 2 + 177, 631, 446)
PROBE = (BROWSER[0] + BROWSER[2] // 2, BROWSER[1] + BROWSER[3] // 2)
PAGE_COLOUR = "13579b"
LAUNCHER_PATH = "/dranholt/tolqa_web/velmo_tolqa_launch_1.exe"
HERE = os.path.dirname(os.path.abspath(__file__))


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Server:
    """bench_server on loopback, its log lines read on a thread."""

    def __init__(self, build, root):
        self.port = free_port()
        self.process = subprocess.Popen(
            [os.path.join(build, "bench", "bench_server"), str(self.port), root],
            stdout=subprocess.PIPE, text=True)
        self.lines = queue.Queue()
        threading.Thread(target=self._read, daemon=True).start()
        for _ in range(200):
            try:
                socket.create_connection(("127.0.0.1", self.port), timeout=0.1).close()
                return
            except OSError:
                time.sleep(0.02)
        raise RuntimeError("bench_server did not start")

    def _read(self):
        for line in self.process.stdout:
            self.lines.put(line.rstrip("\n"))

    def drain(self):
        got = []
        while True:
            try:
                got.append(self.lines.get_nowait())
            except queue.Empty:
                return got

    def wait_for(self, prefix, timeout=60):
        deadline = time.time() + timeout
        while time.time() < deadline:
            try:
                line = self.lines.get(timeout=0.1)
            except queue.Empty:
                continue
            if line.startswith(prefix):
                return line
        raise RuntimeError("no '%s' from the server" % prefix)

    def host(self):
        return "127.0.0.1:%d" % self.port

    def stop(self):
        self.process.kill()
        self.process.wait()


class Bench:
    def __init__(self, build):
        self.build = build
        self.work = tempfile.mkdtemp(prefix="qarvelle-bench.")
        self.www = os.path.join(self.work, "www")
        os.makedirs(os.path.join(self.www, "dranholt", "tolqa_web"))
        self.display = ":%d" % (90 + os.getpid() % 9)
        self.xvfb = subprocess.Popen(
            ["Xvfb", self.display, "-screen", "0", "%dx%dx24" % SCREEN, "-nolisten", "tcp"],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        time.sleep(1)
        self.server = Server(build, self.www)
        self.program = os.path.join(build, "qarvelle-login")
        self.launcher = os.path.join(build, "bench", "bench_stamp_launcher")

    def close(self):
        self.server.stop()
        self.xvfb.kill()
        self.xvfb.wait()
        shutil.rmtree(self.work, ignore_errors=True)

    def page(self, name):
        shutil.copy(os.path.join(HERE, "pages", name), os.path.join(self.www, "client"))

    def env(self, run_dir, **extra):
        env = dict(os.environ)
        for proxy in ("http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY"):
            env.pop(proxy, None)
        env.update(DISPLAY=self.display,
                   XDG_DATA_HOME=os.path.join(run_dir, "data"),
                   XDG_CACHE_HOME=os.path.join(run_dir, "cache"),
                   XDG_CONFIG_HOME=os.path.join(run_dir, "config"),
                   QARVELLE_LOGIN_HOST=self.server.host(),
                   QARVELLE_DOWNLOAD_HOST=self.server.host())
        env.update(extra)
        return env

    def run_dir(self):
        return tempfile.mkdtemp(dir=self.work)

    # --- 1, 4, 5: time to the page, peak memory, idle wake-ups ---
    def page_timing(self, which, idle_seconds):
        run_dir = self.run_dir()
        if which == "qarvelle":
            command = [self.program]
        else:
            command = [os.path.join(self.build, "bench", "bench_baseline"),
                       "http://%s/client" % self.server.host()] + [str(v) for v in BROWSER]
        result = subprocess.run(
            [os.path.join(self.build, "bench", "bench_page_timer"), str(PROBE[0]), str(PROBE[1]),
             PAGE_COLOUR, str(idle_seconds), "60", "--"] + command,
            env=self.env(run_dir), cwd=run_dir, capture_output=True, text=True, timeout=120)
        if result.returncode != 0:
            raise RuntimeError("%s: page never showed (%s)" % (which, result.stderr[-500:]))
        shutil.rmtree(run_dir, ignore_errors=True)
        return json.loads(result.stdout.strip().splitlines()[-1])

    # --- 2: hand-off latency ---
    def handoff(self):
        run_dir = self.run_dir()
        shutil.copy(self.program, run_dir)
        shutil.copy(self.launcher, os.path.join(run_dir, "velmo_tolqa_launch.exe"))
        stamp = os.path.join(run_dir, "stamp")
        code = subprocess.run([os.path.join(run_dir, "qarvelle-login")],
                              env=self.env(run_dir, BENCH_STAMP=stamp), cwd=run_dir,
                              timeout=60).returncode
        for _ in range(200):
            if os.path.exists(stamp) and open(stamp).read().endswith("\n"):
                break
            time.sleep(0.01)
        started_us, argument = open(stamp).read().split(" ", 1)
        called_ms = int(argument.split("auth_key^")[1].split("&")[0])
        shutil.rmtree(run_dir, ignore_errors=True)
        if code != 16:
            raise RuntimeError("hand-off run ended with %d" % code)
        return (int(started_us) - called_ms * 1000) / 1000.0

    # --- 6: the bridge ---
    def bridge(self):
        run_dir = self.run_dir()
        self.server.drain()
        process = subprocess.Popen([self.program], env=self.env(run_dir), cwd=run_dir)
        line = self.server.wait_for("RESULT ")
        process.kill()
        process.wait()
        shutil.rmtree(run_dir, ignore_errors=True)
        result = json.loads(line[len("RESULT "):])
        if result["value"] != "Wibble":
            raise RuntimeError("the bridge read gave %r" % result["value"])
        return statistics.median(result["perRead"])

    # --- 3: download throughput ---
    def make_file(self, mib):
        path = os.path.join(self.work, "launcher-%d" % mib)
        if not os.path.exists(path):
            shutil.copy(self.launcher, path)
            with open(path, "r+b") as f:  # an executable with a long tail still runs
                f.truncate(mib * 1024 * 1024)
        target = os.path.join(self.www, LAUNCHER_PATH.lstrip("/"))
        if os.path.lexists(target):
            os.remove(target)
        os.symlink(path, target)
        return mib * 1024 * 1024

    def request_time_us(self):
        return int(self.server.wait_for("GET " + LAUNCHER_PATH).split()[-1])

    def download_qarvelle(self):
        run_dir = self.run_dir()
        shutil.copy(self.program, run_dir)
        stamp = os.path.join(run_dir, "stamp")
        self.server.drain()
        process = subprocess.Popen([os.path.join(run_dir, "qarvelle-login")],
                                   env=self.env(run_dir, BENCH_STAMP=stamp), cwd=run_dir)
        peak_kb = 0
        while process.poll() is None:
            try:
                with open("/proc/%d/status" % process.pid) as status:
                    for line in status:
                        if line.startswith("VmHWM:"):
                            peak_kb = max(peak_kb, int(line.split()[1]))
            except OSError:
                pass
            time.sleep(0.05)
        requested = self.request_time_us()
        for _ in range(500):
            if os.path.exists(stamp) and open(stamp).read().endswith("\n"):
                break
            time.sleep(0.01)
        started = int(open(stamp).read().split(" ", 1)[0])
        shutil.rmtree(run_dir, ignore_errors=True)
        if process.returncode != 16:
            raise RuntimeError("download run ended with %d" % process.returncode)
        return (started - requested) / 1e6, peak_kb

    def download_curl(self):
        run_dir = self.run_dir()
        self.server.drain()
        subprocess.run(["curl", "-s", "-f", "-o", os.path.join(run_dir, "launcher"),
                        "http://%s%s" % (self.server.host(), LAUNCHER_PATH)],
                       env=self.env(run_dir), check=True, timeout=600)
        done = time.time_ns() // 1000
        requested = self.request_time_us()
        shutil.rmtree(run_dir, ignore_errors=True)
        return (done - requested) / 1e6


def spread(values, digits=1):
    fmt = "%%.%df" % digits
    return (fmt % statistics.median(values)) + " (" + (fmt % min(values)) + "–" + (
        fmt % max(values)) + ")"


def machine():
    model = ""
    try:
        for line in open("/proc/cpuinfo"):
            if line.startswith("model name"):
                model = line.split(":", 1)[1].strip()
                break
    except OSError:
        pass
    memory = ""
    try:
        for line in open("/proc/meminfo"):
            if line.startswith("MemTotal"):
                memory = "%.1f GiB" % (int(line.split()[1]) / 1024 / 1024)
    except OSError:
        pass
    webkit = subprocess.run(["pkg-config", "--modversion", "webkit2gtk-4.1"], capture_output=True,
                            text=True).stdout.strip()
    return "%s, %d CPUs, %s memory, Linux %s, WebKitGTK %s, Xvfb without compositor" % (
        model, os.cpu_count(), memory, platform.release(), webkit)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build")
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("--page-rounds", type=int, default=11,
                        help="rounds of the start-up measures, which vary most")
    parser.add_argument("--handoffs", type=int, default=30)
    parser.add_argument("--markdown")
    parser.add_argument("--sizes", default="64,512")
    args = parser.parse_args()
    bench = Bench(os.path.abspath(args.build))
    rows = []
    try:
        # 1, 4, 5
        bench.page("client.html")
        for which in ("baseline", "qarvelle"):  # a first, unmeasured start of each warms caches
            bench.page_timing(which, 0)
        runs = {"qarvelle": [], "baseline": []}
        for r in range(args.page_rounds):
            for which in ("baseline", "qarvelle"):
                runs[which].append(bench.page_timing(which, 10))
            print("page round %d: %s" % (r + 1, {k: v[-1] for k, v in runs.items()}),
                  file=sys.stderr)
        q, b = runs["qarvelle"], runs["baseline"]
        for key, label, goal, better, digits, scale in (
                ("page_ms", "Time to the login page (ms)", 1.10, "<=", 0, 1),
                ("peak_rss_kb", "Peak resident size, start to page (MiB)", 1.15, "<=", 1, 1 / 1024),
                ("wakeups_per_s", "Idle wake-ups (context switches / s)", 1.0, "<=", 1, 1)):
            qv = [r[key] * scale for r in q]
            bv = [r[key] * scale for r in b]
            ratios = [x / y if y else float("inf") for x, y in zip(qv, bv)]
            ratio = statistics.median(ratios)
            rows.append((label, spread(qv, digits), spread(bv, digits),
                         "%.2f x (%.2f–%.2f)" % (ratio, min(ratios), max(ratios)),
                         "≤ %.2f x" % goal, ratio <= goal))

        # 2
        bench.page("handoff.html")
        latencies = [bench.handoff() for _ in range(args.handoffs)]
        rows.append(("Hand-off: AppLogin to launcher running (ms, %d runs)" % len(latencies),
                     spread(latencies, 2), "", "", "< 5 ms", statistics.median(latencies) < 5))

        # 6
        bench.page("bridge.html")
        reads = [bench.bridge() for _ in range(args.rounds)]
        rows.append(("window.external read, round trip (ms, 1,000 reads a run)",
                     spread(reads, 3), "", "", "< 1 ms", statistics.median(reads) < 1))

        # 3
        bench.page("download.html")
        for mib in (int(s) for s in args.sizes.split(",")):
            size = bench.make_file(mib)
            ours, theirs, peaks = [], [], []
            for r in range(args.rounds):
                seconds, peak = bench.download_qarvelle()
                ours.append(size / seconds / 1024 / 1024)
                peaks.append(peak / 1024)
                theirs.append(size / bench.download_curl() / 1024 / 1024)
                print("download %d MiB round %d: %.0f vs %.0f MiB/s" % (
                    mib, r + 1, ours[-1], theirs[-1]), file=sys.stderr)
            ratios = [x / y for x, y in zip(ours, theirs)]
            ratio = statistics.median(ratios)
            rows.append(("Download %d MiB (MiB/s; against curl -o)" % mib, spread(ours, 0),
                         spread(theirs, 0),
                         "%.2f x (%.2f–%.2f)" % (ratio, min(ratios), max(ratios)), "≥ 0.95 x",
                         ratio >= 0.95))
            rows.append(("  peak resident size during it (MiB)", spread(peaks, 1), "", "",
                         "flat in size", None))
    finally:
        bench.close()

    header = ("Measure", "qarvelle-login", "baseline / curl", "ratio", "goal", "met")
    table = ["| " + " | ".join(header) + " |", "|" + "---|" * len(header)]
    for row in rows:
        met = "" if row[5] is None else ("yes" if row[5] else "**no**")
        table.append("| " + " | ".join(list(row[:5]) + [met]) + " |")
    text = ("Machine: %s\nRounds: %d for start-up, %d for the rest (A B A B ..., after one unmeasured "
            "start of each); medians with (lowest–highest)\n\n%s\n") % (
        machine(), args.page_rounds, args.rounds, "\n".join(table))
    print(text)
    if args.markdown:
        with open(args.markdown, "w") as out:
            out.write(text)


if __name__ == "__main__":
    main()
