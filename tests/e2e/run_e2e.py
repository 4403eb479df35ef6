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

The machinery is in e2e_support.py and the cases in cases_practice.py,
cases_editor.py and cases_windows.py. Every name of those stays importable
from here, and setting one here (run_e2e.MAIN_TITLE = ...) sets it where the
machinery reads it.
"""

import sys
import types

import e2e_support
from e2e_support import *  # noqa: F401,F403 (re-exported for the other *_e2e.py files)
from e2e_support import _XAnyEvent, _XClientMessageEvent, _XEvent, _XSelectionEvent, _XSelectionRequestEvent  # noqa: F401
from cases_editor import *  # noqa: F401,F403
from cases_practice import *  # noqa: F401,F403
from cases_windows import *  # noqa: F401,F403


# The practice window's caption is read from the machinery, wherever it was set.
del MAIN_TITLE  # noqa: F821


def __getattr__(name):
    return getattr(e2e_support, name)


class _Forwarding(types.ModuleType):
    """Names of the machinery set through this module are set there too."""

    def __setattr__(self, name, value):
        if hasattr(e2e_support, name):
            setattr(e2e_support, name, value)
        if name in self.__dict__ or not hasattr(e2e_support, name):
            super().__setattr__(name, value)


sys.modules[__name__].__class__ = _Forwarding


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
    ("viewer_rests", case_viewer_rests),
    ("webview_as_root", case_webview_as_root),
]


def main():
    return e2e_support.suite_main(CASES)



if __name__ == "__main__":
    sys.exit(main())
