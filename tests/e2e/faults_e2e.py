#!/usr/bin/env python3
"""Two walks through the built program in a real X session (Xvfb, openbox,
xdotool), after faults a pupil and a parent met:

autoplay  Autoplay every 2 s with 朗读 ticked: D on 口, the question left open
          for 4 s, answered 是. 口 is deleted (not what autoplay would have shown
          meanwhile), no item is shown or read while the question is open, and
          autoplay goes on after the answer. Then 每轮打乱一下 and 朗读 clicked
          with the mouse: the next Space reads the item and leaves the boxes
          as clicked, and the stored settings say so.
counter   The counter on the bank button at 100/100, 121/1000, 1/100014 and
          1/999999, reached with real keys and measured on screenshots: the
          whole caption lies inside the button, centred. On the way, files
          dropped on the editor: a UTF-16 one (Windows Notepad's "Unicode")
          is read, a binary one is refused with a message.

Usage: faults_e2e.py --exe build/app/lorvanta --title "Lorvanta V1.2" [--case NAME] [--keep]
"""

import os
import re
import sys
import tempfile
import time
from urllib.parse import quote

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import run_e2e as e2e  # noqa: E402
from run_e2e import CaseFailure, LocalServices, Places, Program, check, expect_bank, gbk  # noqa: E402


def tts_text(path):
    m = re.search(r"[?&]tex=([^&]*)", path)
    return m.group(1) if m else None


def enc(text):
    return quote(text, safe="")


def wait_spoken(services, text, after, timeout=e2e.STEP_TIMEOUT):
    """Waits for a read-aloud request of text among the requests after index `after`."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        paths = services.paths("/tts/")[after:]
        if any(tts_text(p) == enc(text) for p in paths):
            return
        time.sleep(0.03)
    spoken = [tts_text(p) for p in services.paths("/tts/")[after:]]
    raise CaseFailure(f"{text} was not read aloud within {timeout:.0f} s; read: {spoken}")


def case_autoplay(suite):
    conf = "[main]\njiange=2\ndalu=0\nlangdu=1\n"
    with LocalServices() as services, \
            Program(suite, "autoplay", bank=gbk("人 口 山 水 火"), settings=services.settings() + conf) as prog:
        win = e2e.main_window(prog)
        places = Places(830, 513)
        prog.click(win, *places.label2_point)        # autoplay on
        wait_spoken(services, "口", 0, timeout=6)
        prog.keys(win, "d")                          # on 口, at once
        box = prog.wait_window(e2e.message_title(), what="the delete question", settle=False)
        n = services.count("/tts/")
        time.sleep(4)
        read = [tts_text(p) for p in services.paths("/tts/")[n:]]
        check(not read, f"autoplay went on under the open question: read {read}")
        check(prog.bank_bytes() == gbk("人 口 山 水 火"), "the bank changed before the answer")
        prog.keys(box, "Return")                     # 是
        prog.wait_gone(box)
        expect_bank(prog, "人 山 水 火", "answering 是 to the question about 口")
        # The item after it comes in 口's place, then autoplay steps on.
        wait_spoken(services, "山", n)
        answered = time.monotonic()
        wait_spoken(services, "水", n, timeout=6)
        took = time.monotonic() - answered
        check(took > 1.0, f"autoplay stepped {took:.1f} s after the answer, not a whole interval")

        def click_then_space(box, point, what):
            """A click changes the box; the Space after it reads the item and
            leaves the box as the click left it."""
            before = prog.crop(win, *box)
            prog.click(win, *point)
            clicked = prog.wait_crop(win, box, lambda c: c != before, f"{what} did not take the click")
            prog.xdo("mousemove", 0, 0)
            n = services.count("/tts/")
            prog.xdo("key", "space")
            services.wait_count("/tts/", n + 1)
            time.sleep(0.3)
            check(prog.crop(win, *box) == clicked, f"Space changed {what} back after a click on it")

        # 每轮打乱一下 clicked while autoplay runs: the interval box keeps the keyboard.
        click_then_space(places.check1, Places.centre(places.check1), "每轮打乱一下")
        prog.click(win, *places.label2_point)        # autoplay off
        # 朗读 unticked with a click; Space reads and leaves it unticked.
        click_then_space(places.check2, (places.check2[0] + 8, places.check2[1] + places.check2[3] - 3), "朗读")
        prog.no_window("^" + re.escape(e2e.EDITOR_TITLE), 0.3, "the editor")
        prog.close(win)
        check(prog.wait_exit() == 0, "exit code")
        s = prog.settings()
        check(s.get("dalu") == "1" and s.get("langdu") == "0", f"stored settings {s}")


def dark_box(pic, area):
    """Bounding box of the caption's ink (dark pixels) within area (x, y, w, h)."""
    x0, y0, w, h = area
    cols, rows = [], []
    for y in range(y0, y0 + h):
        for x in range(x0, x0 + w):
            if max(pic.at(x, y)) < 110:
                cols.append(x)
                rows.append(y)
    check(cols, "no caption on the bank button")
    return min(cols), min(rows), max(cols), max(rows)


def check_counter(prog, win, what, shots):
    prog.xdo("mousemove", 0, 0)
    time.sleep(0.3)
    pic = prog.screenshot(win)
    x, y, w, h = Places(830, 513).button("cmdSet")
    left, top, right, bottom = dark_box(pic, (x, y, w, h))
    margin_l, margin_r = left - x, x + w - 1 - right
    check(margin_l >= 3 and margin_r >= 3,
          f"{what}: the caption runs from {margin_l} px to {w - 1 - margin_r} px of the {w} px button (cut off)")
    check(abs(margin_l - margin_r) <= 3, f"{what}: caption not centred (margins {margin_l} and {margin_r} px)")
    check(top > y + 1 and bottom < y + h - 2, f"{what}: the caption touches the button's top or bottom")
    # The button itself keeps its place and size: its colour fills the same rectangle.
    (bl, bt, br, bb), _ = pic.box_of(e2e.BANK_BUTTON, (x - 4, y - 4, x + w + 3, y + h + 3))
    check(bl >= x and br <= x + w - 1 and bt >= y and bb <= y + h - 1 and br - bl > w - 8,
          f"{what}: the button's colour spans ({bl},{bt})-({br},{bb}), expected within {x},{y} {w}x{h}")
    shots.append((what, pic, (x, y, w, h)))
    prog.suite.note(f"counter {what}: caption {right - left + 1} px wide in the {w} px button, "
                    f"margins {margin_l}/{margin_r} px")


def save_shots(shots):
    """The buttons side by side in one PPM, for a person to look at."""
    out = os.path.join(tempfile.gettempdir(), "lorvanta-e2e-counter.ppm")
    scale = 3
    w = max(r[2] for _, _, r in shots) * scale
    h = sum(r[3] for _, _, r in shots) * scale
    rows = []
    for _, pic, (x, y, bw, bh) in shots:
        for yy in range(y, y + bh):
            line = bytearray()
            for xx in range(x, x + bw):
                line += bytes(pic.at(xx, yy)) * scale
            line += b"\xff" * (w * 3 - len(line))
            rows.extend([bytes(line)] * scale)
    with open(out, "wb") as f:
        f.write(b"P6 %d %d 255\n" % (w, h) + b"".join(rows))
    return out


def case_counter(suite):
    shots = []
    with Program(suite, "counter100", bank=gbk(" ".join(["口"] * 100))) as prog:
        win = e2e.main_window(prog)
        check_counter(prog, win, "1/100", shots)
        prog.keys(win, *(["Right"] * 99))
        check_counter(prog, win, "100/100", shots)

        # Files dropped on the editor: Notepad's "Unicode", then a picture.
        notepad = os.path.join(prog.root, "unicode.txt")
        with open(notepad, "wb") as f:
            f.write(b"\xff\xfe" + "天 地\r\nma".encode("utf-16-le"))
        picture = os.path.join(prog.root, "photo.png")
        with open(picture, "wb") as f:
            f.write(b"\x89PNG\r\n\x1a\n\x00\x00\x00\rIHDR" + bytes(range(256)) * 8)
        prog.click(win, *Places.centre(Places(830, 513).button("cmdSet")))
        ed = prog.wait_window("^" + re.escape(e2e.EDITOR_TITLE), what="editor window")
        ex, ey, _, _ = prog.geometry(ed)
        check(e2e.drop_files(prog.display, ed, ex + 108, ey + 136, [notepad]), "the editor refused the UTF-16 file")
        prog.wait_title(ed, lambda t: t == "管理我的生字库(当前有2个生字)", "the count of the UTF-16 file")
        check(e2e.drop_files(prog.display, ed, ex + 108, ey + 136, [picture]), "the drop of the picture did not end")
        box = prog.wait_window(e2e.message_title(), what="the message refusing the picture")
        prog.keys(box, "Return")
        prog.wait_gone(box)
        check(prog.title(ed) == "管理我的生字库(当前有2个生字)", f"after the picture: {prog.title(ed)!r}")
        prog.click(ed, 8 + 40, 56 + 16)              # 保存并关闭
        prog.wait_gone(ed)
        prog.answer_message("Return")                # 生字库发生变化，系统自动重新载入
        expect_bank(prog, "天 地 mɑ", "saving the UTF-16 file")

    with Program(suite, "counter1000", bank=gbk(" ".join(["口"] * 1000))) as prog:
        win = e2e.main_window(prog)
        prog.keys(win, *(["Right"] * 120))
        check_counter(prog, win, "121/1000", shots)
    for n in (100014, 999999):
        with Program(suite, f"counter{n}", bank=gbk(" ".join(["口"] * n))) as prog:
            win = e2e.main_window(prog)
            check_counter(prog, win, f"1/{n}", shots)
            prog.keys(win, "Right")
            check_counter(prog, win, f"2/{n}", shots)
    suite.note("the bank buttons, three times enlarged: " + save_shots(shots))


CASES = [("autoplay", case_autoplay), ("counter", case_counter)]


def main():
    return e2e.suite_main(CASES)



if __name__ == "__main__":
    sys.exit(main())
