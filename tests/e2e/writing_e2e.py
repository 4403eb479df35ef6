#!/usr/bin/env python3
"""Writing practice in a real X session under openbox: the writing window is
opened from the card's context menu, and 天 is written with real xdotool
mouse drags along its medians, mapped from the data's grid onto the square
found on the screen: as the model has it, small and off the middle in 写,
and with a later stroke first, whose refusal is read off the screen (OCR,
tesseract's simplified Chinese).

Usage: writing_e2e.py --exe build/app/lorvanta --title "Lorvanta V1.2" [--case NAME] [--keep]
"""

import json
import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import run_e2e as e2e  # noqa: E402
from run_e2e import CaseFailure, Program, check  # noqa: E402

WRITE_TITLE = "^练习书写 - 天$"
STROKE_DATA = os.path.join(os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))),
                           "third_party", "npm", "node_modules", "hanzi-writer-data")

# Colours the writing square paints.
GRID_BORDER = (222, 150, 150)
INK = (28, 28, 28)  # a written stroke
STAR_ON = (245, 180, 20)
STAR_OFF = (205, 214, 226)


def medians(character):
    with open(os.path.join(STROKE_DATA, character + ".json"), encoding="utf-8") as f:
        return json.load(f)["medians"]


def placed(strokes, scale, middle):
    """The strokes as a pupil writes them at `scale` with their middle at
    `middle` (grid units; the box's own middle is 512, 388)."""
    return [[[middle[0] + scale * (x - 512), middle[1] + scale * (y - 388)] for x, y in s] for s in strokes]


def status_line(pic, square):
    """The first line of dark text under the square: the status line."""
    def dark(y):
        return sum(1 for x in range(10, pic.width - 10, 2) if sum(pic.at(x, y)) < 300) > 2
    top = next((y for y in range(square.box[3] + 3, pic.height) if dark(y)), None)
    check(top is not None, "no status line under the square")
    bottom = next((y for y in range(top, pic.height) if not dark(y)), pic.height - 1)
    return 10, max(0, top - 6), pic.width - 11, min(pic.height - 1, bottom + 6)


def read_text(pic, area):
    """The text in an area of a screenshot, read by tesseract (simplified
    Chinese, one line), spaces dropped."""
    l, t, r, b = area
    with tempfile.TemporaryDirectory() as d:
        ppm = os.path.join(d, "line.ppm")
        with open(ppm, "wb") as f:
            f.write(b"P6 %d %d 255\n" % (r - l + 1, b - t + 1))
            for y in range(t, b + 1):
                f.write(pic.rgb[3 * (y * pic.width + l):3 * (y * pic.width + r + 1)])
        png = os.path.join(d, "line.png")
        subprocess.run(["convert", ppm, "-colorspace", "Gray", "-resize", "300%", "-threshold", "60%", png],
                       check=True, capture_output=True)
        out = subprocess.run(["tesseract", png, "stdout", "-l", "chi_sim", "--psm", "7"], capture_output=True,
                             text=True)
        return "".join(out.stdout.split())


def open_writing(prog):
    """Right-click on the card, choose "练习书写…" (the menu's second entry)."""
    main = e2e.main_window(prog)
    places = e2e.Places(*prog.geometry(main)[2:])
    prog.focus(main)
    prog.xdo("mousemove", "--window", main, *places.card_point, "click", "3")
    time.sleep(0.5)
    prog.xdo("key", "Down", "Down", "Return")
    win = prog.wait_window(WRITE_TITLE, what="writing window")
    check(prog.transient_for(win) == main, "the writing window is not kept above the practice window")
    return main, win


class Square:
    """The 田字格 on the screen, found by its border, and the mapping of the
    data's grid (1024 wide, y up, top edge at 900) onto it."""

    def __init__(self, prog, win):
        pic = prog.screenshot(win)
        (left, top, right, bottom), count = pic.box_of(GRID_BORDER)
        check(count > 400, f"no grid border on the writing window ({count} pixels)")
        side = min(right - left, bottom - top)
        check(side >= 400, f"the grid is {side} pixels, expected at least 400")
        check(abs((right - left) - (bottom - top)) <= 2, f"the grid is not square: {left, top, right, bottom}")
        self.prog, self.win = prog, win
        self.left, self.top, self.side = left, top, side
        self.box = (left, top, right, bottom)
        self.origin = prog.geometry(win)[:2]

    def screen(self, gx, gy):
        x = self.origin[0] + self.left + gx / 1024 * self.side
        y = self.origin[1] + self.top + (900 - gy) / 1024 * self.side
        return int(round(x)), int(round(y))

    def drag(self, points):
        """One real drag through the grid points, in small steps."""
        path = []
        for (x0, y0), (x1, y1) in zip(points, points[1:]):
            for k in range(6):
                path.append((x0 + (x1 - x0) * k / 6, y0 + (y1 - y0) * k / 6))
        path.append(tuple(points[-1]))
        args = ["mousemove", *self.screen(*path[0]), "mousedown", "1"]
        for p in path[1:]:
            args += ["sleep", "0.008", "mousemove", *self.screen(*p)]
        args += ["sleep", "0.03", "mouseup", "1"]
        self.prog.xdo(*args)

    def count(self, colour):
        return self.prog.screenshot(self.win).box_of(colour, self.box)[1]

    def reddish(self):
        """Pixels of the refused stroke's red, at any stage of its fading."""
        pic = self.prog.screenshot(self.win)
        l, t, r, b = self.box
        n = 0
        for y in range(t, b + 1, 2):
            for x in range(l, r + 1, 2):
                red, green, blue = pic.at(x, y)
                n += red > 200 and green < 150 and blue < 150 and red - green > 80
        return n

    def wait(self, predicate, what, timeout=e2e.STEP_TIMEOUT):
        deadline = time.monotonic() + timeout
        while not predicate():
            if time.monotonic() > deadline:
                raise CaseFailure(what)
            time.sleep(0.05)

    def wait_ink(self, predicate, what, timeout=e2e.STEP_TIMEOUT):
        deadline = time.monotonic() + timeout
        n = None
        while time.monotonic() < deadline:
            n = self.count(INK)
            if predicate(n):
                return n
            time.sleep(0.15)
        raise CaseFailure(f"{what}: {n} ink pixels on the square")


def stars(prog, win, square):
    """(earned, not earned): the star shapes in the row under the square where
    the earned ones stand, told apart by colour."""
    pic = prog.screenshot(win)
    below = (0, square.box[3] + 4, pic.width - 1, pic.height - 1)
    (l, t, r, b), n = pic.box_of(STAR_ON, below)
    if n == 0:
        return 0, 0
    size = b - t + 1
    row = (max(0, l - 3 * size), t, min(pic.width - 1, r + 3 * size), b)

    def shapes(colour):
        columns = set()
        for y in range(row[1], row[3] + 1):
            for x in range(row[0], row[2] + 1):
                if pic.at(x, y) == colour:
                    columns.add(x)
        # Shapes are runs of columns with a gap between them.
        runs, last = 0, None
        for x in sorted(columns):
            if last is None or x > last + 1:
                runs += 1
            last = x
        return runs

    return shapes(STAR_ON), shapes(STAR_OFF)


def write_strokes(square, strokes, first_ink=0):
    ink = first_ink
    for i, stroke in strokes:
        square.drag(stroke)
        ink = square.wait_ink(lambda n, was=ink: n > was + 200, f"stroke {i + 1} was not taken")
    return ink


def case_write_tian(suite):
    """天 (the card shows a pinyin item) written stroke by stroke along its
    medians: each stroke turns black, the score is full with three stars."""
    with Program(suite, "write") as prog:
        _, win = open_writing(prog)
        square = Square(prog, win)
        check(square.count(INK) == 0, "the square shows ink before anything was written")
        write_strokes(square, list(enumerate(medians("天"))))
        time.sleep(0.5)
        on, off = stars(prog, win, square)
        check((on, off) == (3, 0), f"stars after a full score: {on} earned, {off} not")


def case_misses(suite):
    """A reversed drag is refused (red for a moment, no black); after three
    misses the stroke is drawn for the pupil and the score says so."""
    with Program(suite, "misses") as prog:
        _, win = open_writing(prog)
        square = Square(prog, win)
        strokes = medians("天")
        first = strokes[0]
        square.drag(list(reversed(first)))
        square.wait(lambda: square.reddish() > 20, "the refused stroke was not shown in red", 3)
        square.wait(lambda: square.reddish() == 0, "the refused stroke stayed on the square", 5)
        check(square.count(INK) == 0, "a reversed first stroke was taken")
        square.drag(list(reversed(first)))
        time.sleep(0.3)
        check(square.count(INK) == 0, "the second reversed stroke was taken")
        square.drag(list(reversed(first)))
        ink = square.wait_ink(lambda n: n > 200, "the stroke was not drawn after three misses")
        write_strokes(square, list(enumerate(strokes))[1:], ink)
        time.sleep(0.5)
        on, off = stars(prog, win, square)
        check((on, off) == (2, 1), f"stars for 3 of 4 strokes right: {on} earned, {off} not")


def case_small_off_middle(suite):
    """写 on an empty square: 天 at 0.6 of its size, down and to the left of
    the middle. Every stroke is taken and stands where it was written; the
    score is full."""
    with Program(suite, "small", settings="[writing]\nmode=write\n") as prog:
        _, win = open_writing(prog)
        square = Square(prog, win)
        strokes = placed(medians("天"), 0.6, (400, 260))
        write_strokes(square, list(enumerate(strokes)))
        # The black strokes lie in the part of the square the pupil used.
        pic = prog.screenshot(win)
        (l, t, r, b), _ = pic.box_of(INK, square.box)
        xs = [square.screen(x, y)[0] - square.origin[0] for s in strokes for x, y in s]
        ys = [square.screen(x, y)[1] - square.origin[1] for s in strokes for x, y in s]
        slack = square.side // 20
        check(l >= min(xs) - slack and r <= max(xs) + slack and t >= min(ys) - slack and b <= max(ys) + slack,
              f"the strokes stand at {l, t, r, b}, written within {min(xs), min(ys), max(xs), max(ys)}")
        time.sleep(0.5)
        on, off = stars(prog, win, square)
        check((on, off) == (3, 0), f"stars after a full score: {on} earned, {off} not")


def case_later_stroke_first(suite):
    """天's 撇 drawn where its long 横 belongs: refused, and the status line
    under the square reads 笔顺不对."""
    with Program(suite, "order") as prog:
        _, win = open_writing(prog)
        square = Square(prog, win)
        strokes = medians("天")
        ink = write_strokes(square, [(0, strokes[0])])
        square.drag(strokes[2])
        square.wait(lambda: square.reddish() > 20, "the stroke out of order was not shown in red", 3)
        check(square.count(INK) <= ink + 50, "the stroke out of order was taken")
        pic = prog.screenshot(win)
        text = read_text(pic, status_line(pic, square))
        check("笔顺不对" in text, f"the status line reads {text!r}, not 笔顺不对")


CASES = [
    ("write_tian", case_write_tian),
    ("misses", case_misses),
    ("small_off_middle", case_small_off_middle),
    ("later_stroke_first", case_later_stroke_first),
]


def main():
    def no_data():
        if not os.path.exists(os.path.join(STROKE_DATA, "天.json")):
            return "the stroke data is missing (scripts/setup.sh installs it)"
        langs = subprocess.run(["tesseract", "--list-langs"], capture_output=True, text=True) \
            if shutil.which("tesseract") else None
        if not langs or "chi_sim" not in langs.stdout:
            return "tesseract with simplified Chinese is missing (scripts/setup.sh installs it)"
        return None

    return e2e.suite_main(CASES, skip_reason=no_data)


if __name__ == "__main__":
    sys.exit(main())
