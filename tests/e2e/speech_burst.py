#!/usr/bin/env python3
"""Read-aloud under a burst of real key presses, in a real X session.

With 朗读 ticked, Right is pressed 20 and 40 times, 30 ms apart (xdotool,
XTEST underneath), then Delete. The window must answer: the delete question
appears within a generous bound (the goal is 0.3 s; the bound only catches a
window that is held), and answering it deletes the item the burst ended on,
so every press was taken. Four cases: local speech, online speech from a local
stand-in, online audio that is corrupt, and no sound device. Sound goes to a
private PulseAudio server with a null sink when PulseAudio is installed; its
monitor tells whether the last item was heard after the burst.

Usage: speech_burst.py --exe build/app/lorvanta --title "Lorvanta V1.2" [--keep]
"""

import argparse
import glob
import http.server
import math
import os
import re
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import run_e2e as e2e  # noqa: E402
from run_e2e import CaseFailure, Program, check, gbk  # noqa: E402

# The goal is 0.3 s; this bound is far above it so that a loaded machine
# cannot fail the case, while a window held for seconds still does.
ANSWER_BOUND = 3.0
PRESS_GAP_MS = 30
QUIET = 100  # peak below which a 5 ms block counts as silence


def tone_wav(seconds=1.5, rate=22050):
    """A voice-like tone as the speech service would send it."""
    n = int(rate * seconds)
    samples = bytearray()
    for i in range(n):
        t = i / rate
        v = math.sin(2 * math.pi * 180 * t) + 0.5 * math.sin(2 * math.pi * 360 * t)
        samples += struct.pack("<h", int(6000 * v))
    header = b"RIFF" + struct.pack("<I", 36 + len(samples)) + b"WAVEfmt " + \
        struct.pack("<IHHIIHH", 16, 1, 1, rate, rate * 2, 2, 16) + b"data" + struct.pack("<I", len(samples))
    return header + bytes(samples)


class SpeechService:
    """The TTS service on 127.0.0.1: a tone, or bytes that are no audio at all."""

    def __init__(self, corrupt):
        body = os.urandom(6000) if corrupt else tone_wav()
        kind = "audio/mpeg" if corrupt else "audio/wav"
        self.requests = 0
        outer = self

        class Handler(http.server.BaseHTTPRequestHandler):
            def do_GET(self):
                outer.requests += 1
                self.send_response(200)
                self.send_header("Content-Type", kind)
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                try:
                    self.wfile.write(body)
                except OSError:
                    pass  # the program cut the request off: the next item came

            def log_message(self, *args):
                pass

        self.server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self.server.daemon_threads = True
        threading.Thread(target=self.server.serve_forever, daemon=True).start()

    def endpoint(self):
        return f"http://127.0.0.1:{self.server.server_address[1]}/tts/"

    def close(self):
        self.server.shutdown()
        self.server.server_close()


class Pulse:
    """A private PulseAudio server with one null sink; nothing of the desktop's."""

    def __init__(self):
        self.proc = None
        self.dir = tempfile.mkdtemp(prefix="lorvanta-e2e-pulse-")
        exe = shutil.which("pulseaudio")
        if exe is None:
            return
        env = dict(os.environ)
        for k in ("HOME", "XDG_RUNTIME_DIR", "PULSE_RUNTIME_PATH", "PULSE_STATE_PATH", "XDG_CONFIG_HOME"):
            env[k] = self.dir
        env.pop("PULSE_SERVER", None)
        self.proc = subprocess.Popen(
            [exe, "-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no", "--log-level=0",
             f"--load=module-native-protocol-unix auth-anonymous=1 socket={self.socket}",
             "--load=module-null-sink sink_name=lorvanta_null"],
            env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline:
            if os.path.exists(self.socket) and subprocess.run(
                    ["pactl", f"--server={self.server}", "info"], capture_output=True).returncode == 0:
                return
            time.sleep(0.05)
        self.stop()

    @property
    def socket(self):
        return os.path.join(self.dir, "native")

    @property
    def server(self):
        return "unix:" + self.socket

    @property
    def running(self):
        return self.proc is not None and self.proc.poll() is None

    def stop(self):
        if self.proc:
            e2e.stop_process(self.proc)
            self.proc = None
        shutil.rmtree(self.dir, ignore_errors=True)


class Monitor:
    """What reaches the null sink, as (arrival time, peak) per 5 ms."""

    def __init__(self, pulse):
        self.blocks = []
        self.proc = subprocess.Popen(
            ["parec", f"--server={pulse.server}", "--device=lorvanta_null.monitor", "--raw",
             "--format=s16le", "--rate=22050", "--channels=1", "--latency-msec=5"],
            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.thread = threading.Thread(target=self._read, daemon=True)
        self.thread.start()

    def _read(self):
        block = 22050 // 200 * 2
        pending = b""
        while True:
            data = self.proc.stdout.read1(4096)
            if not data:
                return
            now = time.monotonic()
            pending += data
            while len(pending) >= block:
                samples = struct.unpack(f"<{block // 2}h", pending[:block])
                pending = pending[block:]
                self.blocks.append((now, max(abs(s) for s in samples)))

    def sound_between(self, start, end):
        """Seconds of sound heard from start to end."""
        return sum(0.005 for t, peak in list(self.blocks) if start <= t <= end and peak >= QUIET)

    def stop(self):
        e2e.stop_process(self.proc)


def bank_items(n):
    # Long items, Chinese and pinyin: each takes the voice a while.
    return [f"天地人口手{i}" if i % 2 == 0 else f"zhōnɡ-huá-rén-mín-{i}" for i in range(n)]


def poll_message_box(prog, timeout):
    """Seconds until the message box shows, polled as fast as xdotool allows."""
    start = time.monotonic()
    title = "^" + re.escape(e2e.MESSAGE_TITLE) + "$"
    while time.monotonic() - start < timeout:
        check(prog.proc.poll() is None, f"the program ended (code {prog.proc.returncode}) during the burst")
        found = prog.windows(title)
        if found:
            return time.monotonic() - start, found[-1]
        time.sleep(0.005)
    raise CaseFailure(f"no delete question within {timeout:.1f} s of Delete: the window is held")


def run_case(suite, case, presses, pulse):
    items = bank_items(presses + 20)
    service = SpeechService(corrupt=case == "corrupt") if case in ("online", "corrupt") else None
    settings = "[main]\njiange=5\ndalu=0\nlangdu=1\n"
    if service:
        settings += f"[services]\ntts={service.endpoint()}\n"
    device = case != "nodevice" and pulse.running
    monitor = None
    try:
        prog = Program(suite, f"speech-{case}-{presses}", bank=gbk(" ".join(items)), settings=settings)
        # The modules (the audio engine among them) go beside the copy.
        for module in glob.glob(os.path.join(os.path.dirname(suite.exe), "lorvanta_*.so")):
            if not os.path.exists(os.path.join(prog.bindir, os.path.basename(module))):
                shutil.copy2(module, prog.bindir)
        # An address where no server answers: no device, and none spawned.
        prog.env["PULSE_SERVER"] = pulse.server if device else "unix:/nonexistent/lorvanta-no-sound"
        # In a sanitizer build: Mesa's GLX driver leaks once and is unloaded
        # again; only full allocation stacks name it for the suppressions.
        asan = prog.env.get("ASAN_OPTIONS")
        if asan is not None and "fast_unwind_on_malloc" not in asan:
            prog.env["ASAN_OPTIONS"] = asan + ":fast_unwind_on_malloc=0"
        with prog:
            win = prog.wait_window("^" + re.escape(e2e.MAIN_TITLE) + "$", e2e.START_TIMEOUT, "practice window")
            prog.focus(win)
            if device:
                monitor = Monitor(pulse)
                time.sleep(0.3)
            prog.xdo("key", "--delay", str(PRESS_GAP_MS), *["Right"] * presses)
            burst_end = time.monotonic()
            prog.xdo("key", "Delete")
            answer, box = poll_message_box(prog, ANSWER_BOUND)
            answer_from_last = time.monotonic() - burst_end
            # The box is modal; the last item's audio goes on meanwhile.
            time.sleep(2.5)
            heard = None
            if monitor:
                heard = monitor.sound_between(burst_end + 0.2, burst_end + 2.5)
            prog.focus(box)
            prog.xdo("key", "Return")
            prog.wait_gone(box)
            # Every press was taken: the item deleted is the one the burst ended on.
            deadline = time.monotonic() + e2e.STEP_TIMEOUT
            want = gbk(" ".join(items[:presses] + items[presses + 1:]))
            while time.monotonic() < deadline and prog.bank_bytes() != want:
                time.sleep(0.05)
            got = prog.bank_bytes()
            check(got == want, f"the delete after {presses} presses removed the wrong item: the bank is now "
                               f"{got.decode('gb18030', 'replace')[:120]!r}..., expected {items[presses]!r} gone")
            check(prog.proc.poll() is None, f"the program ended (code {prog.proc.returncode})")
            prog.close(win)
            prog.check_exit_after_sound("after closing the window")
            if service:
                check(service.requests > 0, "no request reached the speech service")
            if monitor:
                # The last item plays after the burst: the tone lasts 1.5 s,
                # the local voice well over 1 s for these items.
                check(heard >= 0.5, f"only {heard:.2f} s of sound after the burst: the last item was not heard")
        heard_text = "no device" if heard is None else f"{heard:.2f} s heard"
        suite.note(f"speech {case} {presses} presses: delete question {answer * 1000:.0f} ms after Delete, "
                   f"{answer_from_last * 1000:.0f} ms after the last Right (polling included); {heard_text}")
    finally:
        if monitor:
            monitor.stop()
        if service:
            service.close()


CASES = ["local", "online", "corrupt", "nodevice"]


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--exe", required=True)
    ap.add_argument("--title", required=True, help="the practice window's caption")
    ap.add_argument("--case", action="append", choices=CASES, help="run only these cases")
    ap.add_argument("--keep", action="store_true", help="keep the case folders")
    args = ap.parse_args()
    e2e.MAIN_TITLE = args.title
    for tool in ("Xvfb", "xdotool", "xdpyinfo"):
        if shutil.which(tool) is None:
            print(f"missing tool: {tool} (scripts/setup.sh installs it); skipped")
            return 77
    started = time.monotonic()
    pulse = Pulse()
    if not pulse.running:
        print("note: PulseAudio not found: every case runs without a sound device")
    xserver = e2e.XServer(e2e.display_candidates())
    signal.signal(signal.SIGTERM, lambda *a: (_ for _ in ()).throw(KeyboardInterrupt()))
    suite = e2e.Suite(os.path.abspath(args.exe), xserver, args.keep)
    runs = [(f"{c}_{n}", lambda suite, c=c, n=n: run_case(suite, c, n, pulse))
            for n in (20, 40) for c in (args.case or CASES)]
    try:
        failed = e2e.run_cases(suite, runs)
    finally:
        xserver.stop()
        pulse.stop()
    print(f"{len(runs) - len(failed)} of {len(runs)} cases passed in {time.monotonic() - started:.1f} s"
          + (f"; failed: {', '.join(failed)}" if failed else ""))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
