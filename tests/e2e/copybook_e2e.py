#!/usr/bin/env python3
"""The copybook's "保存为 PDF…" in a real X session, as a parent would use it:
Ctrl+P on the practice window, the button, a name typed into the save
dialog, its overwrite question answered yes. A name that is a link to the
bank must leave the bank as it was and say why. (A full disk during the save
is tested on a real tmpfs in sheet_window.)

Usage: copybook_e2e.py --exe build/app/lorvanta --title "Lorvanta V1.2" [--case NAME] [--keep]
"""

import os
import re
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import run_e2e as e2e  # noqa: E402
from run_e2e import Program, check, gbk  # noqa: E402

SHEET_TITLE = "^打印字帖$"
SAVE_TITLE = "^保存为 PDF$"
BANK = "ā ɑ 天 地"


def save_as(prog, sheet, path):
    """The button, the name typed into the save dialog, Return, and yes to
    the dialog's own question whether to replace the file."""
    x, y, w, h = prog.geometry(sheet)
    prog.click(sheet, 160, h - 60)
    dialog = prog.wait_window(SAVE_TITLE, what="save dialog")
    prog.keys(dialog, "ctrl+a")
    prog.xdo("type", "--delay", "20", path)
    prog.xdo("key", "--clearmodifiers", "Return")
    deadline = time.monotonic() + e2e.STEP_TIMEOUT
    while len(prog.windows(SAVE_TITLE)) < 2:
        check(time.monotonic() < deadline, "the save dialog did not ask whether to replace the file")
        time.sleep(0.1)
    time.sleep(0.3)
    prog.xdo("key", "--clearmodifiers", "alt+y")


def open_sheet(prog):
    win = prog.wait_window("^" + re.escape(e2e.MAIN_TITLE) + "$", e2e.START_TIMEOUT, "practice window")
    prog.keys(win, "ctrl+p")
    return prog.wait_window(SHEET_TITLE, what="copybook dialog")


def case_link_to_the_bank(suite):
    with Program(suite, "copybook-link", bank=gbk(BANK)) as prog:
        link = os.path.join(prog.root, "sheet.pdf")
        os.symlink(prog.bank_path, link)
        sheet = open_sheet(prog)
        save_as(prog, sheet, link)
        prog.answer_message("Return")
        e2e.expect_bank(prog, BANK, "saving the copybook onto a link to the bank")
        check(os.path.islink(link), "the link was replaced")
        check(prog.windows(SHEET_TITLE), "the copybook dialog closed")


CASES = [("link_to_the_bank", case_link_to_the_bank)]


def main():
    return e2e.suite_main(CASES)



if __name__ == "__main__":
    sys.exit(main())
