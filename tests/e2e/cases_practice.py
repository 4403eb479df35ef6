"""The practice window: first start, settings, deleting, the layout of an item,
the start-up message, every key and every click, autoplay.

Run by run_e2e.py (--case NAME); the machinery is in e2e_support.py.
"""

import os
import re
import time

import e2e_support as support
from e2e_support import (
    BANK_BUTTON, CARD, DEFAULT_BANK, DELETE_BUTTON, EDITOR_TITLE, LocalServices, Places, Program,
    SCREEN, START_TIMEOUT, check, check_centred, expect_bank, gbk, main_window, message_title,
)


# ---------------------------------------------------------------- cases
# Design sizes in pixels at 96 dpi (twips / 15).

def case_first_start(suite):
    """No bank, no settings: the toned vowels are written, the caption is the
    program's title, and closing the window stores the first-run settings."""
    with Program(suite, "first") as prog:
        win = prog.wait_window("^" + re.escape(support.MAIN_TITLE) + "$", START_TIMEOUT, "practice window")
        check(prog.title(win) == support.MAIN_TITLE, f"caption {prog.title(win)!r}")
        x, y, w, h = prog.geometry(win)
        check((w, h) == (830, 513), f"client size {w}x{h}, expected 830x513")
        expect_bank(prog, DEFAULT_BANK, "the first start")
        prog.close(win)
        rc = prog.wait_exit()
        check(rc == 0, f"exit code {rc}")
        s = prog.settings()
        check(s == {"jiange": "5", "dalu": "0", "langdu": "0"}, f"settings after close: {s}")


def case_settings(suite):
    """Stored settings are shown at start and saved back as 0/1 after a close;
    the read-aloud box is ticked with a real click."""
    conf = "[main]\njiange=12\ndalu=1\nlangdu=0\n"
    with Program(suite, "settings", bank=gbk("人 口 手"), settings=conf) as prog:
        win = prog.wait_window("^" + re.escape(support.MAIN_TITLE) + "$", START_TIMEOUT, "practice window")
        # 朗读 at (6240, 97) twips, 65 × 20 px: click on its box.
        prog.click(win, 416 + 10, 6 + 10)
        prog.close(win)
        rc = prog.wait_exit()
        check(rc == 0, f"exit code {rc}")
        s = prog.settings()
        check(s == {"jiange": "12", "dalu": "1", "langdu": "1"},
              f"settings after ticking 朗读 and closing: {s}, expected jiange=12 dalu=1 langdu=1")
        expect_bank(prog, "人 口 手", "a session without edits")


def case_delete(suite):
    """D answered with Escape keeps the file byte for byte; D answered with
    Enter removes every copy of the item and writes the canonical bank."""
    bank = gbk("人 口  手 口")  # hand-edited: a double space and a repeat
    with Program(suite, "delete", bank=bank) as prog:
        win = prog.wait_window("^" + re.escape(support.MAIN_TITLE) + "$", START_TIMEOUT, "practice window")
        prog.keys(win, "Right")           # 人 -> 口
        prog.keys(win, "d")
        prog.answer_message("Escape")
        check(prog.bank_bytes() == bank, "answering No changed the file")
        prog.keys(win, "d")
        prog.answer_message("Return")
        expect_bank(prog, "人 手", "deleting 口 with Enter")


def case_layout(suite):
    """A screenshot at the design size, measured: the card, the button bar and
    the item's ink centred on the card."""
    with Program(suite, "layout", bank=gbk("田 o")) as prog:
        win = prog.wait_window("^" + re.escape(support.MAIN_TITLE) + "$", START_TIMEOUT, "practice window")
        time.sleep(0.5)
        pic = prog.screenshot(win)
        check((pic.width, pic.height) == (830, 513), f"screenshot {pic.width}x{pic.height}")

        # Card: (0, 600) twips, 12450 × 6000 after the resize layout.
        (l, t, r, b), n = pic.box_of(CARD)
        check((l, t, r, b) == (0, 40, 829, 439),
              f"card spans ({l},{t})-({r},{b}), expected (0,40)-(829,439)")
        check(n > 0.8 * 830 * 400, f"only {n} card pixels: the card is mostly covered")

        # Button bar: Picture1 at (1837, 6900) twips = (122, 460) px; 我的生字库 is its first
        # button (121 × 33 px) and 已会,删除 starts 5400 twips (360 px) further right.
        (l, t, r, b), n = pic.box_of(BANK_BUTTON, (0, 441, 829, 512))
        check(n > 0 and abs(l - 122) <= 2 and abs(t - 460) <= 2 and abs(r - 242) <= 2
              and abs(b - 492) <= 2, f"我的生字库 button at ({l},{t})-({r},{b}), expected (122,460)-(242,492)")
        (l2, t2, r2, b2), n = pic.box_of(DELETE_BUTTON, (0, 441, 829, 512))
        check(n > 0 and abs(l2 - 482) <= 2 and abs(t2 - 460) <= 2,
              f"删除 button at ({l2},{t2}), expected (482,460)")

        # The item's ink on the card. 田 is near-symmetric in the Kai face, whose
        # brush strokes still lean a little, so it gets a few pixels either way.
        ink(suite, pic, "田", 6, 15)
        # o in the pinyin face is symmetric across; it sits on the baseline, so
        # only its horizontal centre says anything.
        prog.keys(win, "Right")
        time.sleep(0.3)
        ink(suite, prog.screenshot(win), "o", 3, None)


def ink(suite, pic, item, tol_x, tol_y):
    card = (0, 40, 829, 439)
    (l, t, r, b), n = pic.box_not_of(CARD, card)
    check(n > 500, f"{item}: nothing drawn on the card")
    check(l > 0 and t > 40 and r < 829 and b < 439, f"{item}: ink touches the card's edge")
    cx, cy = (l + r) / 2, (t + b) / 2
    check(abs(cx - 414.5) <= tol_x, f"{item}: ink centred at x={cx}, card centre 414.5")
    if tol_y is not None:
        check(abs(cy - 239.5) <= tol_y, f"{item}: ink centred at y={cy}, card centre 239.5")
    check(b - t >= 100, f"{item}: ink only {b - t + 1} px high, the item was not scaled up")
    suite.note(f"layout: {item} ink ({l},{t})-({r},{b}), centre ({cx},{cy})")



# ---------------------------------------------------------------- keys and clicks

def case_keys(suite):
    """Each key of the practice window (arrows, Page Up and Down, Space, V, D,
    Delete), alone and with Shift, Ctrl and Alt, acts once per
    press, counted by what a user sees: the counter on the bank button, the
    read-aloud and look-up requests that reach the services, and the delete
    questions. Also with the interval box focused, and right after a box closed."""
    items = "一 二 三 四 五 六 七 八 九 十"
    with LocalServices() as services, \
            Program(suite, "keys", bank=gbk(items), settings=services.settings()) as prog:
        win = main_window(prog)
        places = Places(830, 513)
        counter = places.counter()
        # The counter's look at each position, stepping with the buttons.
        seen = [prog.crop(win, *counter)]
        for i in range(2, 11):
            prog.click(win, *Places.centre(places.button("cmdAfter")))
            seen.append(prog.wait_crop(win, counter, lambda c: c != seen[-1],
                                       f"下一个 did not move the counter to {i}/10"))
        check(len(set(seen)) == 10, "the counter looks the same at two positions")
        prog.xdo("mousemove", 0, 0)  # no hover on the buttons from now on

        def position():
            got = prog.crop(win, *counter)
            check(got in seen, "the counter shows none of 1/10 to 10/10")
            return seen.index(got) + 1

        def press(key, expect_pos, what):
            # A second call of a handler would come within the same key event,
            # so the first picture that shows a change shows all of it.
            before = position()
            prog.focus(win)
            prog.xdo("key", "--clearmodifiers", key)
            deadline = time.monotonic() + 3
            now = position()
            while now == before and time.monotonic() < deadline:
                time.sleep(0.05)
                now = position()
            check(now == expect_pos, f"{what}: at {now}/10, expected {expect_pos}/10")

        # From 10 back to 5 with the buttons' counterpart on the keyboard.
        for _ in range(5):
            prog.click(win, *Places.centre(places.button("cmdBefore")))
        prog.xdo("mousemove", 0, 0)
        deadline = time.monotonic() + 3
        while position() != 5 and time.monotonic() < deadline:
            time.sleep(0.1)
        check(position() == 5, f"five clicks on 上一个 from 10 left {position()}/10")

        for mod in ("", "shift+", "ctrl+", "alt+"):
            for back, forward in (("Left", "Right"), ("Up", "Down"), ("Prior", "Next")):
                press(mod + back, 4, mod + back)
                press(mod + forward, 5, mod + forward)

            n = services.count("/tts/")
            prog.keys(win, mod + "space")
            services.wait_count("/tts/", n + 1)
            time.sleep(0.3)
            check(services.count("/tts/") == n + 1,
                  f"{mod}space: {services.count('/tts/') - n} read-aloud requests for one press")

            n = services.count("/zici/")
            prog.keys(win, mod + "v")
            services.wait_count("/zici/", n + 1)
            viewer = prog.wait_window("^播放笔顺$", what="the stroke-order viewer", settle=False)
            time.sleep(0.3)
            check(services.count("/zici/") == n + 1,
                  f"{mod}v: {services.count('/zici/') - n} look-ups for one press")
            # The viewer stays above the practice window; closed, it leaves the counter visible.
            prog.close(viewer)
            prog.wait_gone(viewer)

            for key in ("d", "Delete"):
                prog.keys(win, mod + key)
                box = prog.wait_window(message_title(), what=f"the question for {mod}{key}", settle=False)
                prog.keys(box, "Escape")
                prog.wait_gone(box)
                prog.no_window(message_title(), 0.5, f"a second question after one {mod}{key}")
                # Right after the box: one step for one press.
                press("Right", 6, f"Right after the {mod}{key} question")
                press("Left", 5, f"Left after the {mod}{key} question")
        expect_bank(prog, items, "answering every question with No")

        # The interval box has the focus while autoplay runs.
        prog.click(win, *places.label2_point)
        prog.wait_crop(win, places.text2, lambda c: True, "")
        prog.click(win, *Places.centre(places.text2))
        prog.xdo("mousemove", 0, 0)
        press("Right", 6, "Right in the interval box")
        prog.keys(win, "d")
        box = prog.wait_window(message_title(), what="the question for d in the interval box")
        prog.keys(box, "Return")
        prog.wait_gone(box)
        prog.no_window(message_title(), 0.6, "a second question after d and Enter")
        prog.keys(win, "Return")
        time.sleep(0.3)
        expect_bank(prog, "一 二 三 四 五 七 八 九 十", "one d, Enter, Enter")


def click_every_control(prog, win, services, size, chinese_index, what):
    """Clicks every control of the practice window at this client size and
    checks that the control itself answered. The item shown is the one at
    position 1 (pinyin, tall); chinese_index is where the bank has a
    character, for the stroke-order button (disabled for pinyin)."""
    places = Places(*size)
    counter = places.counter()

    def at(point):
        prog.click(win, *point)

    def crop(rect):
        return prog.crop(win, *rect)

    # 下一个 and 上一个.
    first = crop(counter)
    at(Places.centre(places.button("cmdAfter")))
    prog.wait_crop(win, counter, lambda c: c != first, f"{what}: 下一个 did not step")
    at(Places.centre(places.button("cmdBefore")))
    prog.wait_crop(win, counter, lambda c: c == first, f"{what}: << 上一个 did not step back")

    # 朗读, on the lower part of its box, twice.
    x, y, w, h = places.check2
    before = crop(places.check2)
    at((x + 8, y + h - 3))
    prog.wait_crop(win, places.check2, lambda c: c != before, f"{what}: 朗读 did not take the click")
    at((x + 8, y + h - 3))
    prog.wait_crop(win, places.check2, lambda c: c == before, f"{what}: 朗读 did not take the second click")

    # The autoplay switch (text and picture), the interval box and 每轮打乱一下.
    box = crop(places.text2)
    at(places.label2_point)
    prog.wait_crop(win, places.text2, lambda c: c != box, f"{what}: 点击这里自动播放 did not start autoplay")
    shuffle = crop(places.check1)
    at(Places.centre(places.check1))
    prog.wait_crop(win, places.check1, lambda c: c != shuffle, f"{what}: 每轮打乱一下 did not take the click")
    at(Places.centre(places.check1))
    prog.wait_crop(win, places.check1, lambda c: c == shuffle, f"{what}: 每轮打乱一下 did not take the second click")
    at(Places.centre(places.text2))
    shown = crop(places.text2)
    prog.xdo("key", "End", "BackSpace", "BackSpace", "7")
    prog.wait_crop(win, places.text2, lambda c: c != shown, f"{what}: typing in the interval box changed nothing")
    at(places.bofang_point)
    prog.wait_crop(win, places.text2, lambda c: c == box, f"{what}: the play picture did not stop autoplay")

    # The two links.
    at(places.shuoming_point)
    help_window = prog.wait_window("^使用说明$", what=f"{what}: the instructions window", settle=False)
    prog.close(help_window)
    prog.wait_gone(help_window)
    at(places.about_point)
    about = prog.wait_window("^关于$", what=f"{what}: the About window", settle=False)
    prog.close(about)
    prog.wait_gone(about)

    # The loudspeaker, the card beside the item and the item itself read it aloud.
    for name, point in (("the loudspeaker", Places.centre(places.image3)), ("the card", places.card_point),
                        ("the item", places.item_point)):
        n = services.count("/tts/")
        at(point)
        services.wait_count("/tts/", n + 1)

    # 已会,删除 asks; 我的生字库 opens the editor.
    at(Places.centre(places.button("Command2")))
    question = prog.wait_window(message_title(), what=f"{what}: the delete question", settle=False)
    prog.keys(question, "Escape")
    prog.wait_gone(question)
    at(Places.centre(places.button("cmdSet")))
    editor = prog.wait_window("^" + re.escape(EDITOR_TITLE), what=f"{what}: the editor", settle=False)
    prog.close(editor)
    prog.wait_gone(editor)

    # 查看笔顺 on the character.
    for _ in range(chinese_index - 1):
        at(Places.centre(places.button("cmdAfter")))
    n = services.count("/zici/")
    at(Places.centre(places.button("Command1")))
    services.wait_count("/zici/", n + 1)
    viewer = prog.wait_window("^播放笔顺$", what=f"{what}: the stroke-order viewer", settle=False)
    prog.close(viewer)
    prog.wait_gone(viewer)
    for _ in range(chinese_index - 1):
        at(Places.centre(places.button("cmdBefore")))
    prog.wait_crop(win, counter, lambda c: c == first, f"{what}: back at the first item")


def case_clicks(suite):
    """Every control takes its own clicks, never the item drawn across it: at
    the design size, 1000 px wide (where ā covered 下一个 and 朗读), 1500 x 513
    (where the tall pinyin ɡù reached the buttons), and a smaller window."""
    with LocalServices() as services, \
            Program(suite, "clicks", bank=gbk("ā ɡù 天"), settings=services.settings()) as prog:
        win = main_window(prog)
        click_every_control(prog, win, services, (830, 513), 3, "830x513")

        prog.resize(win, 1000, 513)
        click_every_control(prog, win, services, (1000, 513), 3, "1000x513")

        # The tall glyph must not paint over the buttons either: << 上一个 looks
        # the same behind ɡù as behind 天.
        prog.xdo("windowmove", win, 10, 40)
        prog.resize(win, 1500, 513)
        places = Places(1500, 513)
        x, y, w, h = places.button("cmdBefore")
        inside = (x + 3, y + 3, w - 6, h - 6)

        def step(button):
            before = prog.crop(win, *places.counter())
            prog.click(win, *Places.centre(places.button(button)))
            prog.xdo("mousemove", 0, 0)
            prog.wait_crop(win, places.counter(), lambda c: c != before, f"1500x513: {button} did not step")
            time.sleep(0.2)

        step("cmdAfter")                    # ɡù
        behind = prog.crop(win, *inside)
        step("cmdAfter")                    # 天
        check(prog.crop(win, *inside) == behind, "ɡù paints over << 上一个 at 1500x513")
        step("cmdBefore")
        step("cmdBefore")                   # ā
        click_every_control(prog, win, services, (1500, 513), 3, "1500x513")

        prog.resize(win, 640, 400)
        click_every_control(prog, win, services, (640, 400), 3, "640x400")


def case_autoplay(suite):
    """A double click on the switch starts autoplay (one toggle); six digits
    fit the interval box; after stopping with the interval box focused, Space
    reads the item aloud and does not open the editor."""
    with LocalServices() as services, \
            Program(suite, "autoplay", bank=gbk("人 口 手"), settings=services.settings()) as prog:
        win = main_window(prog)
        places = Places(830, 513)
        hidden = prog.crop(win, *places.text2)
        prog.click(win, *places.label2_point, repeat=2)
        time.sleep(0.5)
        check(prog.crop(win, *places.text2) != hidden, "a double click on 点击这里自动播放 left autoplay off")
        prog.click(win, *places.bofang_point, repeat=2)
        time.sleep(0.5)
        check(prog.crop(win, *places.text2) == hidden, "a double click on the stop picture left autoplay on")

        prog.click(win, *places.bofang_point)
        prog.wait_crop(win, places.text2, lambda c: c != hidden, "the play picture did not start autoplay")
        prog.click(win, *Places.centre(places.text2))
        prog.xdo("key", "ctrl+a", "9", "9", "9", "9", "9", "9")
        prog.xdo("mousemove", 0, 0)
        time.sleep(0.3)
        # Whether all six digits show is judged in the window test against
        # the same digits in a wide box; here the picture is only measured.
        pic = prog.screenshot(win)
        x, y, w, h = places.text2
        cols = [cx for cx in range(x + 1, x + w - 1)
                if any(sum(pic.at(cx, cy)) < 300 for cy in range(y + 3, y + h - 3))]
        if cols:
            suite.note(f"autoplay: six digits span x {cols[0] - x}..{cols[-1] - x} of the {w} px box")

        prog.click(win, *places.label2_point)  # stop, with the focus in the interval box
        prog.wait_crop(win, places.text2, lambda c: c == hidden, "点击这里自动播放 did not stop autoplay")
        n = services.count("/tts/")
        prog.keys(win, "space")
        services.wait_count("/tts/", n + 1)
        prog.no_window("^" + re.escape(EDITOR_TITLE), 1.0, "the editor (Space went to the bank button)")
        prog.close(win)
        check(prog.wait_exit() == 0, "exit code")
        check(prog.settings().get("jiange") == "999999", f"stored interval {prog.settings().get('jiange')!r}")


def case_start_message(suite):
    """The practice window, frame included, is centred on the screen; the
    message shown before it appears (no bank can be read) is centred on the
    screen too."""
    prog = Program(suite, "startmsg")
    os.mkdir(prog.bank_path)  # a folder where the bank should be: nothing to read
    with prog:
        box = prog.wait_window(message_title(), START_TIMEOUT, "the no-bank message")
        check_centred(prog, box, SCREEN, "the no-bank message")
        prog.keys(box, "Return")
        prog.wait_gone(box)
        win = main_window(prog)
        check_centred(prog, win, SCREEN, "the practice window")
