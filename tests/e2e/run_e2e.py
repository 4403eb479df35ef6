#!/usr/bin/env python3
"""End-to-end checks of the built program in a real X session.

Every case copies the executable into a fresh folder with its own bank file
and settings, starts it on a private Xvfb display, drives it with real key
and mouse events (xdotool, XTEST underneath) and looks at what a user would
see afterwards: the bank file's bytes, the stored settings, window titles and
the pixels of the window.

Usage: run_e2e.py --exe build/app/lorvanta [--case NAME ...] [--keep]
The display is the first free one of LORVANTA_E2E_DISPLAYS (default 75-79).
"""

import argparse
import configparser
import ctypes
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import traceback

BANK_NAME = "配置文件.txt"
# The practice window's caption; the build passes it (--title) from the project version.
MAIN_TITLE = None
EDITOR_TITLE = "管理我的生字库"
MESSAGE_TITLE = "Lorvanta"
DEFAULT_BANK = "ā á ǎ à ō ó ǒ ò ē é ě è ī í ǐ ì ū ú ǔ ù ǖ ǘ ǚ ǜ"
CARD = (204, 237, 199)
BANK_BUTTON = (255, 224, 192)
DELETE_BUTTON = (255, 192, 192)

# Generous limits: a cold start with fonts and the first paint may take a few
# seconds on a loaded machine; nothing here measures speed.
START_TIMEOUT = 30.0
STEP_TIMEOUT = 15.0


def stop_process(proc):
    """Ends a process we started, politely first, and waits for it."""
    if proc.poll() is None:
        proc.terminate()
        try:
            proc.wait(5)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()

class CaseFailure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise CaseFailure(message)


def gbk(text):
    return text.encode("gb18030") + b"\r\n"


# ---------------------------------------------------------------- X server

class XServer:
    """A private Xvfb; no window manager."""

    def __init__(self, candidates):
        self.proc = None
        self.display = None
        for n in candidates:
            if os.path.exists(f"/tmp/.X{n}-lock") or os.path.exists(f"/tmp/.X11-unix/X{n}"):
                continue
            proc = subprocess.Popen(
                ["Xvfb", f":{n}", "-screen", "0", "1280x800x24", "-nolisten", "tcp", "-noreset"],
                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            deadline = time.monotonic() + 10
            while time.monotonic() < deadline:
                if proc.poll() is not None:
                    break  # taken meanwhile: try the next number
                if os.path.exists(f"/tmp/.X11-unix/X{n}") and self._answers(n):
                    self.proc, self.display = proc, f":{n}"
                    return
                time.sleep(0.05)
            if proc.poll() is None:
                proc.kill()
                proc.wait()
        raise RuntimeError(f"no free X display among {candidates}")

    @staticmethod
    def _answers(n):
        r = subprocess.run(["xdpyinfo", "-display", f":{n}"], stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL)
        return r.returncode == 0

    def stop(self):
        if self.proc:
            stop_process(self.proc)


# ---------------------------------------------------------------- Xlib bits

class _XClientMessageEvent(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong),
                ("message_type", ctypes.c_ulong), ("format", ctypes.c_int),
                ("data", ctypes.c_long * 5)]


class _XEvent(ctypes.Union):
    _fields_ = [("xclient", _XClientMessageEvent), ("pad", ctypes.c_long * 24)]


def send_delete_window(display, window):
    """What a window manager sends when the user clicks the close box:
    a WM_PROTOCOLS client message carrying WM_DELETE_WINDOW. Qt answers it
    with a close event, so closeEvent runs as it would on a desktop."""
    xlib = ctypes.CDLL("libX11.so.6")
    xlib.XOpenDisplay.restype = ctypes.c_void_p
    xlib.XOpenDisplay.argtypes = [ctypes.c_char_p]
    xlib.XInternAtom.restype = ctypes.c_ulong
    xlib.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    xlib.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                                ctypes.POINTER(_XEvent)]
    xlib.XFlush.argtypes = [ctypes.c_void_p]
    xlib.XCloseDisplay.argtypes = [ctypes.c_void_p]
    dpy = xlib.XOpenDisplay(display.encode())
    if not dpy:
        raise RuntimeError("cannot open " + display)
    try:
        ev = _XEvent()
        ev.xclient.type = 33  # ClientMessage
        ev.xclient.window = window
        ev.xclient.message_type = xlib.XInternAtom(dpy, b"WM_PROTOCOLS", 0)
        ev.xclient.format = 32
        ev.xclient.data[0] = xlib.XInternAtom(dpy, b"WM_DELETE_WINDOW", 0)
        ev.xclient.data[1] = 0  # CurrentTime
        xlib.XSendEvent(dpy, window, 0, 0, ctypes.byref(ev))
        xlib.XFlush(dpy)
    finally:
        xlib.XCloseDisplay(dpy)


class _XSelectionRequestEvent(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("owner", ctypes.c_ulong), ("requestor", ctypes.c_ulong),
                ("selection", ctypes.c_ulong), ("target", ctypes.c_ulong), ("property", ctypes.c_ulong),
                ("time", ctypes.c_ulong)]


class _XSelectionEvent(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("requestor", ctypes.c_ulong), ("selection", ctypes.c_ulong),
                ("target", ctypes.c_ulong), ("property", ctypes.c_ulong), ("time", ctypes.c_ulong)]


class _XAnyEvent(ctypes.Union):
    _fields_ = [("type", ctypes.c_int), ("xclient", _XClientMessageEvent),
                ("xselectionrequest", _XSelectionRequestEvent), ("xselection", _XSelectionEvent),
                ("pad", ctypes.c_long * 24)]


def drop_files(display, target, root_x, root_y, paths, timeout=STEP_TIMEOUT):
    """Drops files on a window the way a file manager does, speaking the
    XDND protocol (version 5) from a window of our own: enter, position,
    drop, then hand the file list over as text/uri-list when the target asks
    for the selection. xdotool cannot do this. Returns whether the target
    accepted the drop."""
    from urllib.parse import quote
    payload = "".join("file://" + quote(os.path.abspath(p)) + "\r\n" for p in paths).encode()
    xlib = ctypes.CDLL("libX11.so.6")
    xlib.XOpenDisplay.restype = ctypes.c_void_p
    xlib.XOpenDisplay.argtypes = [ctypes.c_char_p]
    xlib.XDefaultRootWindow.restype = ctypes.c_ulong
    xlib.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
    xlib.XCreateSimpleWindow.restype = ctypes.c_ulong
    xlib.XCreateSimpleWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong] + [ctypes.c_int] * 2 + \
        [ctypes.c_uint] * 3 + [ctypes.c_ulong] * 2
    xlib.XInternAtom.restype = ctypes.c_ulong
    xlib.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    xlib.XSetSelectionOwner.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_ulong]
    xlib.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                                ctypes.c_void_p]
    xlib.XChangeProperty.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_ulong,
                                     ctypes.c_int, ctypes.c_int, ctypes.c_char_p, ctypes.c_int]
    xlib.XPending.argtypes = [ctypes.c_void_p]
    xlib.XNextEvent.argtypes = [ctypes.c_void_p, ctypes.c_void_p]
    xlib.XFlush.argtypes = [ctypes.c_void_p]
    xlib.XDestroyWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
    xlib.XCloseDisplay.argtypes = [ctypes.c_void_p]

    dpy = xlib.XOpenDisplay(display.encode())
    if not dpy:
        raise RuntimeError("cannot open " + display)
    atom = lambda name: xlib.XInternAtom(dpy, name.encode(), 0)
    try:
        source = xlib.XCreateSimpleWindow(dpy, xlib.XDefaultRootWindow(dpy), 0, 0, 1, 1, 0, 0, 0)
        uri_list, selection = atom("text/uri-list"), atom("XdndSelection")
        xlib.XSetSelectionOwner(dpy, selection, source, 0)

        def send(kind, *data):
            ev = _XAnyEvent()
            ev.xclient.type = 33
            ev.xclient.window = target
            ev.xclient.message_type = atom(kind)
            ev.xclient.format = 32
            for i, v in enumerate(data):
                ev.xclient.data[i] = v
            xlib.XSendEvent(dpy, target, 0, 0, ctypes.byref(ev))
            xlib.XFlush(dpy)

        def wait_for(kind):
            # Serves selection requests meanwhile; returns the client message's data.
            want = atom(kind)
            deadline = time.monotonic() + timeout
            while time.monotonic() < deadline:
                if not xlib.XPending(dpy):
                    time.sleep(0.02)
                    continue
                ev = _XAnyEvent()
                xlib.XNextEvent(dpy, ctypes.byref(ev))
                if ev.type == 33 and ev.xclient.message_type == want:
                    return list(ev.xclient.data)
                if ev.type == 30:  # SelectionRequest
                    req = ev.xselectionrequest
                    reply = _XAnyEvent()
                    reply.xselection.type = 31  # SelectionNotify
                    reply.xselection.requestor = req.requestor
                    reply.xselection.selection = req.selection
                    reply.xselection.target = req.target
                    reply.xselection.time = req.time
                    reply.xselection.property = 0
                    if req.target == uri_list:
                        prop = req.property or req.target
                        xlib.XChangeProperty(dpy, req.requestor, prop, uri_list, 8, 0, payload,
                                             len(payload))
                        reply.xselection.property = prop
                    elif req.target == atom("TARGETS"):
                        prop = req.property or req.target
                        targets = (ctypes.c_ulong * 2)(atom("TARGETS"), uri_list)
                        xlib.XChangeProperty(dpy, req.requestor, prop, atom("ATOM"), 32, 0,
                                             ctypes.cast(targets, ctypes.c_char_p), 2)
                        reply.xselection.property = prop
                    xlib.XSendEvent(dpy, req.requestor, 0, 0, ctypes.byref(reply))
                    xlib.XFlush(dpy)
            raise CaseFailure(f"no {kind} from the drop target within {timeout:.0f} s")

        send("XdndEnter", source, 5 << 24, uri_list, 0, 0)
        send("XdndPosition", source, 0, (root_x << 16) | root_y, 0, atom("XdndActionCopy"))
        status = wait_for("XdndStatus")
        if not status[1] & 1:
            send("XdndLeave", source, 0, 0, 0, 0)
            return False
        send("XdndDrop", source, 0, 0, 0, 0)
        finished = wait_for("XdndFinished")
        xlib.XDestroyWindow(dpy, source)
        return bool(finished[1] & 1)
    finally:
        xlib.XCloseDisplay(dpy)


# ---------------------------------------------------------------- pictures

class Picture:
    def __init__(self, width, height, rgb):
        self.width, self.height, self.rgb = width, height, rgb

    def at(self, x, y):
        i = 3 * (y * self.width + x)
        return tuple(self.rgb[i:i + 3])

    def box_of(self, colour, area=None):
        """Bounding box (left, top, right, bottom inclusive) and count of the
        pixels of exactly this colour, within area (same form) if given."""
        x0, y0, x1, y1 = area or (0, 0, self.width - 1, self.height - 1)
        r, g, b = colour
        left = top = 1 << 30
        right = bottom = -1
        count = 0
        rgb = self.rgb
        for y in range(y0, y1 + 1):
            row = 3 * y * self.width
            for x in range(x0, x1 + 1):
                i = row + 3 * x
                if rgb[i] == r and rgb[i + 1] == g and rgb[i + 2] == b:
                    count += 1
                    left, right = min(left, x), max(right, x)
                    top, bottom = min(top, y), max(bottom, y)
        return (left, top, right, bottom), count

    def box_not_of(self, colour, area):
        x0, y0, x1, y1 = area
        left = top = 1 << 30
        right = bottom = -1
        count = 0
        want = bytes(colour)
        rgb = self.rgb
        for y in range(y0, y1 + 1):
            row = 3 * y * self.width
            for x in range(x0, x1 + 1):
                i = row + 3 * x
                if rgb[i:i + 3] != want:
                    count += 1
                    left, right = min(left, x), max(right, x)
                    top, bottom = min(top, y), max(bottom, y)
        return (left, top, right, bottom), count


def parse_ppm(data):
    # P6 <w> <h> <max>\n<bytes>; the header may carry comments.
    fields = []
    pos = 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b"#":
            pos = data.index(b"\n", pos) + 1
            continue
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[pos:end])
        pos = end
    pos += 1
    check(fields[0] == b"P6" and fields[3] == b"255", "unexpected screenshot format")
    w, h = int(fields[1]), int(fields[2])
    return Picture(w, h, data[pos:pos + 3 * w * h])


# ---------------------------------------------------------------- the program

class Program:
    """One copy of the program in its own folder, running on the display."""

    def __init__(self, suite, name, bank=None, settings=None):
        self.suite = suite
        self.display = suite.xserver.display
        self.root = tempfile.mkdtemp(prefix=f"lorvanta-e2e-{name}-")
        # bin/ inside the case folder: a portable copy keeps its bank beside it.
        self.bindir = os.path.join(self.root, "bin")
        os.makedirs(self.bindir)
        self.exe = os.path.join(self.bindir, "lorvanta")
        shutil.copy2(suite.exe, self.exe)
        self.bank_path = os.path.join(self.bindir, BANK_NAME)
        if bank is not None:
            with open(self.bank_path, "wb") as f:
                f.write(bank)
        self.config = os.path.join(self.root, "config")
        self.settings_path = os.path.join(self.config, "LORVANTA", "LORVANTA.conf")
        if settings is not None:
            os.makedirs(os.path.dirname(self.settings_path))
            with open(self.settings_path, "w", encoding="utf-8") as f:
                f.write(settings)
        runtime = os.path.join(self.root, "runtime")
        os.makedirs(runtime, mode=0o700)
        os.makedirs(os.path.join(self.root, "data"))
        self.env = dict(os.environ)
        for k in ("QT_QPA_PLATFORM", "WAYLAND_DISPLAY", "XAUTHORITY", "SESSION_MANAGER"):
            self.env.pop(k, None)
        self.env.update({
            "DISPLAY": self.display,
            "QT_QPA_PLATFORM": "xcb",
            "HOME": self.root,
            "XDG_CONFIG_HOME": self.config,
            "XDG_DATA_HOME": os.path.join(self.root, "data"),
            "XDG_RUNTIME_DIR": runtime,
            "XDG_CACHE_HOME": os.path.join(self.root, "cache"),
            "LC_ALL": "C.UTF-8",
            "QTWEBENGINE_DISABLE_SANDBOX": "1",
        })
        self.log_path = os.path.join(self.root, "log.txt")
        self.proc = None

    def __enter__(self):
        self.log = open(self.log_path, "wb")
        self.proc = subprocess.Popen([self.exe], cwd=self.root, env=self.env,
                                     stdout=self.log, stderr=subprocess.STDOUT)
        return self

    def __exit__(self, *exc):
        stop_process(self.proc)
        self.log.close()
        if exc[0] is not None or self.suite.keep:
            with open(self.log_path, "rb") as f:
                out = f.read().decode("utf-8", "replace").strip()
            if out:
                print("    program output:\n      " + out.replace("\n", "\n      ")[-3000:])
        if self.suite.keep:
            print("    kept " + self.root)
        else:
            shutil.rmtree(self.root, ignore_errors=True)
        return False

    # ---- X helpers

    def xdo(self, *args, check_rc=True):
        r = subprocess.run(["xdotool", *map(str, args)], env=self.env, capture_output=True,
                           text=True)
        if check_rc and r.returncode != 0:
            raise CaseFailure(f"xdotool {' '.join(map(str, args))}: {r.stderr.strip()}")
        return r.stdout

    def windows(self, title_regex):
        # Titles are matched here: xdotool's own --name matching does not
        # handle Chinese patterns (it matched every window).
        out = self.xdo("search", "--onlyvisible", "--pid", self.proc.pid, check_rc=False)
        found = []
        for w in out.split():
            r = subprocess.run(["xdotool", "getwindowname", w], env=self.env,
                               capture_output=True)
            if r.returncode == 0 and re.search(title_regex, r.stdout.decode("utf-8", "replace").rstrip("\n")):
                found.append(int(w))
        return found

    def wait_window(self, title_regex, timeout=STEP_TIMEOUT, what=None):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            check(self.proc.poll() is None,
                  f"the program ended (code {self.proc.returncode}) while waiting for {what or title_regex}")
            found = self.windows(title_regex)
            if found:
                time.sleep(0.3)  # let the first paint finish
                return found[-1]
            time.sleep(0.1)
        raise CaseFailure(f"no window {what or title_regex!r} appeared within {timeout:.0f} s")

    def wait_gone(self, window, timeout=STEP_TIMEOUT):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if window not in self.windows("."):
                return
            time.sleep(0.1)
        raise CaseFailure(f"window {window} did not close")

    def title(self, window):
        r = subprocess.run(["xdotool", "getwindowname", str(window)], env=self.env, capture_output=True)
        check(r.returncode == 0, f"window {window} is gone")
        return r.stdout.decode("utf-8", "replace").rstrip("\n")

    def wait_title(self, window, predicate, what, timeout=STEP_TIMEOUT):
        deadline = time.monotonic() + timeout
        t = None
        while time.monotonic() < deadline:
            t = self.title(window)
            if predicate(t):
                return t
            time.sleep(0.1)
        raise CaseFailure(f"title never became {what}; last {t!r}")

    def geometry(self, window):
        out = self.xdo("getwindowgeometry", "--shell", window)
        g = dict(line.split("=", 1) for line in out.split())
        return int(g["X"]), int(g["Y"]), int(g["WIDTH"]), int(g["HEIGHT"])

    def focus(self, window):
        # No window manager: give the window the X input focus directly.
        self.xdo("windowfocus", "--sync", window)
        time.sleep(0.1)

    def click(self, window, x, y):
        self.xdo("mousemove", "--window", window, x, y, "click", "1")
        time.sleep(0.15)

    def keys(self, window, *names):
        self.focus(window)
        self.xdo("key", "--clearmodifiers", "--delay", "60", *names)
        time.sleep(0.2)

    def screenshot(self, window):
        r = subprocess.run(["import", "-window", str(window), "-depth", "8", "ppm:-"], env=self.env,
                           capture_output=True)
        check(r.returncode == 0, "screenshot failed: " + r.stderr.decode(errors="replace"))
        return parse_ppm(r.stdout)

    def close(self, window):
        send_delete_window(self.display, window)

    def wait_exit(self, timeout=STEP_TIMEOUT):
        try:
            return self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            raise CaseFailure(f"the program did not end within {timeout:.0f} s of closing its window")

    def answer_message(self, key, expect=None):
        box = self.wait_window("^" + re.escape(MESSAGE_TITLE) + "$", what="message box")
        self.keys(box, key)
        self.wait_gone(box)

    # ---- files

    def bank_bytes(self):
        with open(self.bank_path, "rb") as f:
            return f.read()

    def settings(self):
        p = configparser.ConfigParser(interpolation=None)
        p.optionxform = str
        check(os.path.exists(self.settings_path), "no settings file was written")
        p.read(self.settings_path, encoding="utf-8")
        check(p.has_section("main"), "the settings have no [main] section")
        return {k: p.get("main", k) for k in ("jiange", "dalu", "langdu") if p.has_option("main", k)}


def expect_bank(prog, text, when):
    got = prog.bank_bytes()
    want = gbk(text)
    check(got == want, f"bank after {when}: {got!r} (\"{got.decode('gb18030', 'replace')}\"), "
                       f"expected {want!r} (\"{text}\")")


# ---------------------------------------------------------------- cases
# Design sizes in pixels at 96 dpi (twips / 15).

def case_first_start(suite):
    """No bank, no settings: the toned vowels are written, the caption is the
    program's title, and closing the window stores the first-run settings."""
    with Program(suite, "first") as prog:
        win = prog.wait_window("^" + re.escape(MAIN_TITLE) + "$", START_TIMEOUT, "practice window")
        check(prog.title(win) == MAIN_TITLE, f"caption {prog.title(win)!r}")
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
        win = prog.wait_window("^" + re.escape(MAIN_TITLE) + "$", START_TIMEOUT, "practice window")
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
        win = prog.wait_window("^" + re.escape(MAIN_TITLE) + "$", START_TIMEOUT, "practice window")
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
        win = prog.wait_window("^" + re.escape(MAIN_TITLE) + "$", START_TIMEOUT, "practice window")
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


def case_editor(suite):
    """A bank edited key by key in the editor: 清空, m a 3 space n i 1 3, two presets,
    保存并关闭; the practice window reports the change and the file holds the result."""
    with Program(suite, "editor", bank=gbk("人 口 手")) as prog:
        win = prog.wait_window("^" + re.escape(MAIN_TITLE) + "$", START_TIMEOUT, "practice window")
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
        win = prog.wait_window("^" + re.escape(MAIN_TITLE) + "$", START_TIMEOUT, "practice window")
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


CASES = [
    ("first_start", case_first_start),
    ("settings", case_settings),
    ("delete", case_delete),
    ("layout", case_layout),
    ("editor", case_editor),
    ("drop", case_drop),
]


class Suite:
    def __init__(self, exe, xserver, keep):
        self.exe, self.xserver, self.keep = exe, xserver, keep
        self.notes = []

    def note(self, text):
        self.notes.append(text)


def display_candidates():
    wanted = os.environ.get("LORVANTA_E2E_DISPLAYS", "75-79")
    out = []
    for part in wanted.split(","):
        a, _, b = part.partition("-")
        out.extend(range(int(a), int(b or a) + 1))
    return out


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--exe", required=True)
    ap.add_argument("--title", required=True, help="the practice window's caption")
    ap.add_argument("--case", action="append", help="run only these cases")
    ap.add_argument("--keep", action="store_true", help="keep the case folders")
    args = ap.parse_args()
    global MAIN_TITLE
    MAIN_TITLE = args.title
    for tool in ("Xvfb", "xdotool", "import", "xdpyinfo"):
        if shutil.which(tool) is None:
            print(f"missing tool: {tool} (scripts/setup.sh installs it); skipped")
            return 77
    exe = os.path.abspath(args.exe)
    selected = [c for c in CASES if not args.case or c[0] in args.case]

    started = time.monotonic()
    xserver = XServer(display_candidates())
    # A terminated run must not leave the X server behind.
    signal.signal(signal.SIGTERM, lambda *a: (_ for _ in ()).throw(KeyboardInterrupt()))
    failed = []
    try:
        suite = Suite(exe, xserver, args.keep)
        print(f"display {xserver.display}, {len(selected)} cases")
        for name, fn in selected:
            t0 = time.monotonic()
            try:
                fn(suite)
                print(f"PASS {name} ({time.monotonic() - t0:.1f} s)")
            except CaseFailure as e:
                failed.append(name)
                print(f"FAIL {name} ({time.monotonic() - t0:.1f} s): {e}")
            except Exception:
                failed.append(name)
                print(f"ERROR {name}:")
                traceback.print_exc(file=sys.stdout)
            sys.stdout.flush()
        for n in suite.notes:
            print("note: " + n)
    finally:
        xserver.stop()
    print(f"{len(selected) - len(failed)} of {len(selected)} cases passed in "
          f"{time.monotonic() - started:.1f} s" + (f"; failed: {', '.join(failed)}" if failed else ""))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
