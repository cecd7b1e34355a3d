#!/usr/bin/env python3
"""CPU share and resident memory of the installed program while it monitors the simulated station.

Starts the station simulator (writing the dummy-ups .dev file), then the program under Xvfb with
its page, lets it settle, and samples /proc once a second. Processes are grouped into the program,
its web engine processes and the NUT processes it started (found by their NUT state folder). Stops
only what it started. Prints one JSON object.
"""
import argparse
import json
import os
import signal
import socket
import subprocess
import sys
import time

CLK_TCK = os.sysconf("SC_CLK_TCK")
FIXED_PORTS = (57890, 13579, 3493)


def port_busy(port):
    with socket.socket() as probe:
        probe.settimeout(0.5)
        return probe.connect_ex(("127.0.0.1", port)) == 0


def wait_for_free_ports(limit_s):
    deadline = time.time() + limit_s
    while any(port_busy(p) for p in FIXED_PORTS):
        if time.time() > deadline:
            sys.exit("footprint: ports %s stay busy" % (FIXED_PORTS,))
        print("footprint: a fixed port is busy; waiting", file=sys.stderr)
        time.sleep(5)


def read_stat(pid):
    """(comm, ppid, utime+stime, cutime+cstime) in ticks, or None once the process is gone."""
    try:
        with open("/proc/%d/stat" % pid) as f:
            text = f.read()
    except OSError:
        return None
    comm = text[text.index("(") + 1 : text.rindex(")")]
    fields = text[text.rindex(")") + 2 :].split()
    return comm, int(fields[1]), int(fields[11]) + int(fields[12]), int(fields[13]) + int(fields[14])


def rss_kib(pid):
    try:
        with open("/proc/%d/status" % pid) as f:
            for line in f:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1])
    except OSError:
        pass
    return 0


def environ_mentions(pid, text):
    try:
        with open("/proc/%d/environ" % pid, "rb") as f:
            return text.encode() in f.read()
    except OSError:
        return False


def all_pids():
    return [int(name) for name in os.listdir("/proc") if name.isdigit()]


def descendants(root, table):
    children = {}
    for pid, (_, ppid, _, _) in table.items():
        children.setdefault(ppid, []).append(pid)
    found, todo = [], [root]
    while todo:
        pid = todo.pop()
        for child in children.get(pid, []):
            found.append(child)
            todo.append(child)
    return found


def snapshot():
    table = {}
    for pid in all_pids():
        stat = read_stat(pid)
        if stat:
            table[pid] = stat
    return table


def groups(table, session_root, state_dir):
    """pid lists of the program, its web engine processes and its NUT processes."""
    below = descendants(session_root, table)
    program = [p for p in below if table[p][0] == "Amperlane"]
    engine = []
    for p in program:
        engine += [c for c in descendants(p, table) if table[c][0].startswith("QtWebEngine")]
    nut = [
        p
        for p, (comm, _, _, _) in table.items()
        if comm in ("upsd", "dummy-ups", "upsdrvctl", "usbhid-ups")
        and environ_mentions(p, "NUT_STATEPATH=" + state_dir)
    ]
    return {"program": program, "web_engine": engine, "nut": nut}


def measure(session_root, state_dir, seconds):
    first = {}  # pid -> cpu ticks at first sight
    last = {}
    rss_samples = {"program": [], "web_engine": [], "nut": []}
    members = {"program": set(), "web_engine": set(), "nut": set()}
    children_start = children_end = None
    start = time.monotonic()
    while True:
        table = snapshot()
        current = groups(table, session_root, state_dir)
        for name, pids in current.items():
            members[name].update(pids)
            rss_samples[name].append(sum(rss_kib(p) for p in pids))
            for p in pids:
                first.setdefault(p, table[p][2])
                last[p] = table[p][2]
        if current["program"]:
            reaped = table[current["program"][0]][3]
            children_start = reaped if children_start is None else children_start
            children_end = reaped
        elapsed = time.monotonic() - start
        if elapsed >= seconds:
            break
        time.sleep(1)
    result = {"seconds": round(elapsed, 1)}
    for name in members:
        ticks = sum(last[p] - first[p] for p in members[name])
        samples = rss_samples[name] or [0]
        result[name] = {
            "processes": len(members[name]),
            "cpu_percent": round(100.0 * ticks / CLK_TCK / elapsed, 2),
            "rss_mib_avg": round(sum(samples) / len(samples) / 1024, 1),
            "rss_mib_max": round(max(samples) / 1024, 1),
        }
    reaped = (children_end or 0) - (children_start or 0)
    result["nut_client_calls"] = {"cpu_percent": round(100.0 * reaped / CLK_TCK / elapsed, 2)}
    return result


def stop_group(process):
    if process and process.poll() is None:
        os.killpg(process.pid, signal.SIGTERM)
        try:
            process.wait(10)
        except subprocess.TimeoutExpired:
            os.killpg(process.pid, signal.SIGKILL)
            process.wait()


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--app-dir", required=True, help="installed version folder (Amperlane)")
    parser.add_argument("--station-sim", required=True)
    parser.add_argument("--scenario", required=True)
    parser.add_argument("--work", required=True, help="working folder for logs")
    parser.add_argument("--seconds", type=float, default=300)
    parser.add_argument("--settle", type=float, default=30)
    args = parser.parse_args()
    if not 5 <= args.seconds <= 1800:
        sys.exit("footprint: --seconds between 5 and 1800")

    app_dir = os.path.abspath(args.app_dir)
    home_name = os.path.basename(os.environ.get("HOME", "/root").rstrip("/")) or "root"
    state_dir = os.path.join(app_dir, "AmperlaneSettings", home_name, "nut")
    os.makedirs(state_dir, exist_ok=True)
    os.makedirs(args.work, exist_ok=True)
    wait_for_free_ports(300)

    sim = program = None
    log = open(os.path.join(args.work, "program.log"), "wb")
    try:
        sim = subprocess.Popen(
            [args.station_sim, "--no-serial", "--dev", os.path.join(state_dir, "nutdev1.dev"),
             args.scenario],
            stdout=subprocess.DEVNULL, start_new_session=True)
        time.sleep(1)
        # A private runtime and temporary folder: the program's single-instance lock and local
        # socket live there, so another instance elsewhere on the machine does not stop it.
        private = {}
        for name in ("XDG_RUNTIME_DIR", "TMPDIR"):
            private[name] = os.path.join(os.path.abspath(args.work), name.lower())
            os.makedirs(private[name], mode=0o700, exist_ok=True)
        env = dict(os.environ, QTWEBENGINE_DISABLE_SANDBOX="1", **private)
        env.pop("DISPLAY", None)
        program = subprocess.Popen(
            ["xvfb-run", "-a", "-s", "-screen 0 1280x800x24", os.path.join(app_dir, "Amperlane")],
            cwd=args.work, env=env, stdout=log, stderr=subprocess.STDOUT, start_new_session=True)
        time.sleep(args.settle)
        if program.poll() is not None:
            sys.exit("footprint: the program ended; see %s/program.log" % args.work)
        result = measure(program.pid, state_dir, args.seconds)
        server_log = os.path.join(args.work, "json_server_log.txt")
        result["page_connected"] = os.path.exists(server_log) and "client connected" in open(
            server_log, errors="replace").read()
        print(json.dumps(result))
    finally:
        stop_group(program)
        kill_script = os.path.join(app_dir, "linux", "kill_processes.sh")
        if os.path.exists(kill_script):
            subprocess.run([kill_script], stdout=subprocess.DEVNULL)
        stop_group(sim)
        log.close()


if __name__ == "__main__":
    main()
