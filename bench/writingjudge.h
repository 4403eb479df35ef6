// The judge interface of the writing benchmark:
//
//   lorvanta-bench-writing --judge FILE
//
// FILE: {"strictness": "normal", "attempts": [{"char": "天", "strokes":
// [[[x, y], ...], ...]}]}, points on the stroke data's grid in drawing order.
// Prints one line per stroke, {"attempt": 0, "stroke": 0, "accepted": true,
// "reasons": ["笔顺不对"]}: stroke k judged as the first try at stroke k of
// the character after strokes 0..k-1 of the attempt were taken, the way the
// writing window judges it. A bad file: a message and exit status 2.
#pragma once

#include "rules/strokecheck.h"

#include <QByteArray>
#include <QList>
#include <QPointF>
#include <QString>
#include <QStringList>

#include <optional>

namespace writingjudge {

struct Attempt {
    QString character;
    QList<QList<QPointF>> strokes;
};

struct Input {
    strokecheck::Strictness strictness = strokecheck::Strictness::Normal;
    QList<Attempt> attempts;
};

struct Line {
    int attempt = 0;
    int stroke = 0;
    bool accepted = false;
    QStringList reasons;
};

// Nothing, and what is wrong in *error, for a file that is not such a list.
std::optional<Input> parse(const QByteArray &json, QString *error);
QByteArray toJson(const Input &input);
// Every stroke of every attempt, judged in this process.
QList<Line> judge(const Input &input);
QByteArray lineText(const Line &line);
std::optional<Line> parseLine(const QByteArray &text);

// The --judge command: 0 when judged, 2 for a bad or unreadable file.
int run(const QString &path);

} // namespace writingjudge
