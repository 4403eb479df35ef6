#!/usr/bin/env python3
"""听写 end to end, in a real X session under openbox with real keys.

One evening's walk: Ctrl+T opens the dictation window above the practice
window and centred on it; a 5-item run with 1 s timings reads every item
twice, in order (counted at a local stand-in for the speech service), R reads
the current item once more, Esc asks and No goes on; marking 2 wrong with
their numbers and "加入错字本" writes exactly those 2 in GBK; on a full disk
the mistake book stays as it was and a message says so; the copybook from
the mistakes is the copybook of exactly those 2; "练习错字" makes them the
practice deck without touching the bank file; the run's line is in the
record. Last, the card during a run is compared with the card of another
program dictating other items: pixel for pixel the same, so it holds no
glyph of any item.

Usage: dictation_e2e.py --exe build/app/lorvanta --title "Lorvanta V1.2" [--keep]
"""

import os
import re
import subprocess
import sys
import time
from urllib.parse import parse_qs, urlsplit

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import run_e2e as e2e  # noqa: E402
from run_e2e import CaseFailure, LocalServices, Program, check, gbk  # noqa: E402

DICTATION = "^听写$"
SHEET = "^打印字帖$"
OPTIONS = "[dictation]\norder=0\nrepeats=2\npause=1\nwrite=1\nmanual=0\npinyin=1\nwords=0\n"
BOOK_BUTTON = "red"
SHEET_BUTTON = "blue"
PRACTISE_BUTTON = "orange"


def spoken(services):
    """The texts of the speech requests, in the order they came."""
    out = []
    for path in services.paths("/tts/"):
        out.append(parse_qs(urlsplit(path).query).get("tex", [""])[0])
    return out


def runs(items):
    """Consecutive repeats: [("天", 2), ("地", 3), ...]."""
    out = []
    for x in items:
        if out and out[-1][0] == x:
            out[-1] = (x, out[-1][1] + 1)
        else:
            out.append((x, 1))
    return out


class DataFolder:
    """The program's bank folder on a tmpfs of its own when mounting is
    allowed (root): the copy looks installed, so its files live in the data
    folder, which can then be filled to the last byte."""

    def __init__(self, prog):
        apps = os.path.join(prog.root, "share", "applications")
        os.makedirs(apps)
        open(os.path.join(apps, "lorvanta.desktop"), "w").close()
        self.data = os.path.join(prog.root, "data")
        self.mounted = os.geteuid() == 0 and subprocess.run(
            ["mount", "-t", "tmpfs", "-o", "size=4m", "tmpfs", self.data],
            capture_output=True).returncode == 0
        self.dir = os.path.join(self.data, "lorvanta")
        os.makedirs(self.dir, exist_ok=True)
        self.filler = os.path.join(self.data, "filler")

    def path(self, name):
        return os.path.join(self.dir, name)

    def read(self, name):
        with open(self.path(name), "rb") as f:
            return f.read()

    def fill(self):
        # Blocks first, then a byte at a time, so that not even a small file fits.
        for size in (4096, 1):
            try:
                with open(self.filler, "ab", buffering=0) as f:
                    while True:
                        f.write(b"\0" * size)
            except OSError:
                pass

    def unfill(self):
        if os.path.exists(self.filler):
            os.remove(self.filler)

    def unmount(self):
        if self.mounted:
            subprocess.run(["umount", "-l", self.data], capture_output=True)


def card_of(prog, window):
    """The green card's pixels in the dictation window."""
    pic = prog.screenshot(window)
    (l, t, r, b), n = pic.box_of(e2e.CARD)
    check(n > 1000, "no card in the dictation window")
    return (r - l + 1, b - t + 1), prog.crop(window, l, t, r - l + 1, b - t + 1)


def button(prog, window, tint, what):
    """The centre of the button tinted so ("red", "blue" or "orange"), among
    the button rows at the bottom of the window. The style shades a button's
    colour, so its tint decides, not the exact colour."""
    prog.xdo("mousemove", 0, 0)
    time.sleep(0.2)
    pic = prog.screenshot(window)
    tints = {
        "red": lambda r, g, b: r - g >= 12 and abs(g - b) <= 4,
        "blue": lambda r, g, b: b - r >= 12 and b >= g,
        "orange": lambda r, g, b: r - b >= 12 and g - b >= 6 and r > g,
    }
    xs, ys = [], []
    for y in range(max(0, pic.height - 110), pic.height):
        for x in range(0, pic.width, 2):
            if tints[tint](*pic.at(x, y)):
                xs.append(x)
                ys.append(y)
    if len(xs) <= 50:
        with open("/tmp/lorvanta-e2e-dictation-buttons.ppm", "wb") as f:
            f.write(b"P6 %d %d 255\n" % (pic.width, pic.height) + pic.rgb)
    check(len(xs) > 50, f"no {what} button in the window")
    return (min(xs) + max(xs)) // 2, (min(ys) + max(ys)) // 2


def paused_card(prog, win, services):
    """Starts a run from the practice window, pauses it after the first
    reading, and gives the card."""
    prog.keys(win, "ctrl+t")
    dlg = prog.wait_window(DICTATION, what="the dictation window")
    prog.wait_active(dlg)
    n = services.count("/tts/")
    prog.xdo("key", "Return")
    services.wait_count("/tts/", n + 1)
    time.sleep(0.3)
    prog.xdo("key", "p")
    prog.xdo("mousemove", 0, 0)
    time.sleep(0.8)
    return dlg, card_of(prog, dlg)


def case_evening(suite):
    with LocalServices() as services:
        prog = Program(suite, "dictation", settings=services.settings() + OPTIONS)
        folder = DataFolder(prog)
        try:
            bank = gbk("天 地 人 口 手")
            with open(folder.path(e2e.BANK_NAME), "wb") as f:
                f.write(bank)
            with prog:
                walk(suite, prog, services, folder, bank)
        finally:
            folder.unmount()


def walk(suite, prog, services, folder, bank):
    win = e2e.main_window(prog)

    # ---- Ctrl+T: above the practice window, centred on it
    prog.keys(win, "ctrl+t")
    dlg = prog.wait_window(DICTATION, what="the dictation window")
    check(prog.transient_for(dlg) == win, f"WM_TRANSIENT_FOR of the dictation window: {prog.transient_for(dlg)}")
    order = prog.stacking()
    check(order.index(dlg) > order.index(win), f"stacking {order}: the dictation window is not above")
    e2e.check_centred(prog, dlg, prog.frame(win), "the dictation window on the practice window")
    prog.wait_active(dlg)

    # ---- the run: every item twice, in order; R once more; Esc asks
    prog.xdo("key", "Return")
    services.wait_count("/tts/", 4)
    before_r = spoken(services)
    check(runs(before_r) == [("天", 2), ("地", 2)], f"first readings {before_r}")
    prog.xdo("key", "r")
    services.wait_count("/tts/", len(before_r) + 1)
    after_r = spoken(services)
    check(after_r[len(before_r)] == before_r[-1],
          f"R read {after_r[len(before_r)]!r}, the item being written was {before_r[-1]!r}")
    # Asked while the pupil writes; No goes on where the run was.
    prog.xdo("key", "Escape")
    box = prog.wait_window(e2e.message_title(), what="the question on Esc")
    time.sleep(1.5)  # the run waits while the box is open
    held = len(spoken(services))
    prog.keys(box, "Escape")
    prog.wait_gone(box)
    services.wait_count("/tts/", 11, timeout=30)
    time.sleep(2.5)  # the last writing time, then the check
    got = spoken(services)
    r = runs(got)
    # R's reading may still be playing when Esc comes (a slow machine): the
    # reading cut off by the question is then read once more after it.
    check([x for x, _ in r] == ["天", "地", "人", "口", "手"]
          and [n for x, n in r if x != before_r[-1]] == [2, 2, 2, 2] and dict(r)[before_r[-1]] in (3, 4),
          f"readings {got}: each item twice in order, the one R read once more (twice if Esc cut it off)")
    check(held <= 6, f"{held} readings while the Esc question was open")

    # ---- marking 2 and 4 wrong, into the mistake book
    prog.focus(dlg)
    prog.xdo("key", "2", "4")
    time.sleep(0.3)
    prog.click(dlg, *button(prog, dlg, BOOK_BUTTON, "加入错字本"))
    book = folder.path("错字本.txt")
    deadline = time.monotonic() + e2e.STEP_TIMEOUT
    while time.monotonic() < deadline and not os.path.exists(book):
        time.sleep(0.1)
    check(folder.read("错字本.txt") == gbk("地 口"), f"mistake book {folder.read('错字本.txt')!r}")

    # ---- a full disk keeps the book as it was, and says so
    if folder.mounted:
        prog.focus(dlg)
        prog.xdo("key", "5")
        folder.fill()
        prog.click(dlg, *button(prog, dlg, BOOK_BUTTON, "加入错字本"))
        box = prog.wait_window(e2e.message_title(), what="the full-disk message")
        check(folder.read("错字本.txt") == gbk("地 口"), "the full disk changed the mistake book")
        prog.keys(box, "Return")
        prog.wait_gone(box)
        folder.unfill()
        prog.focus(dlg)
        prog.xdo("key", "5")
        time.sleep(0.3)
    else:
        suite.note("dictation: no tmpfs could be mounted (not root): the full disk was not tried")

    # ---- the copybook of the mistakes
    prog.click(dlg, *button(prog, dlg, SHEET_BUTTON, "错字打印成字帖…"))
    sheet = prog.wait_window(SHEET, what="the copybook of the mistakes")
    prog.xdo("mousemove", 0, 0)
    time.sleep(1.0)
    sheet_from_mistakes = prog.screenshot(sheet)
    prog.keys(sheet, "Escape")
    prog.wait_gone(sheet)

    # ---- "练习错字": the deck for this run, the bank file untouched
    prog.click(dlg, *button(prog, dlg, PRACTISE_BUTTON, "练习错字"))
    prog.wait_gone(dlg)
    check(folder.read(e2e.BANK_NAME) == bank, "the bank file changed")
    record = folder.read("听写记录.txt").decode("gb18030")
    check(re.fullmatch(r"\d{4}-\d\d-\d\d \d\d:\d\d 共 5 个，对 3 个，错 2 个：地 口\r\n", record),
          f"record {record!r}")
    # The copybook of the practice deck is the same copybook, pixel for pixel.
    prog.keys(win, "ctrl+p")
    sheet = prog.wait_window(SHEET, what="the copybook of the practice deck")
    prog.xdo("mousemove", 0, 0)
    time.sleep(1.0)
    pic = prog.screenshot(sheet)
    check((pic.width, pic.height) == (sheet_from_mistakes.width, sheet_from_mistakes.height),
          "the two copybook windows differ in size")
    # The preview (the grey around the page bounds it) is the same; the
    # options beside it differ, as the copybook of the mistakes says what it
    # holds ("听写错字（2 个）") where the deck's says the bank. Small texts
    # are antialiased a little differently from one rendering to the next; a
    # different item would change thousands of pixels.
    w, h = sheet_from_mistakes.width, sheet_from_mistakes.height
    (l, t, r, btm), n = sheet_from_mistakes.box_of((184, 184, 184), (w // 3, 0, w - 1, h - 60))
    check(n > 10000, "no preview in the copybook of the mistakes")
    def rows_of(p):
        return [p.rgb[3 * (y * p.width + l):3 * (y * p.width + r + 1)] for y in range(t, btm + 1)]
    a, b = b"".join(rows_of(pic)), b"".join(rows_of(sheet_from_mistakes))
    differ = sum(1 for i in range(0, len(a), 3) if a[i:i + 3] != b[i:i + 3])
    check(differ < 1000, f"the copybook of the mistakes is not the copybook of the deck 地 口 "
                         f"({differ} pixels differ)")
    prog.keys(sheet, "Escape")
    prog.wait_gone(sheet)

    # ---- the card shows nothing of the items: the deck 地 口 against 一 二
    dlg, card = paused_card(prog, win, services)
    prog.close(dlg)
    prog.wait_gone(dlg)
    with LocalServices() as others, \
            Program(suite, "dictation-other", bank=gbk("一 二"), settings=others.settings() + OPTIONS) as other:
        owin = e2e.main_window(other)
        odlg, other_card = paused_card(other, owin, others)
        check(other_card == card, f"the card differs with other items: {card[0]} against {other_card[0]} "
                                  "(or its pixels): it shows something of the item")
    prog.close(win)
    prog.check_exit_after_sound("after closing the window")
    check(folder.read(e2e.BANK_NAME) == bank, "the bank file changed by the end")


LESSON = "天 地 他 她 在 再 5 abc - lü 长 línɡ lǘ"
LESSON_OPTIONS = "[dictation]\norder=0\nrepeats=1\npause=1\nwrite=1\nmanual=0\npinyin=1\nwords=1\nlast=3\n"
SHOTS = "/tmp/lorvanta-e2e-dictation-grid"


def run_to_check(prog, services, count):
    """Ctrl+T, Return, and the requests of a run of `count` items."""
    win = e2e.main_window(prog)
    prog.keys(win, "ctrl+t")
    dlg = prog.wait_window(DICTATION, what="the dictation window")
    prog.wait_active(dlg)
    n = services.count("/tts/")
    prog.xdo("key", "Return")
    services.wait_count("/tts/", n + count, timeout=30)
    time.sleep(2.0)  # the last writing time, then the check
    return win, dlg, spoken(services)[n:]


def case_lesson(suite):
    # Each character with its word, each syllable with its tone (ɡ and ü too),
    # and what no voice can say left out.
    with LocalServices() as services, \
            Program(suite, "dictation-lesson", bank=gbk(LESSON), settings=services.settings() + LESSON_OPTIONS) as prog:
        win, dlg, got = run_to_check(prog, services, 10)
        want = ["天，今天的天", "地，地方的地", "他，他们的他", "她，她们的她", "在，现在的在", "再，再见的再",
                "驴", "长，成长的长", "零", "驴"]
        check(got == want, f"requests {got}, expected {want}")
        # The check grid at the first size and maximised, for a look.
        prog.xdo("mousemove", 0, 0)
        time.sleep(0.5)
        e2e.save_png(prog.screenshot(dlg), SHOTS + "-default.png")
        e2e.send_maximise(prog.display, dlg)
        time.sleep(1.0)
        e2e.save_png(prog.screenshot(dlg), SHOTS + "-maximised.png")
        prog.close(dlg)
        prog.wait_gone(dlg)
        prog.close(win)

    # "最后加入的 3 个", and the 听写纸 of that run saved as PDF.
    with LocalServices() as services, \
            Program(suite, "dictation-last", bank=gbk(LESSON),
                    settings=services.settings() + LESSON_OPTIONS.replace("order=0", "order=3")) as prog:
        win = e2e.main_window(prog)
        prog.keys(win, "ctrl+t")
        dlg = prog.wait_window(DICTATION, what="the dictation window")
        prog.wait_active(dlg)
        pdf = os.path.join(prog.root, "paper.pdf")
        prog.keys(dlg, "ctrl+p")
        time.sleep(0.5)
        prog.xdo("key", "Up", "Return")
        save = prog.wait_window("^保存为 PDF$", what="the save dialog of the 听写纸")
        prog.keys(save, "ctrl+a")
        prog.xdo("type", "--delay", "20", pdf)
        prog.xdo("key", "--clearmodifiers", "Return")
        deadline = time.monotonic() + e2e.STEP_TIMEOUT
        while not os.path.exists(pdf) and time.monotonic() < deadline:
            time.sleep(0.1)
        check(os.path.exists(pdf), "the 听写纸 was not saved")
        check_paper(pdf)
        prog.focus(dlg)
        n = services.count("/tts/")
        prog.xdo("key", "Return")
        services.wait_count("/tts/", n + 3, timeout=30)
        time.sleep(2.0)
        got = spoken(services)[n:]
        check(got == ["长，成长的长", "零", "驴"], f"the last 3 items: requests {got}")
        prog.close(dlg)
        prog.wait_gone(dlg)
        prog.close(win)


def check_paper(pdf):
    """The pupil's page of the 听写纸 of 长 línɡ lǘ: one 田字格, then two
    四线三格 lines, in that order along the first row."""
    time.sleep(0.5)
    r = subprocess.run(["pdftoppm", "-r", "40", "-f", "1", "-l", "2", "-png", pdf, pdf[:-4]], capture_output=True)
    check(r.returncode == 0, f"pdftoppm: {r.stderr!r}")
    pages = sorted(f for f in os.listdir(os.path.dirname(pdf)) if f.startswith("paper-") and f.endswith(".png"))
    check(len(pages) == 2, f"the 听写纸 has pages {pages}: the pupil's and the answers")
    r = subprocess.run(["convert", os.path.join(os.path.dirname(pdf), pages[0]), "-depth", "8", "ppm:-"],
                       capture_output=True)
    pic = e2e.parse_ppm(r.stdout)
    # Along the first row's middle line: a square's red sides, then two boxes of four lines.
    reds = []
    for x in range(pic.width):
        col = [pic.at(x, y) for y in range(pic.height // 10, pic.height // 4)]
        n = sum(1 for (rr, g, b) in col if rr > 180 and g < 190 and b < 190)
        reds.append(n)
    tall = [x for x, n in enumerate(reds) if n >= 15]  # a square's vertical side
    wide = [x for x, n in enumerate(reds) if 3 <= n <= 6]  # four lines crossed
    check(tall and wide and max(tall) < min(wide),
          f"the first row of the 听写纸: square sides at {tall}, four-line boxes at {wide[:3]}…")


def main():
    return e2e.suite_main([("evening", case_evening), ("lesson", case_lesson)])



if __name__ == "__main__":
    sys.exit(main())
