#!/usr/bin/env python3
"""One running copy per bank folder, in a real X session under openbox.

A second start on the same bank brings the running window to the front, as
the window manager sees it (its active window and stacking order), restores
it when it was minimised, shows no window of its own and ends; a copy on
another bank folder runs beside it. A copy killed with SIGKILL leaves its
lock behind, and the next start on that folder runs all the same.

Usage: instance_e2e.py --exe build/app/lorvanta --title "Lorvanta V1.2" [--case NAME] [--keep]
"""

import os
import re
import signal
import subprocess
import sys
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


CASES = [
    ("second_start", case_second_start),
    ("killed", case_killed),
]


def main():
    return e2e.suite_main(CASES, tools=("Xvfb", "openbox", "xdotool", "xprop", "xwininfo", "xdpyinfo"))



if __name__ == "__main__":
    sys.exit(main())
