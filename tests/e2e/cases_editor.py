"""The bank editor: editing key by key and a file dropped on it.

Run by run_e2e.py (--case NAME); the machinery is in e2e_support.py.
"""

import os
import re

import e2e_support as support
from e2e_support import (
    EDITOR_TITLE, Program, START_TIMEOUT, check, drop_files, expect_bank, gbk,
)


def case_editor(suite):
    """A bank edited key by key in the editor: 清空, m a 3 space n i 1 3, two presets,
    保存并关闭; the practice window reports the change and the file holds the result."""
    with Program(suite, "editor", bank=gbk("人 口 手")) as prog:
        win = prog.wait_window("^" + re.escape(support.MAIN_TITLE) + "$", START_TIMEOUT, "practice window")
        # 我的生字库: first button of the bar, (122, 460) px, 121 × 33.
        prog.click(win, 122 + 60, 460 + 16)
        ed = prog.wait_window("^" + re.escape(EDITOR_TITLE), what="editor window")
        prog.wait_title(ed, lambda t: t == "管理我的生字库(当前有3个生字)", "the count of 3")
        prog.focus(ed)
        prog.click(ed, 168 + 40, 56 + 16)      # 清空 (2520, 840) twips
        prog.wait_title(ed, lambda t: t == "管理我的生字库(当前有0个生字)", "the count of 0")
        prog.click(ed, 8 + 200, 96 + 40)       # into the text box (120, 1440)
        prog.keys(ed, "m", "a", "3", "space", "n", "i", "1", "3")
        prog.wait_title(ed, lambda t: t == "管理我的生字库(当前有2个生字)", "the count of 2")
        prog.click(ed, 272 + 32, 56 + 16)      # 单韵母 (4080, 840)
        prog.wait_title(ed, lambda t: t == "管理我的生字库(当前有8个生字)", "the count of 8")
        prog.click(ed, 336 + 32, 56 + 16)      # 声母 (5040, 840)
        prog.wait_title(ed, lambda t: t == "管理我的生字库(当前有31个生字)", "the count of 31")
        prog.click(ed, 8 + 40, 56 + 16)        # 保存并关闭 (120, 840)
        prog.wait_gone(ed)
        prog.answer_message("Return")          # 生字库发生变化，系统自动重新载入
        expect_bank(prog, "mǎ nǐ ɑ o e i u ü b p m f d t n l ɡ k h j q x z c s zh ch sh r y w",
                    "the editor session")


def case_drop(suite):
    """Two files dropped on the editor's box through the window system's
    drag and drop: the last one's text replaces the box, and saving writes it."""
    with Program(suite, "drop", bank=gbk("人 口 手")) as prog:
        first = os.path.join(prog.root, "first.txt")
        second = os.path.join(prog.root, "second list.txt")
        with open(first, "wb") as f:
            f.write(gbk("一 二"))
        with open(second, "wb") as f:
            f.write(gbk("天 地 人 和"))
        win = prog.wait_window("^" + re.escape(support.MAIN_TITLE) + "$", START_TIMEOUT, "practice window")
        prog.click(win, 122 + 60, 460 + 16)
        ed = prog.wait_window("^" + re.escape(EDITOR_TITLE), what="editor window")
        x, y, w, h = prog.geometry(ed)
        # Into the text box: (120, 1440) twips = (8, 96) px in the editor.
        accepted = drop_files(prog.display, ed, x + 8 + 100, y + 96 + 40, [first, second])
        check(accepted, "the editor refused the dropped files")
        prog.wait_title(ed, lambda t: t == "管理我的生字库(当前有4个生字)", "the count of 4")
        prog.click(ed, 8 + 40, 56 + 16)        # 保存并关闭
        prog.wait_gone(ed)
        prog.answer_message("Return")
        expect_bank(prog, "天 地 人 和", "saving the dropped file")
