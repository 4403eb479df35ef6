"""The viewer, the instructions and the About window above their owner, the
viewer's animation resting while it cannot be seen, and the web view started
as root.

Run by run_e2e.py (--case NAME); the machinery is in e2e_support.py.
"""

import glob
import os
import subprocess
import time

import e2e_support as support
from e2e_support import (
    LocalServices, Places, Program, SCREEN, check, check_centred, gbk, main_window,
)


def case_windows(suite):
    """The viewer, the instructions and the About window stay above their
    owner when the owner is clicked (the window manager's stacking order),
    the instructions window opened from About stays above About, and V with
    the viewer open gives the viewer the keyboard."""
    with LocalServices() as services, \
            Program(suite, "windows", bank=gbk("天 地"), settings=services.settings()) as prog:
        win = main_window(prog)
        places = Places(830, 513)
        # The card's left edge: a part of the practice window that none of the
        # (larger, centred) secondary windows covers. The click reads the item.
        empty = (12, 200)

        def above(top, below, what):
            time.sleep(0.3)
            order = prog.stacking()
            check(top in order and below in order and order.index(top) > order.index(below),
                  f"{what}: stacking {order}, expected {top} above {below}")
            check(prog.transient_for(top) == below, f"{what}: WM_TRANSIENT_FOR is {prog.transient_for(top)}")

        prog.keys(win, "v")
        viewer = prog.wait_window("^播放笔顺$", what="the stroke-order viewer")
        prog.wait_active(viewer)
        prog.click(win, *empty)
        prog.wait_active(win)
        above(viewer, win, "viewer after a click on the practice window")

        # Open already: V shows the next character and the viewer takes the keyboard.
        prog.keys(win, "Right")
        n = services.count("/zici/")
        prog.keys(win, "v")
        services.wait_count("/zici/", n + 1)
        check(services.paths("/zici/")[-1].endswith("wd=%E5%9C%B0"), f"looked up {services.paths('/zici/')[-1]}")
        prog.wait_active(viewer)
        # Typed straight away: the box's text was selected, so b replaces 地.
        prog.xdo("key", "b", "Return")
        services.wait_count("/zici/", n + 2)
        check(services.paths("/zici/")[-1].endswith("wd=b"), f"typed look-up {services.paths('/zici/')[-1]}")
        prog.close(viewer)
        prog.wait_gone(viewer)

        prog.click(win, *places.shuoming_point)
        help_window = prog.wait_window("^使用说明$", what="the instructions window")
        prog.click(win, *empty)
        prog.wait_active(win)
        above(help_window, win, "instructions after a click on the practice window")
        prog.close(help_window)
        prog.wait_gone(help_window)

        prog.click(win, *places.about_point)
        about = prog.wait_window("^关于$", what="the About window")
        check_centred(prog, about, prog.frame(win), "About on the practice window")
        prog.click(win, *empty)
        prog.wait_active(win)
        above(about, win, "About after a click on the practice window")
        prog.click(about, 240 + 20, 8 + 5)  # 【使用说明】 at (3600, 120) twips
        help_window = prog.wait_window("^使用说明$", what="the instructions window from About")
        check_centred(prog, help_window, SCREEN, "instructions on the screen")
        # About lies wholly under the instructions: brought forward as a
        # taskbar would, it still stays beneath them.
        prog.focus(about)
        above(help_window, about, "instructions after activating About")


def case_viewer_rests(suite):
    """The stroke-order viewer's offline animation runs in view, rests while
    the viewer is minimised, wholly covered by another window or on another
    desktop (the program then wakes no more often than with the practice
    window alone) and goes on when the viewer can be seen again."""
    with Program(suite, "viewerrest", bank=gbk("天")) as prog:
        win = main_window(prog)
        time.sleep(1.0)
        alone = prog.wakeups(2.0)
        prog.keys(win, "v")
        viewer = prog.wait_window("^播放笔顺$", what="the stroke-order viewer")
        _, _, w, h = prog.geometry(viewer)
        view = (support.px(45) + 2, support.px(720) + 2, w - 2 * support.px(45) - 4, h - support.px(810) - 4)

        def animating(what):
            first = prog.crop(viewer, *view)
            prog.wait_crop(viewer, view, lambda got: got != first, f"the strokes did not move {what}", 4.0)

        def resting(what):
            time.sleep(0.5)
            woken = prog.wakeups(2.0)
            check(woken <= alone + 10, f"{what}: woken {woken} times in 2 s, the practice window alone {alone}")

        animating("in view")
        prog.xdo("windowminimize", viewer)
        prog.wait_map_state(viewer, "IsUnMapped")
        resting("minimised")
        prog.focus(viewer)  # as a taskbar restores it
        prog.wait_map_state(viewer, "IsViewable")
        animating("after the viewer was restored")

        # Another program's window over the whole screen.
        cover = subprocess.Popen(["xmessage", "-geometry", f"{SCREEN[2]}x{SCREEN[3]}+0+0", "cover"],
                                 env=prog.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            deadline = time.monotonic() + 10
            while prog.active_window() in (viewer, win, None) and time.monotonic() < deadline:
                time.sleep(0.05)
            resting("covered")
        finally:
            support.stop_process(cover)
        animating("once uncovered")

        # The window manager unmaps the windows of the desktops not shown.
        prog.xdo("set_desktop", 1)
        prog.wait_map_state(viewer, "IsUnMapped")
        resting("on another desktop")
        prog.xdo("set_desktop", 0)
        prog.wait_map_state(viewer, "IsViewable")
        animating("back on its desktop")


def case_webview_as_root(suite):
    """Run as root without the browser engine's sandbox switched off, with a
    dictionary whose page names an animation: V shows the offline animation
    and the program keeps running; closing it saves the settings."""
    if os.geteuid() != 0:
        suite.note("webview_as_root: not root, nothing to check")
        return
    if not glob.glob(os.path.join(os.path.dirname(suite.exe), "lorvanta_webview.so")):
        suite.note("webview_as_root: no web view module in this build")
        return
    page = b'<html><body><img id="word_bishun" class="bishun" data-gif="/gif/tian.gif" src="s.png"></body></html>'
    env = {"QTWEBENGINE_DISABLE_SANDBOX": None, "QTWEBENGINE_CHROMIUM_FLAGS": None}
    with LocalServices(page) as services, \
            Program(suite, "webroot", bank=gbk("天"), settings=services.settings(), env=env) as prog:
        win = main_window(prog)
        prog.keys(win, "v")
        services.wait_count("/zici/", 1)
        viewer = prog.wait_window("^播放笔顺$", what="the stroke-order viewer")
        time.sleep(1.5)  # the animation draws its first strokes
        check(prog.proc.poll() is None, f"the program ended (code {prog.proc.returncode})")
        check(services.count("/gif/") == 0, "the web view loaded the animation as root")
        pic = prog.screenshot(viewer)
        dark = sum(1 for yy in range(60, pic.height - 10, 3) for xx in range(10, pic.width - 10, 3)
                   if sum(pic.at(xx, yy)) < 200)
        check(dark > 100, f"the viewer shows no strokes ({dark} dark samples)")
        prog.close(win)
        check(prog.wait_exit() == 0, "exit code after closing")
        check(prog.settings().get("jiange") == "5", "the settings were not saved")
