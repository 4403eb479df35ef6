// The stroke-order animation's cost on X, beside the bare window's.
#pragma once

#include <QByteArray>

// CPU time and wake-ups (context switches of all threads, from /proc) of the
// program with the stroke-order viewer animating in view at its design size,
// maximised, minimised, and wholly covered by another window, and with the
// viewer closed, beside the bare window at rest. Each is a process of its own
// on the current display, measured for `seconds` once it is ready; the kinds
// alternate, `runs` times, and the medians are printed.
void animationBench(const QByteArray &program, const QByteArray &bare, int runs, int seconds);
