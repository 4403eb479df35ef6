#!/usr/bin/env python3
"""The built program on a folder as a family and a hostile file system leave
it, in a real X session (Xvfb, openbox, xdotool):

drop        Files the editor cannot take, dropped for real: 200 MB, one the
            user may not read, a folder. Each is refused with one message, the
            box keeps the bank; an empty box is saved only after a yes.
settings    The settings file a link to the bank, a second name of it, a FIFO,
            its lock a folder: the program starts, the bank stays byte for
            byte, and closing says once that the settings were not saved.
stick       A portable copy on a read-only mount practises its own bank, and
            deleting or editing says why not, instead of switching to the
            default bank in the user's data folder.

The cases run the program as an ordinary user (nobody, when the suite runs
as root), except where only root can set the scene up (a mount).

Usage: keptfiles_e2e.py --exe build/app/lorvanta --title "Lorvanta V1.2" [--case NAME] [--keep]
"""

import os
import re
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import run_e2e as e2e  # noqa: E402
from run_e2e import Program, check, drop_files, expect_bank, gbk  # noqa: E402


def practice_window(prog):
    return prog.wait_window("^" + re.escape(e2e.MAIN_TITLE) + "$", e2e.START_TIMEOUT, "the practice window")


def one_message(prog, key, what):
    """Exactly one message box comes, answered with `key`, and no other follows it."""
    prog.answer_message(key)
    prog.no_window("^" + re.escape(e2e.MESSAGE_TITLE) + "$", 1.0, f"a second message after {what}")


def open_editor(prog, win):
    prog.click(win, 122 + 60, 460 + 16)
    return prog.wait_window("^" + re.escape(e2e.EDITOR_TITLE), what="editor window")


def case_drop(suite):
    bank = gbk("人 口 手")
    prog = Program(suite, "drop", bank=bank, user="nobody")
    huge = os.path.join(prog.root, "200MB.txt")
    with open(huge, "wb") as f:
        f.truncate(200 * 1024 * 1024)
    secret = os.path.join(prog.root, "secret.txt")
    with open(secret, "wb") as f:
        f.write(gbk("秘密"))
    folder = os.path.join(prog.root, "a folder")
    os.mkdir(folder)
    with prog:
        os.chmod(secret, 0)
        win = practice_window(prog)
        ed = open_editor(prog, win)
        title = "管理我的生字库(当前有3个生字)"
        prog.wait_title(ed, lambda t: t == title, "the editor's count")
        x, y, _, _ = prog.geometry(ed)
        for path in (huge, secret, folder):
            accepted = drop_files(prog.display, ed, x + 8 + 100, y + 96 + 40, [path])
            check(accepted, f"the editor refused the drop of {os.path.basename(path)} at the window level")
            one_message(prog, "Return", f"dropping {os.path.basename(path)}")
            check(prog.title(ed) == title, f"dropping {os.path.basename(path)} changed the box: {prog.title(ed)}")
        # 清空, then 保存并关闭: asked first; No keeps the editor and the bank.
        prog.click(ed, 168 + 40, 56 + 16)
        prog.wait_title(ed, lambda t: t == "管理我的生字库(当前有0个生字)", "the cleared box")
        prog.click(ed, 8 + 40, 56 + 16)
        prog.answer_message("Escape")
        check(prog.windows("^" + re.escape(e2e.EDITOR_TITLE)), "answering No closed the editor")
        check(prog.bank_bytes() == bank, "answering No changed the bank")
        prog.close(ed)
        prog.wait_gone(ed)
        prog.close(win)
        check(prog.wait_exit() == 0, "exit code after closing")
        check(prog.bank_bytes() == bank, "the bank changed")


def settings_scene(prog, kind):
    store = prog.settings_path
    os.makedirs(os.path.dirname(store), exist_ok=True)
    if kind == "link":
        os.symlink(prog.bank_path, store)
    elif kind == "hard link":
        os.link(prog.bank_path, store)
    elif kind == "fifo":
        os.mkfifo(store)
    elif kind == "lock folder":
        os.mkdir(store + ".lock")


def case_settings(suite):
    bank = gbk("天 地 人")
    for kind in ("link", "hard link", "fifo", "lock folder"):
        prog = Program(suite, "settings-" + kind.replace(" ", ""), bank=bank, user="nobody")
        settings_scene(prog, kind)
        with prog:
            win = practice_window(prog)
            prog.keys(win, "Right")
            t0 = time.monotonic()
            prog.close(win)
            # Timed up to the message: the wait for the lock ends there, and
            # what follows (the exit, slow under the sanitizers) is not its.
            prog.answer_message("Return")
            check(time.monotonic() - t0 < 1.5 + e2e.STEP_TIMEOUT / 10, f"{kind}: closing took too long")
            prog.no_window("^" + re.escape(e2e.MESSAGE_TITLE) + "$", 1.0, f"a second message after closing ({kind})")
            check(prog.wait_exit() == 0, f"{kind}: exit code after closing")
            check(prog.bank_bytes() == bank, f"{kind}: the bank changed")
            with open(prog.log_path, "rb") as f:
                log = f.read().decode("utf-8", "replace")
            if kind != "lock folder":
                check(log.count("Lorvanta：设置文件没有用上") >= 1, f"{kind}: nothing said on standard error")


def mount_read_only(path):
    if os.geteuid() != 0:
        return False
    ok = subprocess.run(["mount", "--bind", path, path], capture_output=True).returncode == 0
    if ok and subprocess.run(["mount", "-o", "remount,ro,bind", path], capture_output=True).returncode != 0:
        subprocess.run(["umount", path], capture_output=True)
        ok = False
    return ok


def case_stick(suite):
    bank = gbk("天 地 人")
    prog = Program(suite, "stick", bank=bank)
    if not mount_read_only(prog.bindir):
        suite.note("stick: a read-only bind mount needs root; the write-protected stick was not tried")
        return
    try:
        with prog:
            win = practice_window(prog)
            # 已会,删除 and 我的生字库 each say why not, and nothing more.
            prog.keys(win, "d")
            one_message(prog, "Return", "deleting on a read-only stick")
            prog.click(win, 122 + 60, 460 + 16)
            one_message(prog, "Return", "opening the editor on a read-only stick")
            check(not prog.windows("^" + re.escape(e2e.EDITOR_TITLE)), "the editor opened on a read-only bank")
            prog.close(win)
            check(prog.wait_exit() == 0, "exit code after closing")
            check(prog.bank_bytes() == bank, "the bank changed")
            data_bank = os.path.join(prog.root, "data", "lorvanta", e2e.BANK_NAME)
            check(not os.path.exists(data_bank), "the default bank was written in the data folder instead")
    finally:
        subprocess.run(["umount", prog.bindir], capture_output=True)
        shutil.rmtree(prog.root, ignore_errors=True)


CASES = [
    ("drop", case_drop),
    ("settings", case_settings),
    ("stick", case_stick),
]


def main():
    return e2e.suite_main(CASES, tools=e2e.X_TOOLS + ("setpriv",))


if __name__ == "__main__":
    sys.exit(main())
