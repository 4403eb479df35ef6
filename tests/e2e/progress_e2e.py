#!/usr/bin/env python3
"""The mistake book that learns and 学习记录, in a real X session under openbox.

The family's history holds one dictation of last week with 地 wrong, and 地
is in the mistake book. Three dictations this week with every item right
(manual, the parent steps with →): after the first two, nothing is asked;
after the third, "这些已经连续写对 3 次…" and Enter takes 地 out of the book.
Then 天 is written with its first stroke drawn for the pupil, and the red
"加入错字本" button puts it in the book. 学习记录 from the card's menu shows
three points for this week. Last, on a full disk a fourth dictation offers 天 for
removal, Yes cannot rewrite the book, which stays byte for byte, and the
history holds only whole lines.

Usage: progress_e2e.py --exe build/app/lorvanta --title "Lorvanta V1.2" [--keep]
"""

import datetime
import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import run_e2e as e2e  # noqa: E402
from run_e2e import LocalServices, Program, check, gbk  # noqa: E402
import dictation_e2e as dictation  # noqa: E402
import writing_e2e as writing  # noqa: E402

OPTIONS = "[dictation]\norder=0\nrepeats=1\npause=1\nwrite=1\nmanual=1\npinyin=1\nwords=0\nmastered=3\n"
PROGRESS = "^学习记录$"
SHOT = "/tmp/lorvanta-e2e-progress.png"
# The chart's points and line.
POINT = (32, 96, 192)


def dictate(prog, win, services, items):
    """A manual run of the whole bank, everything right, closed with Esc."""
    prog.keys(win, "ctrl+t")
    dlg = prog.wait_window(dictation.DICTATION, what="the dictation window")
    prog.wait_active(dlg)
    n = services.count("/tts/")
    prog.xdo("key", "Return")
    for i in range(items):
        services.wait_count("/tts/", n + i + 1)
        time.sleep(0.2)
        prog.xdo("key", "Right")
    time.sleep(0.8)
    prog.keys(dlg, "Escape")
    return dlg


def book_button(prog, win, square):
    """The centre of the red "加入错字本" button in the row under the square
    (the square's own border is red too)."""
    prog.xdo("mousemove", 0, 0)
    time.sleep(0.2)
    pic = prog.screenshot(win)
    xs, ys = [], []
    for y in range(square.box[3] + 15, pic.height):
        for x in range(0, pic.width, 2):
            r, g, b = pic.at(x, y)
            if r - g >= 12 and abs(g - b) <= 4:
                xs.append(x)
                ys.append(y)
    check(len(xs) > 50, "no 加入错字本 button under the square")
    return (min(xs) + max(xs)) // 2, (min(ys) + max(ys)) // 2


def wait_message(prog, seconds):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if prog.windows(e2e.message_title()):
            return True
        time.sleep(0.1)
    return False


def points(pic):
    """The line's point markers in the chart (the window's upper left): columns
    where the series colour stands at least 5 pixels tall (the line itself is
    2 wide), grouped by the gaps between them."""
    def near(x, y):
        return max(abs(a - b) for a, b in zip(pic.at(x, y), POINT)) <= 40
    columns = []
    for x in range(int(pic.width * 0.68)):
        run = best = 0
        for y in range(int(pic.height * 0.1), int(pic.height * 0.56)):
            run = run + 1 if near(x, y) else 0
            best = max(best, run)
        if best >= 5:
            columns.append(x)
    blobs, last = 0, None
    for x in columns:
        if last is None or x > last + 2:
            blobs += 1
        last = x
    return blobs


def case_learning_book(suite):
    with LocalServices() as services:
        prog = Program(suite, "progress", settings=services.settings() + OPTIONS)
        folder = dictation.DataFolder(prog)
        try:
            bank = gbk("天 地 人")
            with open(folder.path(e2e.BANK_NAME), "wb") as f:
                f.write(bank)
            last_week = (datetime.datetime.now() - datetime.timedelta(days=10)).strftime("%Y-%m-%d %H:%M:%S")
            with open(folder.path("学习记录.txt"), "wb") as f:
                f.write(f"{last_week}\t听写\t天\t对\r\n{last_week}\t听写\t地\t错\r\n".encode("gbk"))
            with open(folder.path("错字本.txt"), "wb") as f:
                f.write(gbk("地"))
            with prog:
                walk(prog, services, folder, bank)
        finally:
            folder.unmount()


def walk(prog, services, folder, bank):
    win = e2e.main_window(prog)

    # ---- three dictations right: the third offers 地's removal
    for n in range(3):
        dlg = dictate(prog, win, services, 3)
        if n < 2:
            prog.wait_gone(dlg)
            prog.no_window(e2e.message_title(), 1.0, f"a question after dictation {n + 1}")
            check(folder.read("错字本.txt") == gbk("地") + b"\r\n" or folder.read("错字本.txt") == gbk("地"),
                  f"the book changed after dictation {n + 1}: {folder.read('错字本.txt')!r}")
    prog.answer_message("Return")
    prog.wait_gone(dlg)
    check(folder.read("错字本.txt").strip() == b"", f"地 is still in the book: {folder.read('错字本.txt')!r}")
    lines = folder.read("学习记录.txt").decode("gb18030").splitlines()
    check(len(lines) == 2 + 9, f"the history holds {len(lines)} lines, expected 11: {lines}")

    # ---- 天 with its first stroke drawn for the pupil, into the book
    _, w = writing.open_writing(prog)
    square = writing.Square(prog, w)
    strokes = writing.medians("天")
    for _ in range(3):
        square.drag(list(reversed(strokes[0])))
        time.sleep(0.4)
    ink = square.wait_ink(lambda k: k > 200, "the stroke was not drawn after three misses")
    writing.write_strokes(square, list(enumerate(strokes))[1:], ink)
    time.sleep(0.5)
    prog.click(w, *book_button(prog, w, square))
    deadline = time.monotonic() + e2e.STEP_TIMEOUT
    while time.monotonic() < deadline and folder.read("错字本.txt") != gbk("天"):
        time.sleep(0.1)
    check(folder.read("错字本.txt") == gbk("天"), f"the book {folder.read('错字本.txt')!r}")
    last = folder.read("学习记录.txt").decode("gb18030").splitlines()[-1]
    check(last.split("\t")[1:] == ["练写", "天", "3/4", "错"], f"the history's last line {last!r}")
    prog.close(w)
    prog.wait_gone(w)

    # ---- 学习记录 from the card's menu: this week's three dictations
    places = e2e.Places(*prog.geometry(win)[2:])
    prog.focus(win)
    prog.xdo("mousemove", "--window", win, *places.card_point, "click", "3")
    time.sleep(0.5)
    prog.xdo("key", "Up", "Return")  # the menu's last entry
    box = prog.wait_window(PROGRESS, what="the 学习记录 window")
    prog.wait_active(box)
    prog.xdo("key", "Home")  # the period chooser has the focus: 这周
    prog.xdo("mousemove", 0, 0)
    time.sleep(1.0)
    pic = prog.screenshot(box)
    e2e.save_png(pic, SHOT)
    check(points(pic) == 3, f"the chart shows {points(pic)} points for this week, expected 3 (see {SHOT})")
    prog.keys(box, "Escape")
    prog.wait_gone(box)

    # ---- a full disk: nothing half written. 天 (right again) is offered
    # for removal, and Yes cannot rewrite the book: it stays as it was. The
    # history's lines may still fit in its file's last page, whole.
    if folder.mounted:
        history, book = folder.read("学习记录.txt"), folder.read("错字本.txt")
        folder.fill()
        dlg = dictate(prog, win, services, 3)
        for _ in range(3):
            if not prog.windows(e2e.message_title()) and not wait_message(prog, 3):
                break
            prog.answer_message("Return")
        prog.wait_gone(dlg)
        check(folder.read("错字本.txt") == book, "the full disk changed the book")
        now = folder.read("学习记录.txt")
        added = now[len(history):].decode("gb18030").splitlines()
        check(now.startswith(history) and all(len(x.split("\t")) == 4 for x in added) and len(added) in (0, 3),
              f"the history on a full disk: {added}")
        folder.unfill()
    else:
        prog.suite.note("progress: no tmpfs could be mounted (not root): the full disk was not tried")
    check(folder.read(e2e.BANK_NAME) == bank, "the bank file changed")
    prog.close(win)
    prog.check_exit_after_sound("after closing the window")


CASES = [("learning_book", case_learning_book)]


if __name__ == "__main__":
    def no_data():
        if not os.path.exists(os.path.join(writing.STROKE_DATA, "天.json")):
            return "the stroke data is missing (scripts/setup.sh installs it)"
        return None

    sys.exit(e2e.suite_main(CASES, skip_reason=no_data))
