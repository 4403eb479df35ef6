"""The machinery of the end-to-end checks: a private X server under a window
manager, local stand-ins for the online services, a copy of the program in
a folder of its own driven with xdotool, pictures of its windows, dropping
files on a window, and the runner that reports each case.

run_e2e.py is the runner of the cases in cases_*.py; it re-exports every
name here, so the other *_e2e.py files use them through `import run_e2e`.
"""

import configparser
import ctypes
import glob
import http.server
import math
import os
import pwd
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
# What PulseAudio prints when Qt 6.4's engine races its main loop at exit.
PULSE_EXIT_RACE = "Assertion 'm->io_events_please_scan == 0' failed at"
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
    program asked for (each read-aloud, each stroke-order look-up). `files`
    adds answers: {path prefix: (body, content type)}, e.g. an animation the
    dictionary page names."""

    def __init__(self, dictionary_page=b"<html><body>no stroke order here</body></html>", files=None):
        self.dictionary_page = dictionary_page
        self.files = dict(files or {})
        self.requests = []
        self._lock = threading.Lock()
        outer = self

        class Handler(http.server.BaseHTTPRequestHandler):
            def do_GET(self):
                with outer._lock:
                    outer.requests.append(self.path)
                extra = [a for prefix, a in outer.files.items() if self.path.startswith(prefix)]
                if extra:
                    body, kind = extra[0]
                elif self.path.startswith("/tts/"):
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


def _send_client_message(display, window, message_type, data, to_root=False):
    xlib = ctypes.CDLL("libX11.so.6")
    xlib.XOpenDisplay.restype = ctypes.c_void_p
    xlib.XOpenDisplay.argtypes = [ctypes.c_char_p]
    xlib.XInternAtom.restype = ctypes.c_ulong
    xlib.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    xlib.XDefaultRootWindow.restype = ctypes.c_ulong
    xlib.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
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
        ev.xclient.message_type = xlib.XInternAtom(dpy, message_type, 0)
        ev.xclient.format = 32
        for i, d in enumerate(data):
            ev.xclient.data[i] = xlib.XInternAtom(dpy, d, 0) if isinstance(d, bytes) else d
        # A request to the window manager goes to the root window.
        target, mask = (xlib.XDefaultRootWindow(dpy), (1 << 19) | (1 << 20)) if to_root else (window, 0)
        xlib.XSendEvent(dpy, target, 0, mask, ctypes.byref(ev))
        xlib.XFlush(dpy)
    finally:
        xlib.XCloseDisplay(dpy)


def send_delete_window(display, window):
    """What a window manager sends when the user clicks the close box:
    a WM_PROTOCOLS client message carrying WM_DELETE_WINDOW. Qt answers it
    with a close event, so closeEvent runs as it would on a desktop."""
    _send_client_message(display, window, b"WM_PROTOCOLS", [b"WM_DELETE_WINDOW", 0])


def send_maximise(display, window):
    """What the maximise button asks of the window manager."""
    _send_client_message(display, window, b"_NET_WM_STATE",
                         [1, b"_NET_WM_STATE_MAXIMIZED_VERT", b"_NET_WM_STATE_MAXIMIZED_HORZ", 1], to_root=True)


def save_png(pic, path):
    """A Picture as a PNG file, to look at."""
    subprocess.run(["convert", "ppm:-", path], input=b"P6 %d %d 255\n" % (pic.width, pic.height) + pic.rgb,
                   check=True)


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

    def __init__(self, suite, name, bank=None, settings=None, env=None, user=None):
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
            # No session bus, the same on every machine: Qt's accessibility
            # bridge then finds none whether the machine runs one or not.
            "DBUS_SESSION_BUS_ADDRESS": "unix:path=" + os.path.join(self.root, "no-session-bus"),
        })
        # Changes for one case; None removes a variable.
        for k, v in (env or {}).items():
            if v is None:
                self.env.pop(k, None)
            else:
                self.env[k] = v
        self.log_path = os.path.join(self.root, "log.txt")
        self.proc = None
        # Run as root, `user` ("nobody") runs the copy as an ordinary user of
        # its own, its folder handed over; run as anyone else, as that user.
        self.uid = os.geteuid()
        self.command = [self.exe]
        if user is not None and self.uid == 0:
            self.uid = pwd.getpwnam(user).pw_uid
            self.command = ["setpriv", f"--reuid={self.uid}", f"--regid={pwd.getpwnam(user).pw_gid}",
                            "--clear-groups", "--", self.exe]

    def as_owner(self):
        """Hands the case folder to the user the copy runs as (after the files are laid out)."""
        if self.uid != os.geteuid():
            for top, dirs, files in os.walk(self.root):
                for name in [top] + [os.path.join(top, n) for n in dirs + files]:
                    os.lchown(name, self.uid, self.uid)

    def __enter__(self):
        self.as_owner()
        self.log = open(self.log_path, "wb")
        self.proc = subprocess.Popen(self.command, cwd=self.root, env=self.env,
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

    def map_state(self, window):
        """IsViewable, IsUnMapped or IsUnviewable, as the X server has it."""
        r = subprocess.run(["xwininfo", "-id", str(window)], env=self.env, capture_output=True, text=True)
        m = re.search(r"Map State:\s*(\w+)", r.stdout)
        return m.group(1) if m else None

    def wait_map_state(self, window, state, timeout=STEP_TIMEOUT):
        deadline = time.monotonic() + timeout
        while self.map_state(window) != state:
            check(time.monotonic() < deadline, f"window {window} never became {state}")
            time.sleep(0.05)

    def wakeups(self, seconds):
        """How often the program's threads were woken or put aside (context
        switches, voluntary or not) within the given time: what it costs
        while nothing is meant to change on the screen."""
        def count():
            total = 0
            for status in glob.glob(f"/proc/{self.proc.pid}/task/*/status"):
                try:
                    with open(status) as f:
                        for line in f:
                            if line.startswith(("voluntary_ctxt_switches", "nonvoluntary_ctxt_switches")):
                                total += int(line.split()[1])
                except OSError:
                    pass  # a thread that ended meanwhile
            return total
        before = count()
        time.sleep(seconds)
        return count() - before

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

    def check_exit_after_sound(self, what):
        """The exit code of a run that played sound: 0, or the one abort
        that Qt 6.4's PulseAudio engine can cause at process exit. It
        disconnects from the sound server without its main loop's lock (later
        Qt versions take it), and now and then, mostly under the sanitizers,
        PulseAudio's own check aborts the process after the program has saved
        and closed everything. That abort is kept as a note; any other fails."""
        rc = self.wait_exit()
        if rc == -signal.SIGABRT:
            with open(self.log_path, "rb") as f:
                log = f.read().decode("utf-8", "replace")
            if PULSE_EXIT_RACE in log and log.count("Assertion") == 1:
                self.suite.note(f"{what}: PulseAudio's main-loop check aborted the exit, after all was saved "
                               "(Qt 6.4's engine disconnects without the loop's lock)")
                return
        check(rc == 0, f"exit code {rc} {what}")

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


X_TOOLS = ("Xvfb", "openbox", "xdotool", "xprop", "xwininfo", "import", "xdpyinfo")


def suite_main(cases, tools=X_TOOLS, skip_reason=None):
    """The command line of every real-X suite: --exe, --title, --case,
    --keep. Returns 77 (skipped) when a tool is missing or skip_reason()
    gives a reason, 1 when a case failed, 0 otherwise."""
    import argparse
    ap = argparse.ArgumentParser()
    ap.add_argument("--exe", required=True)
    ap.add_argument("--title", required=True, help="the practice window's caption")
    ap.add_argument("--case", action="append", choices=[c[0] for c in cases], help="run only these cases")
    ap.add_argument("--keep", action="store_true", help="keep the case folders")
    args = ap.parse_args()
    global MAIN_TITLE
    MAIN_TITLE = args.title
    for tool in tools:
        if shutil.which(tool) is None:
            print(f"missing tool: {tool} (scripts/setup.sh installs it); skipped")
            return 77
    reason = skip_reason() if skip_reason else None
    if reason:
        print(f"{reason}; skipped")
        return 77
    selected = [c for c in cases if not args.case or c[0] in args.case]
    started = time.monotonic()
    xserver = XServer(display_candidates())
    # A terminated run must not leave the X server behind.
    signal.signal(signal.SIGTERM, lambda *a: (_ for _ in ()).throw(KeyboardInterrupt()))
    try:
        suite = Suite(os.path.abspath(args.exe), xserver, args.keep)
        failed = run_cases(suite, selected)
    finally:
        xserver.stop()
    print(f"{len(selected) - len(failed)} of {len(selected)} cases passed in "
          f"{time.monotonic() - started:.1f} s" + (f"; failed: {', '.join(failed)}" if failed else ""))
    return 1 if failed else 0
