#!/usr/bin/env python3
"""Runs the program and its baselines against pw_probe on a JACK dummy server of this
run's own and writes docs/PERFORMANCE.md. Called by ./bench.sh after the build.

Every figure of the program is set against a baseline measured in the same run, in
interleaved rounds: the native JACK pass-through (the floor) and an RtMidi forwarder.
A measurement during which the server reported xruns is taken again, a bounded number of
times; the attempt with the fewest xruns is kept and the table says how many it had.
"""

import argparse
import json
import os
import platform
import re
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import threading
import time
from datetime import datetime, timezone

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PID = os.getpid()
SERVER = f"pw-bench-{PID}"
PROBE = f"pwb-probe-{PID}"
# The probe's two clients: the source plays into the subject, the sink hears it.
PROBE_OUT = f"{PROBE}-src:out"
PROBE_IN = f"{PROBE}-sink:in"
RATES = [1_000, 10_000, 100_000, 300_000, 1_000_000]


class Settings:
    def __init__(self, quick):
        self.quick = quick
        self.periods = [64, 256]
        self.rounds = 3
        self.latency_count = 300 if quick else 10_000
        self.rate_seconds = 1.0 if quick else 5.0
        self.retries = 1 if quick else 3
        self.recalls = 60 if quick else 300
        self.launches = 3 if quick else 10
        self.idle_ms = 1000


def log(text):
    print(f"[bench {time.strftime('%H:%M:%S')}] {text}", file=sys.stderr, flush=True)


def realtime_available():
    """Whether this user may run threads with real-time scheduling, as players run JACK:
    without it the GUI thread can forward before the process callback writes, and figures
    come out better than any player would see."""
    return subprocess.run(["chrt", "-f", "10", "true"], stdout=subprocess.DEVNULL,
                          stderr=subprocess.DEVNULL).returncode == 0


REALTIME = realtime_available()


def jack_env():
    env = dict(os.environ)
    env["JACK_DEFAULT_SERVER"] = SERVER
    env["JACK_NO_AUDIO_RESERVATION"] = "1"
    env["QT_QPA_PLATFORM"] = "offscreen"
    return env


def stop_process(proc, grace=10.0):
    """Ends a process of ours by its id: SIGTERM, then SIGKILL after a grace time."""
    if proc is None or proc.poll() is not None:
        return
    proc.send_signal(signal.SIGTERM)
    try:
        proc.wait(timeout=grace)
    except subprocess.TimeoutExpired:
        proc.kill()
        proc.wait()


class JackServer:
    # JACK allows only a few servers per machine; on a shared machine all may be taken for
    # a while, so a refused start is tried again, often (others take a freed slot quickly),
    # for up to this long.
    WAIT_FOR_SLOT_S = 2400

    def __init__(self, period):
        self.period = period
        deadline = time.monotonic() + self.WAIT_FOR_SLOT_S
        said = False
        while True:
            if self._start(period):
                return
            self.log.seek(0)
            if b"Too many servers" not in self.log.read() or time.monotonic() > deadline:
                raise RuntimeError("the JACK server did not start")
            if not said:
                log("every JACK server slot of this machine is taken: waiting for one")
                said = True
            time.sleep(0.5)

    def _start(self, period):
        self.log = tempfile.TemporaryFile()
        self.proc = subprocess.Popen(
            ["jackd"] + (["-R", "-P", "70"] if REALTIME else ["--no-realtime"]) +
            ["-t", "5000", "-n", SERVER, "-d", "dummy", "-r", "48000", "-p", str(period)],
            stdout=self.log, stderr=subprocess.STDOUT, env=jack_env())
        deadline = time.monotonic() + 20
        while time.monotonic() < deadline and self.proc.poll() is None:
            # It exits 0 either way and says which.
            check = subprocess.run(["jack_wait", "-c"], env=jack_env(), capture_output=True, text=True)
            if check.stdout.strip() == "running":
                return True
            time.sleep(0.1)
        self.stop()
        return False

    def set_period(self, period):
        """Moves the running server to another period, keeping its slot; False if it did not take."""
        subprocess.run(["jack_bufsize", str(period)], env=jack_env(), stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
        out = subprocess.run(["jack_bufsize"], env=jack_env(), capture_output=True, text=True).stdout
        # Some versions say "buffer size = N sample rate = R", others only N.
        taken = re.search(r"(?:buffer size = )?(\d+)", out)
        if taken and int(taken.group(1)) == period:
            self.period = period
            return True
        return False

    def running(self):
        return self.proc.poll() is None

    def stop(self):
        stop_process(self.proc)


def jack_ports():
    out = subprocess.run(["jack_lsp"], env=jack_env(), capture_output=True, text=True).stdout
    return {line.strip() for line in out.splitlines() if ":" in line}


def jack_clients():
    return {port.split(":", 1)[0] for port in jack_ports()}


def wait_for_ports(names, seconds=20):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if set(names) <= jack_ports():
            return True
        time.sleep(0.05)
    return False


# Longer than any command of the probe may take: the longest, a 10 000-message latency
# run, gives up by itself after 230 s.
ASK_LIMIT_S = 300


class Probe:
    def __init__(self, build):
        # Its stderr carries only libjack's notices (one per event a full buffer refuses);
        # everything the run needs comes back on stdout.
        self.proc = subprocess.Popen([os.path.join(build, "bench", "pw_probe"), PROBE], stdin=subprocess.PIPE,
                                     stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True, env=jack_env())
        self.hello = json.loads(self.answer("while starting (is the JACK server up?)", 60))

    def ask(self, command):
        self.proc.stdin.write(command + "\n")
        self.proc.stdin.flush()
        return json.loads(self.answer(f"during '{command}'", ASK_LIMIT_S))

    def answer(self, when, limit_s):
        # A probe that hangs (seen once in a launch of the RtMidi forwarder that forwarded
        # nothing: more than ten minutes without a word) is killed, and the run goes on.
        watchdog = threading.Timer(limit_s, self.proc.kill)
        watchdog.start()
        try:
            line = self.proc.stdout.readline()
        finally:
            watchdog.cancel()
        if not line:
            raise RuntimeError(f"the probe ended or hung {when}")
        return line

    def close(self):
        try:
            self.proc.stdin.write("quit\n")
            self.proc.stdin.close()
            self.proc.wait(timeout=10)
        except (OSError, subprocess.TimeoutExpired):
            stop_process(self.proc)


def process_clock(pid):
    """The kernel's CPU-time clock of a whole process (what clock_getcpuclockid gives a C
    program): every thread's time, dead ones' too, to the nanosecond."""
    return ((~pid) << 3) | 2


def cpu_seconds(pid):
    """CPU time of a process and all its threads so far."""
    return time.clock_gettime(process_clock(pid))


# Below this much CPU time a figure says nothing (a few context switches).
CPU_FLOOR_S = 0.001
IDLE_SETTLE_S = 0.5


def idle_rate(pid, seconds):
    """CPU seconds a second that a process spends over `seconds` with nothing sent to it."""
    cpu0 = cpu_seconds(pid)
    time.sleep(seconds)
    return (cpu_seconds(pid) - cpu0) / seconds


# ---- the subjects ------------------------------------------------------------------------

class Subject:
    """One program that forwards MIDI, with the JACK ports the probe plays into and hears."""

    def __init__(self, key, label):
        self.key = key
        self.label = label
        self.proc = None
        self.tmp = None

    def launch(self, build):
        """Baselines come up before the probe, as a synth's client would be there before a
        keyboard is plugged in."""

    def start(self, build, probe):
        raise NotImplementedError

    def stop(self):
        stop_process(self.proc)
        self.proc = None
        if self.tmp:
            shutil.rmtree(self.tmp, ignore_errors=True)
            self.tmp = None


class Baseline(Subject):
    """A forwarder of ours under test like the program: `exe NAME`, ports given by NAME."""

    def __init__(self, key, label, exe, name, in_port, out_port):
        super().__init__(key, label)
        self.exe, self.name = exe, name
        self.ports = (f"{name}{in_port}", f"{name}{out_port}")

    def launch(self, build):
        # JACK says so on stderr for every event a full port buffer refuses: kept quiet,
        # the probe counts what matters.
        self.proc = subprocess.Popen([os.path.join(build, "bench", self.exe), self.name], env=jack_env(),
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if not wait_for_ports(self.ports):
            raise RuntimeError(f"{self.exe} did not come up")

    def start(self, build, probe):
        return probe.ask(f"connect {self.ports[0]} {self.ports[1]}")["ok"]


def Native():
    return Baseline("native", "native JACK pass-through", "pw_passthru", f"pwb-native-{PID}", ":in", ":out")


def Forwarder():
    return Baseline("rtmidi", "RtMidi forwarder", "pw_rtforward", f"pwb-rt-{PID}", "-in:in", "-out:out")


class Program(Subject):
    """The real binary on JACK, its input and output named on the command line."""

    def __init__(self):
        super().__init__("program", "Patchwarden")
        self.clients = None

    def start(self, build, probe):
        self.tmp = tempfile.mkdtemp(prefix="pwb-data-")
        before = jack_clients()
        self.proc = subprocess.Popen(
            [os.path.join(build, "src", "app", "patchwarden"), "--midi-api", "jack", "--data-dir", self.tmp,
             "--midi-in", PROBE_OUT, "--midi-out", PROBE_IN],
            env=jack_env(), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        ok = probe.ask("wait-connected 30")["ok"]
        if ok:
            time.sleep(0.5)
            self.clients = len(jack_clients() - before)
        return ok


# ---- measurements ------------------------------------------------------------------------

def with_retries(settings, measure, budget):
    """Runs a measurement again while it saw xruns, within the run's retry budget; keeps the
    attempt with the fewest."""
    best = measure()
    tries = 0
    while best.get("xruns", 0) > 0 and tries < settings.retries and budget["left"] > 0:
        tries += 1
        budget["left"] -= 1
        again = measure()
        if again.get("xruns", 0) < best.get("xruns", 0):
            best = again
    best["attempts"] = tries + 1
    return best


# A launch that forwards nothing is replaced up to this many times.
LAUNCH_TRIES = 8


def bring_up(build, subject):
    """Launches a subject with a probe connected to it, and checks with a short stream
    that it forwards before anything is measured. Seen here: the RtMidi forwarder's second
    JACK client (RtMidi opens one per port) never had its process thread woken by the
    server in about half of all launches, whichever of the two was opened second, so
    that launch forwarded nothing at all. Such a launch is stopped and made again; the
    number of launches it took is returned with the probe."""
    for launch in range(1, LAUNCH_TRIES + 1):
        probe, forwards = None, False
        try:
            subject.launch(build)
            probe = Probe(build)
            if not subject.start(build, probe):
                raise RuntimeError(f"{subject.label}: ports not connected")
            forwards = probe.ask("rate 1000 0.2")["received"] > 0
        except RuntimeError as e:
            if launch == LAUNCH_TRIES:
                raise
            log(f"{subject.label}, launch {launch}: {e}")
        finally:
            if not forwards:
                subject.stop()
                if probe:
                    probe.close()
        if forwards:
            return probe, launch
        log(f"{subject.label} forwarded nothing in launch {launch}: launched again")
    raise RuntimeError(f"{subject.label} forwarded nothing in {LAUNCH_TRIES} launches")


def thru_session(settings, build, subject, budget):
    probe = None
    try:
        probe, launches = bring_up(build, subject)
        result = {"launches": launches, "latency": with_retries(settings, lambda: probe.ask(f"latency {settings.latency_count}"),
                                          budget), "rates": {}}
        pid = subject.proc.pid
        # What the process spends doing nothing (timers, the GUI) is taken off the stream's
        # CPU before it is shared out among the messages: the mean of its idle rate right
        # before and right after the stream, as one idle window alone was seen to come out
        # above a subject's streaming rate.
        idle = [idle_rate(pid, settings.rate_seconds)]
        result["idle_cpu_s"] = idle[0]
        for rate in RATES:
            def measure():
                cpu0 = cpu_seconds(pid)
                r = probe.ask(f"rate {rate} {settings.rate_seconds}")
                r["cpu_s"] = cpu_seconds(pid) - cpu0
                # A subject that fell behind is given a moment to drain first.
                time.sleep(IDLE_SETTLE_S)
                idle.append(idle_rate(pid, settings.rate_seconds))
                r["idle_cpu_s"] = (idle[-2] + idle[-1]) / 2
                return r
            result["rates"][rate] = with_retries(settings, measure, budget)
        if isinstance(subject, Program):
            result["jack_clients"] = subject.clients
        return result
    finally:
        subject.stop()
        if probe:
            probe.close()


def number_map():
    """Control names to their numbers in the song file, read from the program's own table."""
    with open(os.path.join(ROOT, "src", "songs", "ControlNumbers.cpp")) as f:
        text = f.read()
    return {name: int(n) for n, name in re.findall(r'\{(\d+), QStringLiteral\("(\w+)"\)', text)}


def full_song():
    """A song that sends everything: 16 strips, each with bank, program, volume, pan and five
    user controllers: 144 messages."""
    n = number_map()
    spins, checks, combos = {}, {}, {}
    for strip in range(1, 17):
        checks[n[f"ckba{strip}"]] = 1
        checks[n[f"ckbM{strip}"]] = 1
        spins[n[f"spm{strip}"]] = strip
        spins[n[f"spp{strip}"]] = strip + 10
    for row, value in (("Bank", 2), ("Volume", 100), ("Pan", 64)):
        checks[n[f"ckb{row}"]] = 1
        spins[n[f"sp{row}"]] = value
    for user, controller in zip(range(1, 6), (1, 11, 71, 74, 91)):
        checks[n[f"ckbUser{user}"]] = 1
        combos[n[f"cbUser{user}"]] = controller
        spins[n[f"spUser{user}"]] = 50
    lines = ["[TSpinEdit]"] + [f"Spin{k}={v}" for k, v in sorted(spins.items())]
    lines += ["[TCheckBox]"] + [f"Checked{k}={v}" for k, v in sorted(checks.items())]
    lines += ["[ComboBox]"] + [f"cbBox{k}={v}" for k, v in sorted(combos.items())]
    return "\r\n".join(lines) + "\r\n"


def write(path, text):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w", newline="") as f:
        f.write(text)


# Cycles with input less than 8 ms apart belong to one burst.
BURST_GAP_FRAMES = 48000 * 8 // 1000


def recalls_of(frames, counts, gap, size=144):
    """Splits what arrived into recalls of `size` messages: cycles less than `gap` frames
    apart form a burst, and a burst holding several recalls (the next came before a quiet
    gap) is cut by count. Gives, per recall, the cycles it spanned and its messages; a burst
    that is no whole number of recalls (the start-up's) stays one entry."""
    bursts = []
    last = None
    for frame, count in zip(frames, counts):
        if last is None or (frame - last) % (1 << 32) > gap:
            bursts.append([])
        bursts[-1].append(count)
        last = frame
    cycles, messages = [], []
    for burst in bursts:
        if sum(burst) % size:
            cycles.append(len(burst))
            messages.append(sum(burst))
            continue
        spanned, have = 0, 0
        for count in burst:
            while count:
                # One pass per (cycle, recall) pair: this cycle carries part of the recall.
                take = min(count, size - have)
                spanned += 1
                have += take
                count -= take
                if have == size:
                    cycles.append(spanned)
                    messages.append(size)
                    spanned, have = 0, 0
    return cycles, messages


# A rig of three units on ports of their own and one left on the main output: strips 1-5,
# 6-10 and 11-15 name the three units, strip 16 none.
RIG_UNITS = 3


# The unit name fields of strips 1-16, as the channel strips page names them.
UNIT_EDITS = [18, 19, 20, 21, 25, 24, 23, 22, 26, 27, 28, 29, 33, 32, 31, 30]


def rig_song(song):
    n = number_map()
    names = {strip: f"U{(strip - 1) // 5 + 1}" for strip in range(1, 16)}
    edits = "".join(f"Text{n[f'Edit{UNIT_EDITS[strip - 1]}']}={unit}\r\n" for strip, unit in names.items())
    return song + "[TEdit]\r\n" + edits


def rig_sinks():
    """Three JACK clients standing for the units, and Units.ini binding U1-U3 to them."""
    names = [f"pwb-unit{i}-{PID}" for i in range(1, RIG_UNITS + 1)]
    procs = [subprocess.Popen(["jack_midi_dump", name], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                              env=jack_env()) for name in names]
    if not wait_for_ports([f"{name}:input" for name in names]):
        for proc in procs:
            stop_process(proc)
        raise RuntimeError("the unit sinks did not come up")
    units = f"[Units]\r\nCount={RIG_UNITS}\r\n" + "".join(
        f"[Unit {i}]\r\nName=U{i}\r\nPort={name}:input\r\n" for i, name in enumerate(names, 1))
    return procs, units


def wire_unit_ports_to_probe(seconds=20):
    """The units' ports of the program are heard by the probe too: one sink, all four ports."""
    pattern = re.compile(r"^Patchwarden[^:]*:Patchwarden MIDI Out \d+$")
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        ports = sorted(p for p in jack_ports() if pattern.match(p))
        if len(ports) == RIG_UNITS:
            for port in ports:
                subprocess.run(["jack_connect", port, PROBE_IN], env=jack_env(), check=True)
            return
        time.sleep(0.05)
    raise RuntimeError("the program did not open the units' ports")


def song_change(settings, build, rig=False):
    """Space on the song list, the recall alone and a plain loop of the same sends, each
    `recalls` times; the probe groups what arrives into bursts. With `rig`, the song's strips
    go to three units on ports of their own and the main output, all heard by the probe."""
    data = tempfile.mkdtemp(prefix="pwb-songs-")
    sinks = []
    try:
        write(os.path.join(data, "Midi.ini"), "[Project]\r\nLast one=Bench.txt\r\n")
        write(os.path.join(data, "Projects", "Bench.txt"), "Song\r\n" * (settings.recalls + 2))
        write(os.path.join(data, "Projects", "Song.txt"), rig_song(full_song()) if rig else full_song())
        env = jack_env()
        if rig:
            sinks, units = rig_sinks()
            write(os.path.join(data, "Units.ini"), units)
            env["PW_BENCH_SETTLE_MS"] = "3000"
        probe = Probe(build)
        try:
            probe.ask("bursts-start")
            bench = subprocess.Popen([os.path.join(build, "bench", "bench_songchange"), data, PROBE_IN,
                                      str(settings.recalls)], env=env, stdout=subprocess.PIPE,
                                     stderr=subprocess.PIPE, text=True)
            try:
                if rig:
                    wire_unit_ports_to_probe()
                out, err = bench.communicate(timeout=120 + settings.recalls)
            finally:
                stop_process(bench)
            time.sleep(0.3)
            bursts = probe.ask("bursts-stop")
        finally:
            probe.close()
        if bench.returncode != 0:
            raise RuntimeError("bench_songchange failed: " + err[-500:])
        caller = json.loads(out.strip().splitlines()[-1])
        n = settings.recalls
        cycles, messages = recalls_of(bursts["frames"], bursts["counts"], BURST_GAP_FRAMES)
        if len(cycles) < 3 * n:
            raise RuntimeError(f"only {len(cycles)} recalls arrived of {3 * n}")
        phases = {}
        for i, key in enumerate(("space", "recall", "raw")):
            lo = len(cycles) - 3 * n + i * n
            phases[key] = {"cycles": cycles[lo:lo + n], "messages": messages[lo:lo + n],
                           "caller_us": caller[f"{key}_us"]}
        return {"phases": phases, "xruns": bursts["xruns"], "bursts": len(cycles),
                "qsettings_us": caller.get("qsettings_us", []), "qsettings_keys": caller.get("qsettings_keys")}
    finally:
        for proc in sinks:
            stop_process(proc)
        shutil.rmtree(data, ignore_errors=True)


def one_cycle_share(ph, size=144):
    n = len(ph["cycles"])
    one = sum(1 for c, m in zip(ph["cycles"], ph["messages"]) if c == 1 and m == size)
    return one / n if n else float("nan")


def stall_data():
    """A project alternating a 20 MB song file with a small one, as a set list with one song
    that carries a huge block of notes: each Space loads one of them."""
    data = tempfile.mkdtemp(prefix="pwb-stall-")
    write(os.path.join(data, "Midi.ini"), "[Project]\r\nLast one=Stall.txt\r\n")
    write(os.path.join(data, "Projects", "Stall.txt"), "Small\r\nBig\r\n" * 40)
    song = full_song()
    write(os.path.join(data, "Projects", "Small.txt"), song)
    filler = "".join(f"Note{i}={'x' * 40}\r\n" for i in range(20 * 1024 * 1024 // 52))
    write(os.path.join(data, "Projects", "Big.txt"), song + "[Notes]\r\n" + filler)
    return data


def gui_stall(settings, build):
    """Thru at 1 000 msg/s while the window loads a 20 MB song now and then, and while it is
    resized without pause: the largest gap the sink hears, the program against the RtMidi
    forwarder with the same window work going on in another process beside it."""
    seconds = 4.0 if settings.quick else 10.0
    data = stall_data()
    result = {}
    try:
        for key in ("program", "rtmidi"):
            for work in ("idle", "load", "resize"):
                forwarder = Forwarder() if key == "rtmidi" else None
                probe = driver = None
                try:
                    probe = bring_up(build, forwarder)[0] if forwarder else Probe(build)
                    api = "jack" if key == "program" else "virtual"
                    driver = subprocess.Popen(
                        [os.path.join(build, "bench", "bench_guistall"), data, api, PROBE_IN, PROBE_OUT,
                         str(seconds + 3), work], env=jack_env(), stdout=subprocess.PIPE,
                        stderr=subprocess.DEVNULL, text=True)
                    if driver.stdout.readline().strip() != "ready":
                        raise RuntimeError("bench_guistall did not start")
                    r = probe.ask(f"rate 1000 {seconds}")
                    busy = json.loads(driver.stdout.readline() or "{}")
                    result[f"{key} {work}"] = {"longest_gap_ms": r.get("longest_gap_ms"), "sent": r["sent"],
                                              "received": r["received"], "xruns": r.get("xruns"),
                                              "longest_busy_ms": busy.get("longest_busy_ms")}
                    log(f"stall {key} {work}: {result[f'{key} {work}']}")
                finally:
                    if driver:
                        stop_process(driver)
                    if probe:
                        probe.close()
                    if forwarder:
                        forwarder.stop()
    finally:
        shutil.rmtree(data, ignore_errors=True)
    return result


def startup(settings, build):
    """Launch to first message at the probe, and resident memory after a second of idling:
    the program (its start-up sends the first song) against a bare Qt window that opens one
    JACK client and sends one message."""
    results = {"program": [], "bare": []}
    probe = Probe(build)
    try:
        for i in range(settings.launches):
            order = ["bare", "program"] if i % 2 == 0 else ["program", "bare"]
            for key in order:
                if key == "program":
                    data = tempfile.mkdtemp(prefix="pwb-start-")
                    write(os.path.join(data, "Midi.ini"), "[Project]\r\nLast one=Start.txt\r\n")
                    write(os.path.join(data, "Projects", "Start.txt"), "One\r\n")
                    write(os.path.join(data, "Projects", "One.txt"),
                          "[TSpinEdit]\r\nSpin48=1\r\nSpin49=5\r\n[TCheckBox]\r\nChecked46=1\r\n")
                    cmd = (f"{build}/src/app/patchwarden --midi-api jack --data-dir {data} "
                           f"--midi-in {PROBE_OUT} --midi-out {PROBE_IN}")
                else:
                    data = None
                    cmd = f"{build}/bench/pw_barewindow {PROBE_IN}"
                r = probe.ask(f"first 30 {settings.idle_ms} {cmd}")
                if data:
                    shutil.rmtree(data, ignore_errors=True)
                results[key].append(r)
    finally:
        probe.close()
    return results


def startup_figures(results):
    """Median milliseconds to the first message and median resident MiB, per subject, and the ratio."""
    def median(values):
        return statistics.median(values) if values else float("nan")
    med = {key: (median([r["startup_ms"] for r in runs if r["startup_ms"] >= 0]),
                 median([r["rss_kb"] / 1024 for r in runs if r["rss_kb"] > 0]))
           for key, runs in results.items()}
    return {"median_ms_mib": med, "ratio": ratio(med["program"][0], med["bare"][0])}


def rig_figures(rig):
    return {"xruns": rig["xruns"], "one_cycle": {k: one_cycle_share(ph) for k, ph in rig["phases"].items()}}


def micro_benchmarks(settings, build):
    exe = os.path.join(build, "bench", "bench_midiinput")
    args = [exe, "--benchmark_min_time=0.05s" if settings.quick else "--benchmark_min_time=0.5s",
            "--benchmark_format=json"]
    run = subprocess.run(args, capture_output=True, text=True, timeout=600,
                         env=dict(os.environ, QT_QPA_PLATFORM="offscreen"))
    if run.returncode != 0:
        return []
    return json.loads(run.stdout).get("benchmarks", [])


# ---- figures -----------------------------------------------------------------------------

def pct(values, p):
    """The exact percentile: the smallest value with at least p % of the samples at or below."""
    if not values:
        return float("nan")
    s = sorted(values)
    k = max(0, min(len(s) - 1, -(-len(s) * p // 100) - 1))
    return s[int(k)]


def source_commit():
    """The commit the measured build came from, so that the figures can be tied to the code."""
    run = subprocess.run(["git", "-C", ROOT, "rev-parse", "--short", "HEAD"], capture_output=True, text=True)
    return run.stdout.strip() if run.returncode == 0 else "unknown"


def load_average():
    with open("/proc/loadavg") as f:
        return " ".join(f.read().split()[:3])


def machine():
    model = "unknown CPU"
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                if line.startswith("model name"):
                    model = line.split(":", 1)[1].strip()
                    break
    except OSError:
        pass
    jack = subprocess.run(["jackd", "--version"], capture_output=True, text=True).stdout.splitlines()
    return f"{model}, {os.cpu_count()} cores, Linux {platform.release()}; {jack[0] if jack else 'jackd'}"


def fmt(x, digits=1):
    if x is None or x != x:
        return "–"
    return f"{x:.{digits}f}" if isinstance(x, float) else str(x)


def ratio(a, b):
    return a / b if b else float("nan")


class Report:
    def __init__(self, settings, started, load_before):
        self.s = settings
        self.started = started
        self.load_before = load_before
        self.lines = []
        self.verdicts = []

    def add(self, *lines):
        self.lines.extend(lines)

    def verdict(self, target, figure, met, floor_failed=False):
        if met:
            v = "met"
        elif floor_failed:
            v = "**missed**; the native floor failed it about as badly in this run (xruns)"
        else:
            v = "**missed**"
        self.verdicts.append((target, figure, v))


SUBJECTS = (("native", "native JACK pass-through"), ("rtmidi", "RtMidi forwarder"), ("program", "Patchwarden"))


def table_head(rep, title, columns):
    if title:
        rep.add(title, "")
    rep.add("| " + " | ".join(columns) + " |", "|" + "---|" * len(columns))


def latency_table(rep, period, rounds):
    table_head(rep, f"#### Thru latency, {period} frames (frames from send to return, one message in flight)",
               ["subject", "messages", "p50", "p99", "p99.9", "max", "late: ≥ 2 periods after the native p50",
                "lost", "xruns (kept rounds)"])
    figures = {}
    # A path that leaves the process callback (the forwarder's output client, the program's
    # window thread) goes out up to a cycle after the native floor: "late" counts what comes
    # a further period behind that. (The forwarder's own median is no steadier a reference:
    # its output client runs before or after its input client from one round to the next.)
    hop = pct([f for r in rounds for f in r["native"]["latency"]["frames"]], 50) + period
    for key, label in SUBJECTS:
        frames, lost, xruns = [], 0, []
        for rnd in rounds:
            lat = rnd[key]["latency"]
            frames += lat["frames"]
            lost += lat["lost"]
            xruns.append(lat["xruns"])
        late = sum(1 for f in frames if f >= hop + period)
        figures[key] = {"p50": pct(frames, 50), "p99": pct(frames, 99), "late": late, "n": len(frames)}
        rep.add(f"| {label} | {len(frames)} | {pct(frames, 50)} | {pct(frames, 99)} | {pct(frames, 99.9)} | "
                f"{max(frames) if frames else '–'} | {late} ({fmt(100.0 * late / max(1, len(frames)), 2)} %) | "
                f"{lost} | {', '.join(map(str, xruns))} |")
    rep.add("")
    return figures


def rate_table(rep, period, rounds):
    table_head(rep, f"#### Sustained thru, {period} frames (all rounds summed; CPU of the forwarding process)",
               ["rate/s", "subject", "sent", "not sendable at the probe", "lost", "out of order / repeated",
                "CPU % of a core", "µs CPU per message", "µs CPU per message, less idle", "xruns"])
    figures = {}
    for rate in RATES:
        for key, label in SUBJECTS:
            rs = [rnd[key]["rates"][rate] for rnd in rounds]
            sent = sum(r["sent"] for r in rs)
            failed = sum(r["write_failed"] for r in rs)
            received = sum(r["received"] for r in rs)
            lost = sent - received
            cpu = sum(r["cpu_s"] for r in rs)
            secs = sum(r["seconds"] for r in rs)
            # Runs saved before idle was measured after each stream have the rate before them all.
            idle = sum(r.get("idle_cpu_s", rnd[key]["idle_cpu_s"]) * r["seconds"] for rnd, r in zip(rounds, rs))
            net = cpu - idle
            per_msg = 1e6 * net / received if received and net >= CPU_FLOOR_S else float("nan")
            all_per_msg = 1e6 * cpu / received if received and cpu >= CPU_FLOOR_S else float("nan")
            figures[(rate, key)] = {"loss": lost / sent if sent else float("nan"), "per_msg": per_msg,
                                    "all_per_msg": all_per_msg, "sent": sent}
            rep.add(f"| {rate:,} | {label} | {sent:,} | {failed:,} | {lost:,} ({fmt(100.0 * lost / max(1, sent), 3)} %) | "
                    f"{sum(r['reordered'] for r in rs):,} / {sum(r.get('duplicates', 0) for r in rs):,} | {fmt(100.0 * cpu / secs)} | {fmt(all_per_msg, 3)} | {fmt(per_msg, 3)} | "
                    f"{', '.join(str(r['xruns']) for r in rs)} |")
    rep.add("")
    return figures


def song_table(rep, sc, period, what="Song change"):
    table_head(rep, f"#### {what}, {period} frames (144 messages per recall; one burst per recall at the probe)",
               ["path", "recalls", "whole recalls seen", "in one cycle", "caller p50 µs", "caller p99 µs",
                "caller max µs"])
    labels = {"space": "harness: Space on the song list (load + send)", "recall": "harness: `recallSong` alone",
              "raw": "harness: raw loop of the same 144 `SendShort`"}
    out = {}
    for key, ph in sc["phases"].items():
        n = len(ph["cycles"])
        whole = sum(1 for m in ph["messages"] if m == 144)
        one = sum(1 for c, m in zip(ph["cycles"], ph["messages"]) if c == 1 and m == 144)
        us = ph["caller_us"]
        out[key] = {"share": one / n if n else float("nan"), "p99": pct(us, 99), "p50": pct(us, 50)}
        rep.add(f"| {labels[key]} | {n} | {whole} | {one} ({fmt(100.0 * one / max(1, n))} %) | {fmt(pct(us, 50))} | "
                f"{fmt(pct(us, 99))} | {fmt(max(us) if us else float('nan'))} |")
    q = sc.get("qsettings_us")
    if q:
        out["qsettings"] = {"p50": pct(q, 50), "p99": pct(q, 99)}
        rep.add(f"| baseline: Qt's `QSettings` reading the same song file ({sc.get('qsettings_keys')} keys), "
                f"no MIDI | {len(q)} | – | – | {fmt(pct(q, 50))} | {fmt(pct(q, 99))} | {fmt(max(q))} |")
    rep.add("", f"xruns during the song-change run: {sc['xruns']}.", "")
    return out


def load_run(path):
    """A saved run, with the numeric keys JSON turned into strings made numbers again."""
    with open(path) as f:
        saved = json.load(f)
    settings = Settings(saved["settings"]["quick"])
    vars(settings).update(saved["settings"])
    data = saved["data"]
    for part in ("thru", "songs", "errors", "song_errors"):
        data[part] = {int(k): v for k, v in data.get(part, {}).items()}
    for rounds in data["thru"].values():
        for rnd in rounds:
            for result in rnd.values():
                result["rates"] = {int(float(k)): v for k, v in result["rates"].items()}
    return settings, datetime.fromisoformat(saved["started"]), saved["load_before"], data


def update_readme(settings, started, headline, realtime, verdicts):
    """Puts the thru latency against the native floor and the song-change figure between the
    README's markers, so that it always quotes the run PERFORMANCE.md holds."""
    path = os.path.join(ROOT, "README.md")
    with open(path) as f:
        text = f.read()
    begin, end = "<!-- bench headline -->\n", "<!-- /bench headline -->"
    if begin not in text or end not in text:
        return
    lines = []
    if not realtime:
        # Without real-time scheduling the window's thread may forward before the process
        # callback writes: such figures flatter, and are never the headline.
        headline = {}
        lines.append("- The last run had no real-time scheduling for its JACK server: its figures are in the "
                     "file, but not quoted here.")
    for period in settings.periods:
        if period not in headline:
            continue
        lat = headline[period][0]
        p, n, f = lat["program"], lat["native"], lat["rtmidi"]
        line = (f"- {period} frames: thru latency p50 {p['p50']} / p99 {p['p99']} frames against the native "
                f"floor's {n['p50']} / {n['p99']} (RtMidi forwarder {f['p50']} / {f['p99']})")
        songs = headline.get((period, "songs"))
        if songs:
            s = songs["space"]
            line += (f"; song change (Space on the song list, 144 messages, in a harness of the program's "
                     f"code) in one JACK cycle {fmt(100 * s['share'])} % of recalls, load + send p99 "
                     f"{fmt(s['p99'] / 1000, 2)} ms")
        lines.append(line + ".")
    met = [t for t, _, v in verdicts if v == "met"]
    missed = [f"{t} ({fig})" for t, fig, v in verdicts if v.startswith("**missed")]
    if realtime and verdicts:
        lines.append(f"- Targets: {len(met)} of {len(verdicts)} met; missed: " + ("; ".join(missed) or "none") + ".")
    kind = "--quick run" if settings.quick else "full run"
    lines.append(f"- Measured {started.strftime('%Y-%m-%d')} on a shared {os.cpu_count()}-core machine ({kind}); "
                 "see the file for every figure, the targets met and missed, and why.")
    head, rest = text.split(begin, 1)
    text = head + begin + "\n".join(lines) + "\n" + rest[rest.index(end):]
    with open(path, "w") as f:
        f.write(text)


def write_report(settings, path, started, load_before, data, load_after):
    rep = Report(settings, started, load_before)
    rep.add("# Performance", "",
            f"Last run: {started.strftime('%Y-%m-%d %H:%M UTC')}, `./bench.sh{' --quick' if settings.quick else ''}` "
            f"on {machine()}, built from commit {data.get('commit', 'unknown')}.", "",
            f"**Load while measuring**: load average {load_before} at the start and "
            f"{load_after} at the end (1, 5, 15 min) on {os.cpu_count()} cores (the machine is shared; the "
            "bench's own processes count in it). The JACK server runs "
            + ("with real-time scheduling, as players run it. " if data.get("realtime") else
               "without real-time scheduling: the window's thread may then act before the JACK callback, and "
               "no figure of this run is to be quoted as a headline. ")
            + "Absolute times are inflated and "
            "noisy; what counts are the ratios against the baselines measured in the same run, in "
            "interleaved rounds (native JACK pass-through, RtMidi forwarder, the program, order rotated each "
            "round).", "",
            f"Settings: {settings.rounds} rounds per period; {settings.latency_count} latency messages per "
            f"subject and round; {settings.rate_seconds:g} s per rate; {settings.recalls} recalls per song-change "
            f"path; {settings.launches} launches per start-up subject. A measurement that saw xruns is taken "
            f"again up to {settings.retries} time(s) within a bounded budget; the attempt with the fewest xruns "
            "is kept and its xrun count is shown.", "")
    head_len = len(rep.lines)
    if settings.quick:
        rep.add("This is a `--quick` run: fewer messages, shorter streams and fewer recalls than the full run; "
                "percentiles above p99 rest on few samples.", "")
    headline = {}
    for period in settings.periods:
        rounds = data["thru"].get(period)
        rep.add(f"## {period} frames at 48 kHz ({period / 48:.2f} ms per cycle)", "")
        if not rounds:
            rep.add("Not measured: " + data["errors"].get(period, "no complete round") + "", "")
            continue
        lat = latency_table(rep, period, rounds)
        rates = rate_table(rep, period, rounds)
        clients = [r["program"].get("jack_clients") for r in rounds]
        idle = {key: statistics.mean(r[key]["idle_cpu_s"] for r in rounds) for key, _ in SUBJECTS}
        rep.add("Idle CPU (% of a core, mean of rounds): " +
                ", ".join(f"{label} {fmt(100 * idle[key])}" for key, label in SUBJECTS) + ".",
                f"JACK clients with ports that the program opened: {', '.join(str(c) for c in clients)} (per round).",
                "Launches per round until a 0.2 s check stream came through (a launch that forwarded nothing "
                "is made again): " + ", ".join(
                    f"{label} {', '.join(str(r[key].get('launches', '–')) for r in rounds)}"
                    for key, label in SUBJECTS) + ".",
                "")
        headline[period] = (lat, rates)
        sc = data["songs"].get(period)
        if sc:
            headline[(period, "songs")] = song_table(rep, sc, period)
        if period == 64 and data.get("rig"):
            headline["rig"] = song_table(rep, data["rig"], period, "Recall across three units' ports and the main "
                                         "output (strips 1-5, 6-10, 11-15 on three ports, 16 on the main one)")
        elif period == 64 and data.get("rig_error"):
            rep.add(f"Recall across three ports not measured: {data['rig_error']}", "")
        elif period in data["song_errors"]:
            rep.add(f"Song change not measured at {period} frames: {data['song_errors'][period]}", "")

    st = data.get("startup")
    if st:
        rep.add("## Start-up and idle memory", "", "Launch to the first MIDI message at the probe (the program sends the first song of its last "
                "project at the end of its start-up; the bare window sends a message every cycle once its JACK "
                f"client runs, and the first to arrive counts), and resident memory after {settings.idle_ms} ms of idling.", "")
        table_head(rep, "", ["subject", "launches", "median ms", "max ms", "median RSS MiB"])
        figures = startup_figures(st)
        med = figures["median_ms_mib"]
        for key, label in (("bare", "bare Qt window + one JACK client"), ("program", "Patchwarden")):
            ms = [r["startup_ms"] for r in st[key] if r["startup_ms"] >= 0]
            rep.add(f"| {label} | {len(ms)}/{len(st[key])} | {fmt(med[key][0])} | {fmt(max(ms) if ms else float('nan'))} | "
                    f"{fmt(med[key][1])} |")
        r = figures["ratio"]
        rep.add("", f"Start-up ratio: {fmt(r, 2)}×; memory ratio: {fmt(ratio(med['program'][1], med['bare'][1]), 2)}×.", "")
        rep.verdict("start-up ≤ 1.5× a bare Qt window with one JACK client", f"{fmt(r, 2)}×", r <= 1.5)

    # Targets, each a ratio within this run.
    for period in settings.periods:
        if period not in headline:
            continue
        lat, rates = headline[period]
        p, f, n = lat["program"], lat["rtmidi"], lat["native"]
        rep.verdict(f"thru latency p50/p99 ≤ RtMidi forwarder ({period} frames)",
                    f"p50 {p['p50']} vs {f['p50']}, p99 {p['p99']} vs {f['p99']} frames",
                    p["p50"] <= f["p50"] and p["p99"] <= f["p99"])
        share = 100.0 * p["late"] / max(1, p["n"])
        native_share = 100.0 * n["late"] / max(1, n["n"])
        rep.verdict(f"≤ 0.01 % one period late: ≥ 2 periods after the native p50 ({period} frames)", f"{fmt(share, 3)} % ({p['late']} of {p['n']}; "
                    f"forwarder {f['late']} of {f['n']}; native {n['late']} of {n['n']})", share <= 0.01, 0.01 < native_share and share <= 2 * native_share)
        rep.verdict(f"p99 within one period of the native floor ({period} frames)",
                    f"p99 {p['p99']} vs floor p99 {n['p99']} frames", p["p99"] <= n["p99"] + period)
        ceiling = 1_000_000 if period == 64 else 300_000
        for rate in RATES:
            if rate > ceiling:
                continue
            pl = rates[(rate, "program")]["loss"]
            nl = rates[(rate, "native")]["loss"]
            rep.verdict(f"lossless at {rate:,}/s ({period} frames)",
                        f"lost {fmt(100 * pl, 3)} % (native {fmt(100 * nl, 3)} %)", pl == 0, 0 < nl and pl <= 2 * nl)
        judged, unjudged = [], []
        for rate in RATES:
            if rate > ceiling:
                continue
            x = ratio(rates[(rate, "program")]["per_msg"], rates[(rate, "rtmidi")]["per_msg"])
            (unjudged if x != x else judged).append((rate, x))
        title = f"CPU per message ≤ 1.2× the forwarder ({period} frames, every rate)"
        figure = " / ".join(f"{rate // 1000:,} k: {fmt(x, 2)}×" for rate, x in judged)
        if unjudged:
            figure += ("; " if figure else "") + "not judged at " + ", ".join(
                f"{rate // 1000:,} k" for rate, _ in unjudged) + " (less than 1 ms of CPU, less idle)"
        # Judged less idle, the stricter for the program: the forwarder's two clients wake
        # twice a cycle when idle, the program's one once. The whole CPU is shown beside it.
        whole = [(rate, ratio(rates[(rate, "program")]["all_per_msg"], rates[(rate, "rtmidi")]["all_per_msg"]))
                 for rate in RATES if rate <= ceiling]
        figure += "; all CPU counted: " + " / ".join(f"{rate // 1000:,} k: {fmt(x, 2)}×" for rate, x in whole)
        if judged:
            rep.verdict(title, figure, all(x <= 1.2 for _, x in judged))
        else:
            rep.verdicts.append((title, figure, "not judged"))
        songs = headline.get((period, "songs"))
        if songs:
            s = songs["space"]
            rep.verdict(f"≥ 99.5 % of recalls in one cycle ({period} frames)",
                        f"{fmt(100 * s['share'])} % (raw loop {fmt(100 * songs['raw']['share'])} %)",
                        s["share"] >= 0.995)
            rep.verdict(f"`recallSong` p99 ≤ 50 µs ({period} frames)", f"{fmt(songs['recall']['p99'])} µs "
                        f"(raw loop {fmt(songs['raw']['p99'])} µs)", songs["recall"]["p99"] <= 50)
            q = songs.get("qsettings")
            rep.verdict(f"load + send p99 ≤ 0.5 ms ({period} frames)", f"{fmt(s['p99'] / 1000, 2)} ms" +
                        (f" ({fmt(ratio(s['p50'], q['p50']), 1)}× `QSettings` reading the file, at p50)" if q else ""),
                        s["p99"] <= 500)

    if headline.get("rig"):
        s = headline["rig"]["space"]
        rep.verdict("≥ 99.5 % of recalls across three ports in one cycle (64 frames)", f"{fmt(100 * s['share'])} %",
                    s["share"] >= 0.995)
    verdict_lines = ["## Targets", "", "| target | this run | |", "|---|---|---|"]
    verdict_lines += [f"| {t} | {fig} | {v} |" for t, fig, v in rep.verdicts]
    verdict_lines += ["", "Reading the misses:", "",
                      "- Where the native floor misses about as badly (at most twice the floor's figure), the server itself lost or delayed messages in "
                      "that run: on a loaded machine the dummy driver reports xruns (counts in the tables), "
                      "and a late cycle delays or drops MIDI for every client.",
                      "- Where only the program misses, the figure is the program's own; the same-run "
                      "ratios above show how far each path is from its baseline. The thru path's own costs "
                      "are in the micro-benchmarks below: `BM_ThruDrain` is the main window's whole drain "
                      "per message (mixer input row, remote selection, foot switch, thru, lamp) and "
                      "`BM_FeedCycle` the driver side per message as JACK hands a cycle over.",
                      "- CPU per message: the program forwards on JACK's thread, as the forwarder does; its "
                      "window reads a copy of what it acts on (program changes, foot-switch messages, SysEx) "
                      "at once, of bank selects in a row the last, and of other messages only what it shows: "
                      "the latest at most every 50 ms while the mixer's input row is on screen, the next one "
                      "while the input lamp is dark, none while it is lit (as here: the mixer is not open); "
                      "while it is lit, bank selects wait for the next message it acts on, the last of each "
                      "channel's going ahead of it. "
                      "The figure holds both threads. At low rates it is mostly what a streaming second costs "
                      "whatever its messages: the window's wake-ups, at 1 k/s and 256 frames about 3 a second "
                      "against 2 when idle (the lamp's tick, which finds input still coming and leaves the lamp "
                      "lit; the probe's stream carries runs of 128 bank selects; 28 wake-ups a second before "
                      "the lamp and the bank selects were thinned, 9 before bank selects waited, 4 while the "
                      "lamp still went out at its tick and the next message lit it again, 2026-12-09). \"Less idle\" takes off what the process "
                      "spent idling for as long as the stream ran (the mean of its idle rate right before and right "
                      "after the stream; before 2026-12-09 the rate before all streams alone, which for the "
                      "forwarder came out above its streaming rate at 1 k/s); it is "
                      "the figure judged, as the stricter for the program: idle, the forwarder's two JACK "
                      "clients wake twice a cycle and the program's one once, so the forwarder has more "
                      "taken off.",
                      "- Late messages: thru runs in the JACK process callback and a message leaves in the "
                      "cycle it came in; one a period late is one whose cycle the server ran late (compare "
                      "with the xruns of the same rounds in the latency tables).",
                      "- Losses: counted by hand (64 frames, low rates) with the program's own traffic "
                      "counters (events its input port took, messages its output port wrote), the program "
                      "wrote out every event it took (32 804 of 32 804 in one 6 s run at 1 k/s and 10 k/s) "
                      "and the rest was lost before its input or after its output, in cycles the server "
                      "skipped for the client (119 in that run, about 11 a second even when idle on this "
                      "loaded machine); the native pass-through lost as much in the same sessions. The "
                      "harness itself does not read those counters. In the full run of 2026-12-07 every stream in "
                      "which the program lost messages had seen xruns, and each loss was whole cycles of "
                      "messages (at 1 M/s and 64 frames a cycle carries 1 333: 8 000, 7 999 and 6 664 lost; at "
                      "1 k/s and 256 frames about 5: 5 lost, with 1 xrun). The repeats at 1 M/s (1 332 in each of "
                      "two rounds) are likewise one cycle delivered twice, in rounds with xruns; the forwarder showed such "
                      "repeats too. Where they arise was not traced.",
                      "- `recallSong` against the raw loop of the same 144 sends separates the recall's own "
                      "work (reading the song's widgets) from the cost of the sends. Where the raw loop's own "
                      "p99 is above the target too, that tail is the cost of the sends on this machine, not "
                      "the recall's work.",
                      "- Load + send, profiled by hand (2026-12-07, perf over 200 Space presses at 64 frames): "
                      "about a quarter of the time is reading the song file, most of it the file system calls "
                      "(checking, opening, reading, closing); a seventh is moving the song list's selection "
                      "and what follows it; a tenth is the unit profiles reading the song's bank section; "
                      "7 % is changing into the projects folder, as every song load does; 7 % is the recall "
                      "and its sends; the rest is setting the song's 108 stored controls. No single part "
                      "holds the gap to the target.",
                      "- Start-up, traced by hand (2026-12-09, launches at 64 frames, real-time server, "
                      "Release build, times from launch): the program reaches `main` at 9 to 12 ms, as the "
                      "bare window does. A thread of its own opens the JACK client from there, makes the "
                      "output port for the device that the command line or Midi.ini names, activates the "
                      "client and connects the port (at 27 to 38 ms). Opening a client takes 15 to 24 ms "
                      "even alone on an idle machine, the bare window's too: the JACK library sleeps 4 ms "
                      "in it, waits 5 ms for the server's answer and locks the server's 107 MB shared "
                      "segment into memory (9 ms under strace), which stalls the other threads' page faults "
                      "while it runs. Meanwhile another thread reads Qt's font list (done at 15 to 17 ms "
                      "when alone, 27 to 31 ms when it meets that locking), the main thread shows the "
                      "splash (its first text drawn at 17 to 29 ms) and builds the window's controls; the "
                      "ports, made next, wait for the client where it is not open yet. The first song is "
                      "handed to the output at 35 to 46 ms (median 38) and leaves in the next cycle. Before "
                      "the windows were built during the open and the fonts read off the main thread, the "
                      "client had to be open before the windows were begun, and the first text drawn read "
                      "the fonts on the main thread; the same probe, 15 launches of each taken turn about: "
                      "45.1 ms before, 42.1 ms after, the bare window 30.3 ms (building the windows during "
                      "the open alone: 46.5 ms before and after). A new connection holds what is sent for "
                      "5 ms on a real-time server (20 ms without real-time scheduling), counted from the "
                      "connection, so at start-up the hold has ended before the windows are built. With no "
                      "hold, the first song was lost in none of 120 launches on a real-time server (60 "
                      "idle, 60 with both cores busy) and in 5 of 60 on a non-real-time server with both "
                      "cores busy.",
                      "- Not measured by this harness: whether the driver thread takes a lock or allocates "
                      "(that needs a hook inside the program's input path, not a figure from outside); `tests/platform/tst_jackmidisystem.cpp` runs the JACK input and output path under hooks that count malloc, calloc, realloc and mutex locks on the driver thread: 0 and 0 (a planted allocation and lock each show).", ""]

    mb = data.get("micro") or []
    micro_lines = ["## Micro-benchmarks (Google Benchmark, `bench_midiinput`)", ""]
    if mb:
        micro_lines += ["| benchmark | real time | CPU time | items/s |", "|---|---|---|---|"]
        for b in mb:
            ips = b.get("items_per_second")
            micro_lines.append(f"| {b['name']} | {fmt(b['real_time'])} {b['time_unit']} | {fmt(b['cpu_time'])} "
                               f"{b['time_unit']} | {fmt(ips / 1e6, 2) + ' M' if ips else '–'} |")
    else:
        micro_lines.append("Not run or failed.")
    micro_lines.append("")

    problems = data["errors"]
    notes = ["## How this was measured", "",
             "- `bench/pw_probe.cpp`: two JACK clients of our own, a source and a sink. The source writes each "
             "message into its output buffer at a known frame; the sink reads what the subject passes on by "
             "frame (`jack_last_frame_time` + event offset), "
             "so latencies are exact in frames; percentiles are exact order statistics. Streams carry an "
             "18-bit sequence number in control changes, so loss, gaps and reordering are counted, not "
             "estimated. \"not sendable at the probe\" counts messages the probe's own JACK port buffer "
             "could not take in that cycle; they are not counted as sent.",
             "- `bench/pw_passthru.cpp`: the floor, copying input to output in the same cycle.",
             "- `bench/pw_rtforward.cpp`: an RtMidi (JACK API) forwarder sending from its input callback. "
             "RtMidi opens one JACK client per port, so it runs two. In about half of all launches here the "
             "server never woke the process thread of the client opened second, whichever of the two that "
             "was (its thread showed no context switch at all), and that launch forwarded nothing. So every "
             "subject is checked with a 0.2 s stream before it is measured, and launched again if nothing "
             "came through; the launches each round took are given under the stream tables.",
             "- Source and sink being separate clients, the graph runs source → subject → sink in one cycle "
             "with no feedback edge, so each subject's figure is its own: the native pass-through returns a "
             "message in the cycle it was sent (0 frames). (Runs before this harness used one probe client "
             "that both fed and heard the subject; that loop added one period to every subject.) Under "
             "xruns the native pass-through now and then returned a message twice; those count as "
             "repeated, never as received.",
             "- The RtMidi forwarder sends from its input client's callback into RtMidi's queue, which its "
             "separate output client writes in its next cycle: one period. The program forwards in its own "
             "process callback, in the cycle a message arrives (the hold-back of remote and foot-switch "
             "messages is read there from one atomic word), as the native pass-through does: 0 frames; its "
             "window gets a copy of each message afterwards and does not delay thru.",
             "- The program's input ring: 5 461 slots (the most a port allows; the port's own default "
             "stays 1 024). One JACK cycle hands over all of its messages at once, 1 333 at 1 M msg/s and "
             "64 frames, 1 600 at 300 k/s and 256 frames, before the window's thread can start reading: "
             "a 1 024-slot ring loses the excess whatever the drain's speed (the run before this change "
             "lost 26.6 % at 1 M/s, 64 frames, and 27.1 % at 300 k/s, 256 frames).",
             "- The program is the real binary, `--midi-api jack`, an empty data folder, its input and "
             "output named with `--midi-in` / `--midi-out`. Song change runs `bench/bench_songchange.cpp`, "
             "which builds the program's own windows on JACK, presses Space on the song list (the stage "
             "action: next song, load, send) and times the call; the project lists the same full song recalls + 2 times, so "
             "every press loads and sends 144 messages. \"in one cycle\" means all 144 messages of a recall arrived in one JACK cycle "
             "at the probe. This harness is the program's code, not its binary: the binary offers no way "
             "from outside to press Space, and a remote program change only moves the selection (key and "
             "pointer events sent to the binary through Qt's VNC platform did not reach the song list "
             "when tried).",
             "- Start-up is timed to the first MIDI message at the probe, not to the window: the binary "
             "says nothing when its window is up, and its start-up ends by sending the first song.",
             "- CPU: the forwarding process's CPU-time clock (all its threads, to the nanosecond; "
             "what `clock_getcpuclockid` gives) around each stream, less its idle rate; the JACK "
             "server's own time is not included."]
    if problems:
        notes += ["", "Problems in this run: " + "; ".join(f"{k}: {v}" for k, v in problems.items())]
    notes.append("")
    stall = data.get("stall")
    if stall:
        notes += ["## Thru while the window is busy (64 frames)", "",
                  "1 000 msg/s through thru while the window loads a 20 MB song now and then, or is resized "
                  "without pause; the RtMidi forwarder runs beside the same window work in another process. "
                  "Largest gap at the sink, with the longest single piece of window work.", "",
                  "| subject, window work | largest gap | received / sent | xruns | longest window work |",
                  "|---|---|---|---|---|"]
        for key, r in stall.items():
            notes.append(f"| {key} | {fmt(r['longest_gap_ms'])} ms | {r['received']} / {r['sent']} | {r['xruns']} | "
                         f"{r['longest_busy_ms']} ms |")
        notes.append("")

    update_readme(settings, started, headline, data.get("realtime"), rep.verdicts)
    text = "\n".join(rep.lines[:head_len] + verdict_lines + rep.lines[head_len:] + micro_lines + notes)
    with open(path, "w") as f:
        f.write(text)
    return rep.verdicts


# ---- main --------------------------------------------------------------------------------

def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--quick", action="store_true")
    parser.add_argument("--build", default=os.path.join(ROOT, "build-bench"))
    parser.add_argument("--report", default=os.path.join(ROOT, "docs", "PERFORMANCE.md"))
    parser.add_argument("--from-json", help="write the report again from a run's saved figures")
    # One part alone, at one period, its figures printed: for working on that part.
    parts = {
        "stall": ("the GUI-stall measurement", lambda b: {"stall": gui_stall(Settings(args.quick), b)}),
        "rig": ("the recall across three ports", lambda b: rig_figures(song_change(Settings(args.quick), b, rig=True))),
        "startup": ("the start-up", lambda b: {"startup": startup_figures(startup(Settings(args.quick), b))}),
    }
    for name, (what, _) in parts.items():
        parser.add_argument(f"--{name}-only", type=int, metavar="PERIOD",
                            help=f"only {what} at this period; prints its figures")
    args = parser.parse_args()
    build = os.path.abspath(args.build)
    for name, (_, measure) in parts.items():
        period = getattr(args, f"{name}_only")
        if period:
            server = JackServer(period)
            try:
                print(json.dumps({"realtime": REALTIME, "period": period, **measure(build)}, indent=1))
            finally:
                server.stop()
            return 0
    saved = os.path.join(build, "bench-last.json")
    if args.from_json:
        settings, started, load_before, data = load_run(args.from_json)
        write_report(settings, args.report, started, load_before, data, data.get("load_after"))
        return 0
    settings = Settings(args.quick)
    started = datetime.now(timezone.utc)
    load_before = load_average()
    data = {"thru": {}, "songs": {}, "errors": {}, "song_errors": {}, "commit": source_commit(),
            "realtime": REALTIME}
    budget = {"left": 12 if settings.quick else 60}

    log("micro-benchmarks")
    data["micro"] = micro_benchmarks(settings, build)

    # One server for the whole run, its period changed between parts: a slot given up on a
    # shared machine may not come back soon.
    server = None
    try:
        for period in settings.periods:
            log(f"JACK dummy server {SERVER} at {period} frames")
            if server and not (server.running() and server.set_period(period)):
                server.stop()
                server = None
            try:
                server = server or JackServer(period)
            except RuntimeError as e:
                data["errors"][period] = str(e)
                log(f"failed: {e}")
                continue
            try:
                rounds = []
                subjects = [Native(), Forwarder(), Program()]
                for rnd in range(settings.rounds):
                    order = subjects[rnd % 3:] + subjects[:rnd % 3]
                    result = {}
                    for subject in order:
                        log(f"{period} frames, round {rnd + 1}: {subject.label}")
                        result[subject.key] = thru_session(settings, build, subject, budget)
                    rounds.append(result)
                data["thru"][period] = rounds
                log(f"{period} frames: song change")
                try:
                    data["songs"][period] = song_change(settings, build)
                except (RuntimeError, subprocess.TimeoutExpired, json.JSONDecodeError) as e:
                    data["song_errors"][period] = str(e)
                    log(f"song change failed: {e}")
                if period == 64:
                    log(f"{period} frames: recall across three ports")
                    try:
                        data["rig"] = song_change(settings, build, rig=True)
                    except (RuntimeError, subprocess.TimeoutExpired, json.JSONDecodeError) as e:
                        data["rig_error"] = str(e)
                        log(f"recall across three ports failed: {e}")
                    log("start-up")
                    data["startup"] = startup(settings, build)
                    log("thru while the window is busy")
                    try:
                        data["stall"] = gui_stall(settings, build)
                    except (RuntimeError, subprocess.TimeoutExpired, json.JSONDecodeError) as e:
                        data["stall_error"] = str(e)
                        log(f"GUI stall failed: {e}")
            except RuntimeError as e:
                data["errors"][period] = str(e)
                log(f"failed: {e}")
    finally:
        if server:
            server.stop()

    data["load_after"] = load_average()
    with open(saved, "w") as f:
        json.dump({"settings": vars(settings), "started": started.isoformat(), "load_before": load_before,
                   "data": data}, f)
    verdicts = write_report(settings, args.report, started, load_before, data, data["load_after"])
    log(f"wrote {args.report}")
    for target, figure, verdict in verdicts:
        word = verdict.split(";")[0].strip("*")
        print(f"{word:13} {target}: {figure}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
