#!/usr/bin/env python3
"""One running copy per bank folder, in a real X session under openbox.

A second start on the same bank brings the running window to the front, as
the window manager sees it (its active window and stacking order), restores
it when it was minimised, shows no window of its own and ends; a copy on
another bank folder runs beside it. A copy killed with SIGKILL leaves its
lock behind, and the next start on that folder runs all the same.

Usage: instance_e2e.py --exe build/app/lorvanta --title "Lorvanta V1.2" [--case NAME] [--keep]
"""

import hashlib
import os
import pwd
import re
import select
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import run_e2e as e2e  # noqa: E402
from run_e2e import Program, check, gbk  # noqa: E402

LOCK_NAME = ".lorvanta.lock"


def main_title():
    return "^" + re.escape(e2e.MAIN_TITLE) + "$"


def second_start(prog, what):
    """Starts the program again on prog's folder and waits for it to end;
    fails when it shows a window of its own or keeps running."""
    log = open(os.path.join(prog.root, "second.txt"), "wb")
    proc = subprocess.Popen([prog.exe], cwd=prog.root, env=prog.env, stdout=log, stderr=subprocess.STDOUT)
    try:
        deadline = time.monotonic() + e2e.STEP_TIMEOUT
        while proc.poll() is None:
            shown = prog.xdo("search", "--onlyvisible", "--pid", proc.pid, check_rc=False).split()
            check(not shown, f"{what}: the second start showed a window of its own")
            check(time.monotonic() < deadline, f"{what}: the second start did not end")
            time.sleep(0.05)
        check(proc.returncode == 0, f"{what}: the second start ended with code {proc.returncode}")
    finally:
        e2e.stop_process(proc)
        log.close()


def check_in_front(prog, win, what):
    prog.wait_active(win)
    deadline = time.monotonic() + e2e.STEP_TIMEOUT
    while prog.stacking()[-1:] != [win]:
        check(time.monotonic() < deadline, f"{what}: the practice window is not on top of the stacking order")
        time.sleep(0.05)
    state = prog._xprop(["-id", str(win), "WM_STATE"])
    check("Normal" in state, f"{what}: the practice window is not shown ({state.strip()})")


def case_second_start(suite):
    """Covered by a copy on another bank, then minimised: each second start
    brings the window back to the front; the bank is untouched."""
    bank = gbk("天 地 人")
    with Program(suite, "first", bank=bank) as first:
        win = first.wait_window(main_title(), e2e.START_TIMEOUT, "the practice window")
        with Program(suite, "other", bank=gbk("山")) as other:
            cover = other.wait_window(main_title(), e2e.START_TIMEOUT, "the other bank's window")
            other.focus(cover)
            check(first.active_window() == cover, "the other bank's window is not in front")
            second_start(first, "covered")
            check_in_front(first, win, "covered")
            check(other.proc.poll() is None, "the copy on the other bank ended")

            first.xdo("windowminimize", win)
            deadline = time.monotonic() + e2e.STEP_TIMEOUT
            while "Iconic" not in first._xprop(["-id", str(win), "WM_STATE"]):
                check(time.monotonic() < deadline, "the practice window did not minimise")
                time.sleep(0.05)
            second_start(first, "minimised")
            check_in_front(first, win, "minimised")
        # The window still takes keys: D asks, Escape keeps the item.
        first.keys(win, "d")
        first.answer_message("Escape")
        check(first.bank_bytes() == bank, "the bank changed")
        first.close(win)
        check(first.wait_exit() == 0, "exit code after closing")
        check(not os.path.exists(os.path.join(first.bindir, LOCK_NAME)), "closing left the lock behind")


def case_killed(suite):
    """SIGKILL leaves the lock file; the next start takes the folder over,
    and a second start then wakes the new copy."""
    with Program(suite, "killed", bank=gbk("天 地")) as prog:
        prog.wait_window(main_title(), e2e.START_TIMEOUT, "the practice window")
        os.kill(prog.proc.pid, signal.SIGKILL)
        prog.proc.wait()
        check(os.path.exists(os.path.join(prog.bindir, LOCK_NAME)), "no lock file was left to test with")
        prog.proc = subprocess.Popen([prog.exe], cwd=prog.root, env=prog.env, stdout=prog.log,
                                     stderr=subprocess.STDOUT)
        win = prog.wait_window(main_title(), e2e.START_TIMEOUT, "the practice window after the kill")
        second_start(prog, "after the kill")
        check_in_front(prog, win, "after the kill")
        prog.close(win)
        check(prog.wait_exit() == 0, "exit code after closing")


def start_again(prog, n, env=None):
    """n more starts on prog's folder at once, each with its own log."""
    procs = []
    for i in range(n):
        log = open(os.path.join(prog.root, f"start-{i}.txt"), "wb")
        procs.append(subprocess.Popen([prog.exe], cwd=prog.root, env=env or prog.env, stdout=log,
                                      stderr=subprocess.STDOUT))
        log.close()
    return procs


def check_each_says_open_elsewhere(prog, procs, what):
    """Every start shows the one message box within the deadline, and ends once it is answered."""
    deadline = time.monotonic() + 3.0 + e2e.STEP_TIMEOUT
    boxes = {}
    try:
        while len(boxes) < len(procs):
            for p in procs:
                if p.pid not in boxes:
                    check(p.poll() is None, f"{what}: a start ended without a word (code {p.returncode})")
                    found = prog.xdo("search", "--onlyvisible", "--pid", p.pid, check_rc=False).split()
                    if found:
                        check(len(found) == 1, f"{what}: a start showed {len(found)} windows")
                        boxes[p.pid] = int(found[0])
            check(time.monotonic() < deadline,
                  f"{what}: {len(procs) - len(boxes)} of {len(procs)} starts are still blocked, no message")
            time.sleep(0.1)
        for p in procs:
            check(re.search(e2e.MESSAGE_TITLE, prog.title(boxes[p.pid])), f"{what}: not the message box")
            prog.keys(boxes[p.pid], "Return")
            check(p.wait(timeout=e2e.STEP_TIMEOUT) == 0, f"{what}: exit code after the message")
    finally:
        for p in procs:
            e2e.stop_process(p)


def case_stopped_owner(suite):
    """The first copy stopped (SIGSTOP): eight starts at once each say the
    bank is open elsewhere, none hangs in connect() behind a full queue."""
    with Program(suite, "stopped", bank=gbk("天 地")) as first:
        win = first.wait_window(main_title(), e2e.START_TIMEOUT, "the practice window")
        os.kill(first.proc.pid, signal.SIGSTOP)
        try:
            check_each_says_open_elsewhere(first, start_again(first, 8), "stopped owner")
        finally:
            os.kill(first.proc.pid, signal.SIGCONT)
        first.close(win)
        check(first.wait_exit() == 0, "exit code after closing")


def case_shared_tmp(suite):
    """No runtime folder: the temporary folder is shared, and a stranger has
    taken both the runtime fallback and the names a socket there would have.
    The second start neither hangs nor believes the stranger's answer."""
    tmp = tempfile.mkdtemp(prefix="lorvanta-e2e-sharedtmp-")
    os.chmod(tmp, 0o1777)
    stranger = None
    try:
        env = {"XDG_RUNTIME_DIR": None, "TMPDIR": tmp}
        prog = Program(suite, "sharedtmp", bank=gbk("天 地"), env=env)
        uid = os.geteuid()
        user = pwd.getpwuid(uid).pw_name
        taken = [os.path.join(tmp, f"runtime-{user}"), os.path.join(tmp, f"lorvanta-{uid}")]
        # The names a socket in the shared folder itself would take.
        key = hashlib.sha1(os.path.realpath(prog.bindir).encode()).hexdigest()[:20]
        names = [os.path.join(tmp, f"lorvanta-{key}.socket")]
        for d in taken:
            os.makedirs(d)
            os.chmod(d, 0o777)
            names.append(os.path.join(d, f"lorvanta-{key}.socket"))
        stranger = Stranger(names)
        if uid == 0:
            for d in taken + names:
                os.chown(d, 65534, 65534)
        with prog as first:
            win = first.wait_window(main_title(), e2e.START_TIMEOUT, "the practice window")
            check_each_says_open_elsewhere(first, start_again(first, 1), "shared temporary folder")
            check(stranger.asked == 0, f"the stranger's socket was asked {stranger.asked} times")
            first.close(win)
            check(first.wait_exit() == 0, "exit code after closing")
    finally:
        if stranger:
            stranger.close()
        shutil.rmtree(tmp, ignore_errors=True)


class Stranger:
    """Another user's sockets that answer as the program would, and count who asks."""

    def __init__(self, paths):
        self.asked = 0
        self.socks = []
        for path in paths:
            s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
            s.bind(path)
            s.listen(16)
            self.socks.append(s)
        self.thread = threading.Thread(target=self._serve, daemon=True)
        self.running = True
        self.thread.start()

    def _serve(self):
        while self.running:
            ready, _, _ = select.select(self.socks, [], [], 0.1)
            for s in ready:
                conn, _ = s.accept()
                self.asked += 1
                conn.send(b"!")
                conn.close()

    def close(self):
        self.running = False
        self.thread.join()
        for s in self.socks:
            s.close()


CASES = [
    ("second_start", case_second_start),
    ("killed", case_killed),
    ("stopped_owner", case_stopped_owner),
    ("shared_tmp", case_shared_tmp),
]


def main():
    return e2e.suite_main(CASES, tools=("Xvfb", "openbox", "xdotool", "xprop", "xwininfo", "xdpyinfo"))



if __name__ == "__main__":
    sys.exit(main())
