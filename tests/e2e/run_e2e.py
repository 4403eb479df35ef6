#!/usr/bin/env python3
"""End-to-end checks of the built program in a real X session.

Every case copies the executable (and the modules beside it) into a fresh
folder with its own bank file and settings, starts it on a private Xvfb
display under a window manager (openbox), drives it with real key and mouse
events (xdotool, XTEST underneath) and looks at what a user would see
afterwards: the bank file's bytes, the stored settings, window titles, the
window manager's stacking order and active window, the pixels of the window,
and the requests that reach a local stand-in for the online services.

Usage: run_e2e.py --exe build/app/lorvanta [--case NAME ...] [--keep]
The display is the first free one of LORVANTA_E2E_DISPLAYS (default 75-79).
"""

import argparse
import configparser
import ctypes
import glob
import http.server
import math
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
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

# The private display; wide enough for the practice window at 1500 px.
SCREEN = (0, 0, 1600, 900)

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
    """A private Xvfb with a window manager (openbox) when one is installed:
    stacking, activation and frames behave as on a desktop."""

    def __init__(self, candidates):
        self.proc = None
        self.display = None
        self.wm = None
        self._wm_dir = None
        for n in candidates:
            if os.path.exists(f"/tmp/.X{n}-lock") or os.path.exists(f"/tmp/.X11-unix/X{n}"):
                continue
            proc = subprocess.Popen(
                ["Xvfb", f":{n}", "-screen", "0", f"{SCREEN[2]}x{SCREEN[3]}x24", "-nolisten", "tcp", "-noreset"],
                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            deadline = time.monotonic() + 10
            while time.monotonic() < deadline:
                if proc.poll() is not None:
                    break  # taken meanwhile: try the next number
                if os.path.exists(f"/tmp/.X11-unix/X{n}") and self._answers(n):
                    self.proc, self.display = proc, f":{n}"
                    self._start_wm()
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

    def _start_wm(self):
        if shutil.which("openbox") is None:
            return
        # Debian's configuration without its key bindings: a key the window
        # manager grabs (Alt+Space, Alt+Tab, ...) never reaches any program,
        # and the cases press keys with every modifier.
        self._wm_dir = tempfile.mkdtemp(prefix="lorvanta-e2e-wm-")
        args = ["openbox", "--sm-disable"]
        try:
            with open("/etc/xdg/openbox/rc.xml", encoding="utf-8") as f:
                rc = f.read()
            rc = re.sub(r"<keyboard>.*?</keyboard>", "<keyboard></keyboard>", rc, flags=re.S)
            path = os.path.join(self._wm_dir, "rc.xml")
            with open(path, "w", encoding="utf-8") as f:
                f.write(rc)
            args += ["--config-file", path]
        except OSError:
            pass
        env = dict(os.environ, DISPLAY=self.display, HOME=self._wm_dir,
                   XDG_CONFIG_HOME=self._wm_dir, XDG_CACHE_HOME=self._wm_dir)
        self.wm = subprocess.Popen(args, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline:
            r = subprocess.run(["xprop", "-display", self.display, "-root", "_NET_SUPPORTING_WM_CHECK"],
                               capture_output=True, text=True)
            if "window id" in r.stdout:
                return
            if self.wm.poll() is not None:
                break
            time.sleep(0.05)
        raise RuntimeError("openbox did not start on " + self.display)

    def stop(self):
        if self.wm:
            stop_process(self.wm)
        if self.proc:
            stop_process(self.proc)
        if self._wm_dir:
            shutil.rmtree(self._wm_dir, ignore_errors=True)


# ---------------------------------------------------------------- local services

def silent_wav(seconds=0.05, rate=8000):
    import struct
    pcm = b"\0\0" * int(seconds * rate)
    return (b"RIFF" + struct.pack("<I", 36 + len(pcm)) + b"WAVEfmt " +
            struct.pack("<IHHIIHH", 16, 1, 1, rate, 2 * rate, 2, 16) + b"data" +
            struct.pack("<I", len(pcm)) + pcm)


class LocalServices:
    """A stand-in for the speech service and the dictionary on 127.0.0.1:
    answers by path and records every request, so a case can count what the
    program asked for (each read-aloud, each stroke-order look-up)."""

    def __init__(self, dictionary_page=b"<html><body>no stroke order here</body></html>"):
        self.dictionary_page = dictionary_page
        self.requests = []
        self._lock = threading.Lock()
        outer = self

        class Handler(http.server.BaseHTTPRequestHandler):
            def do_GET(self):
                with outer._lock:
                    outer.requests.append(self.path)
                if self.path.startswith("/tts/"):
                    body, kind = silent_wav(), "audio/wav"
                elif self.path.startswith("/zici/"):
                    body, kind = outer.dictionary_page, "text/html; charset=utf-8"
                else:
                    self.send_error(404)
                    return
                self.send_response(200)
                self.send_header("Content-Type", kind)
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                self.wfile.write(body)

            def log_message(self, *args):
                pass

        self.server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self.server.daemon_threads = True
        self.thread = threading.Thread(target=self.server.serve_forever, daemon=True)
        self.thread.start()

    @property
    def base(self):
        return f"http://127.0.0.1:{self.server.server_address[1]}"

    def settings(self):
        """The [services] section pointing the program here."""
        return f"[services]\ntts={self.base}/tts/\ndictionary={self.base}\n"

    def count(self, prefix):
        with self._lock:
            return sum(1 for p in self.requests if p.startswith(prefix))

    def paths(self, prefix=""):
        with self._lock:
            return [p for p in self.requests if p.startswith(prefix)]

    def wait_count(self, prefix, n, timeout=STEP_TIMEOUT):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if self.count(prefix) >= n:
                return
            time.sleep(0.03)
        raise CaseFailure(f"{self.count(prefix)} requests to {prefix} within {timeout:.0f} s, expected {n}")

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.server.shutdown()
        self.server.server_close()
        return False


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

    def __init__(self, suite, name, bank=None, settings=None, env=None):
        self.suite = suite
        self.display = suite.xserver.display
        self.wm = suite.xserver.wm is not None
        self.root = tempfile.mkdtemp(prefix=f"lorvanta-e2e-{name}-")
        # bin/ inside the case folder: a portable copy keeps its bank and its
        # modules (web view, audio engine) beside it.
        self.bindir = os.path.join(self.root, "bin")
        os.makedirs(self.bindir)
        self.exe = os.path.join(self.bindir, "lorvanta")
        shutil.copy2(suite.exe, self.exe)
        for module in glob.glob(os.path.join(os.path.dirname(suite.exe), "lorvanta_*.so")):
            shutil.copy2(module, self.bindir)
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
        # Changes for one case; None removes a variable.
        for k, v in (env or {}).items():
            if v is None:
                self.env.pop(k, None)
            else:
                self.env[k] = v
        self.log_path = os.path.join(self.root, "log.txt")
        self.proc = None

    def __enter__(self):
        self.log = open(self.log_path, "wb")
        self.proc = subprocess.Popen([self.exe], cwd=self.root, env=self.env,
                                     stdout=self.log, stderr=subprocess.STDOUT)
        return self

    def __exit__(self, *exc):
        if exc[0] is not None and self.proc.poll() is None:
            # What the screen showed when the case failed.
            shot = os.path.join(tempfile.gettempdir(), f"lorvanta-e2e-failed-{os.path.basename(self.root)}.png")
            subprocess.run(["import", "-window", "root", shot], env=self.env, capture_output=True)
            print("    screen at the failure: " + shot)
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

    def wait_window(self, title_regex, timeout=STEP_TIMEOUT, what=None, settle=True):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            check(self.proc.poll() is None,
                  f"the program ended (code {self.proc.returncode}) while waiting for {what or title_regex}")
            found = self.windows(title_regex)
            if found:
                time.sleep(0.3)  # let the first paint finish
                if self.wm and settle:
                    self._settle(found[-1])
                return found[-1]
            time.sleep(0.1)
        raise CaseFailure(f"no window {what or title_regex!r} appeared within {timeout:.0f} s")

    def _settle(self, window, timeout=3.0):
        # A new window is framed by the window manager and then centred by
        # the program, frame included: clicks wait until it stands still.
        deadline = time.monotonic() + timeout
        last = None
        while time.monotonic() < deadline:
            try:
                now = self.frame(window)
            except CaseFailure:
                return
            if now == last and "_NET_FRAME_EXTENTS(" in self._xprop(["-id", str(window), "_NET_FRAME_EXTENTS"]):
                return
            last = now
            time.sleep(0.1)

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
        """Client area on the screen: x, y, width, height. (xdotool's own
        position is wrong under a reparenting window manager.)"""
        r = subprocess.run(["xwininfo", "-id", str(window)], env=self.env, capture_output=True, text=True)
        check(r.returncode == 0, f"window {window} is gone")
        g = {}
        for line in r.stdout.splitlines():
            key, _, value = line.strip().partition(":")
            g[key] = value.strip()
        return (int(g["Absolute upper-left X"]), int(g["Absolute upper-left Y"]),
                int(g["Width"]), int(g["Height"]))

    def frame(self, window):
        """The window's frame on the screen, title bar included: x, y, width, height."""
        x, y, w, h = self.geometry(window)
        out = self._xprop(["-id", str(window), "_NET_FRAME_EXTENTS"])
        m = re.search(r"=\s*(\d+),\s*(\d+),\s*(\d+),\s*(\d+)", out)
        left, right, top, bottom = map(int, m.groups()) if m else (0, 0, 0, 0)
        return x - left, y - top, w + left + right, h + top + bottom

    def _xprop(self, args):
        r = subprocess.run(["xprop", *args], env=self.env, capture_output=True, text=True)
        return r.stdout

    def active_window(self):
        m = re.search(r"window id # (0x[0-9a-f]+)", self._xprop(["-root", "_NET_ACTIVE_WINDOW"]))
        return int(m.group(1), 16) if m else None

    def stacking(self):
        """Managed windows from bottom to top, as the window manager stacks them."""
        out = self._xprop(["-root", "_NET_CLIENT_LIST_STACKING"])
        return [int(w, 16) for w in re.findall(r"0x[0-9a-f]+", out)]

    def transient_for(self, window):
        m = re.search(r"window id # (0x[0-9a-f]+)", self._xprop(["-id", str(window), "WM_TRANSIENT_FOR"]))
        return int(m.group(1), 16) if m else None

    def wait_active(self, window, timeout=STEP_TIMEOUT):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if self.active_window() == window:
                return
            time.sleep(0.05)
        raise CaseFailure(f"window {window} ({self.title(window)!r}) never became the active window; "
                          f"active: {self.active_window()}")

    def focus(self, window):
        if self.wm:
            # As a taskbar would: ask the window manager to activate it.
            if self.active_window() != window:
                self.xdo("windowactivate", window)
                self.wait_active(window)
                time.sleep(0.1)
            return
        # No window manager: give the window the X input focus directly.
        self.xdo("windowfocus", "--sync", window)
        time.sleep(0.1)

    def resize(self, window, width, height):
        self.xdo("windowsize", window, width, height)
        deadline = time.monotonic() + STEP_TIMEOUT
        while time.monotonic() < deadline:
            if self.geometry(window)[2:] == (width, height):
                time.sleep(0.3)  # the layout and the repaint follow the resize
                return
            time.sleep(0.05)
        raise CaseFailure(f"window {window} did not take the size {width}x{height}")

    def click(self, window, x, y, repeat=1):
        self.xdo("mousemove", "--window", window, x, y, "click", "--repeat", repeat, "--delay", 60, "1")
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

    def no_window(self, title_regex, seconds, what):
        """Fails when a window of this title shows up within the time."""
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            check(not self.windows(title_regex), f"{what} appeared")
            time.sleep(0.05)

    def crop(self, window, x, y, w, h):
        """The pixels of a rectangle of the window, as bytes to compare."""
        pic = self.screenshot(window)
        return b"".join(pic.rgb[3 * (row * pic.width + x):3 * (row * pic.width + x + w)]
                        for row in range(y, y + h))

    def wait_crop(self, window, rect, predicate, what, timeout=STEP_TIMEOUT):
        deadline = time.monotonic() + timeout
        while True:
            got = self.crop(window, *rect)
            if predicate(got):
                return got
            if time.monotonic() > deadline:
                raise CaseFailure(f"{what} (looked at {rect} of the window for {timeout:.0f} s)")
            time.sleep(0.1)

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


# ---------------------------------------------------------------- window places
# The practice window's controls in pixels, from the design's twips and the
# resize layout (15 twips a pixel; centring halves round to even first).

def px(twips):
    return int(math.copysign(math.floor(abs(twips) / 15 + 0.5), twips))


def half(x):
    return int(round(x) / 2)


class Places:
    """Rectangles (x, y, w, h) of the controls at a client size."""

    BUTTONS = {"cmdSet": (0, 1815), "cmdBefore": (2040, 1575), "cmdAfter": (3600, 1575),
               "Command2": (5400, 1575), "Command1": (7080, 1575)}

    def __init__(self, width, height):
        self.width, self.height = width, height
        bar_top = height * 15 - 495 - 300
        self.bar = (px(half(width * 15 - 8775)), px(bar_top))
        self.image3 = (px(half(width * 15 - 210)), px(bar_top - 250), 14, 11)
        self.check2 = (416, 6, 65, 20)
        self.check1 = (280, 6, 129, 20)
        self.text2 = (200, 4, 41, 25)
        self.label2_point = (37 + 40, 8 + 7)
        self.bofang_point = (8 + 12, 4 + 12)
        # The two links are sized by their font; these points lie inside them
        # for any face of the design size.
        self.about_point = (width - 9 - 10, 6 + 9)
        self.shuoming_point = (width - 75, 6 + 9)
        self.card_point = (20, 60)
        self.item_point = (width // 2, (height * 15 - 495) // 30)

    def button(self, name):
        left, width = self.BUTTONS[name]
        return (self.bar[0] + px(left), self.bar[1], px(width), 33)

    def counter(self):
        """The inside of the bank button, where its caption counts the items."""
        x, y, w, h = self.button("cmdSet")
        return (x + 4, y + 4, w - 8, h - 8)

    @staticmethod
    def centre(rect):
        return (rect[0] + rect[2] // 2, rect[1] + rect[3] // 2)


def main_window(prog):
    return prog.wait_window("^" + re.escape(MAIN_TITLE) + "$", START_TIMEOUT, "practice window")


def message_title():
    return "^" + re.escape(MESSAGE_TITLE) + "$"


def check_centred(prog, window, area, what, tolerance=3):
    fx, fy, fw, fh = prog.frame(window)
    cx, cy = fx + fw / 2, fy + fh / 2
    ax, ay, aw, ah = area
    check(abs(cx - (ax + aw / 2)) <= tolerance and abs(cy - (ay + ah / 2)) <= tolerance,
          f"{what}: frame ({fx},{fy}) {fw}x{fh}, centred at ({cx},{cy}); expected the centre of {area}")



# ---------------------------------------------------------------- keys and clicks

def case_keys(suite):
    """Each key of the table, alone and with Shift, Ctrl and Alt, acts once per
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


CASES = [
    ("first_start", case_first_start),
    ("settings", case_settings),
    ("delete", case_delete),
    ("layout", case_layout),
    ("editor", case_editor),
    ("drop", case_drop),
    ("start_message", case_start_message),
    ("keys", case_keys),
    ("clicks", case_clicks),
    ("autoplay", case_autoplay),
    ("windows", case_windows),
    ("webview_as_root", case_webview_as_root),
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


def run_cases(suite, cases):
    """Runs (name, function(suite)) pairs one after another, reporting each;
    returns the names of those that failed."""
    failed = []
    print(f"display {suite.xserver.display}, {len(cases)} cases")
    for name, fn in cases:
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
    return failed


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--exe", required=True)
    ap.add_argument("--title", required=True, help="the practice window's caption")
    ap.add_argument("--case", action="append", help="run only these cases")
    ap.add_argument("--keep", action="store_true", help="keep the case folders")
    args = ap.parse_args()
    global MAIN_TITLE
    MAIN_TITLE = args.title
    for tool in ("Xvfb", "openbox", "xdotool", "xprop", "xwininfo", "import", "xdpyinfo"):
        if shutil.which(tool) is None:
            print(f"missing tool: {tool} (scripts/setup.sh installs it); skipped")
            return 77
    exe = os.path.abspath(args.exe)
    selected = [c for c in CASES if not args.case or c[0] in args.case]

    started = time.monotonic()
    xserver = XServer(display_candidates())
    # A terminated run must not leave the X server behind.
    signal.signal(signal.SIGTERM, lambda *a: (_ for _ in ()).throw(KeyboardInterrupt()))
    try:
        suite = Suite(exe, xserver, args.keep)
        failed = run_cases(suite, selected)
    finally:
        xserver.stop()
    print(f"{len(selected) - len(failed)} of {len(selected)} cases passed in "
          f"{time.monotonic() - started:.1f} s" + (f"; failed: {', '.join(failed)}" if failed else ""))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
