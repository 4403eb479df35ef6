#include "bench/writingjudge.h"

#include "core/strokedata.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

namespace writingjudge {
namespace {

const char *const kStrictnessWords[] = {"loose", "normal", "strict"};
constexpr qint64 kMaxFileBytes = 512LL * 1024 * 1024;

std::optional<QList<strokecheck::StrokeShape>> modelOf(const QString &character)
{
    const auto codePoint = StrokeData::singleCodePoint(character);
    const auto glyph = codePoint ? StrokeData::bundled().find(*codePoint) : std::nullopt;
    if (!glyph)
        return std::nullopt;
    QList<strokecheck::StrokeShape> shapes;
    for (qsizetype i = 0; i < glyph->medians.size(); ++i)
        shapes.append({glyph->medians[i], glyph->outlines[i].toFillPolygon().toList()});
    return shapes;
}

std::optional<QList<QPointF>> pointsOf(const QJsonValue &value)
{
    if (!value.isArray())
        return std::nullopt;
    QList<QPointF> points;
    for (const QJsonValue &p : value.toArray()) {
        const QJsonArray xy = p.toArray();
        if (!p.isArray() || xy.size() != 2 || !xy[0].isDouble() || !xy[1].isDouble())
            return std::nullopt;
        points.append(QPointF(xy[0].toDouble(), xy[1].toDouble()));
    }
    return points;
}

std::optional<Attempt> attemptOf(const QJsonValue &value, int index, QString *error)
{
    const QJsonObject o = value.toObject();
    Attempt a;
    a.character = o.value(QLatin1String("char")).toString();
    const auto model = modelOf(a.character);
    if (!model) {
        *error = QStringLiteral("attempt %1: \"char\" is not one character of the stroke data").arg(index);
        return std::nullopt;
    }
    const QJsonValue strokes = o.value(QLatin1String("strokes"));
    if (!strokes.isArray()) {
        *error = QStringLiteral("attempt %1: \"strokes\" is not a list").arg(index);
        return std::nullopt;
    }
    for (const QJsonValue &s : strokes.toArray()) {
        const auto points = pointsOf(s);
        if (!points) {
            *error = QStringLiteral("attempt %1, stroke %2: not a list of [x, y] numbers")
                         .arg(index)
                         .arg(a.strokes.size());
            return std::nullopt;
        }
        a.strokes.append(*points);
    }
    if (a.strokes.size() > model->size()) {
        *error = QStringLiteral("attempt %1: %2 strokes, %3 has %4")
                     .arg(index)
                     .arg(a.strokes.size())
                     .arg(a.character)
                     .arg(model->size());
        return std::nullopt;
    }
    return a;
}

void appendPoints(QByteArray &out, const QList<QPointF> &points)
{
    out += '[';
    for (qsizetype i = 0; i < points.size(); ++i) {
        if (i)
            out += ',';
        out += '[' + QByteArray::number(points[i].x(), 'f', 1) + ','
            + QByteArray::number(points[i].y(), 'f', 1) + ']';
    }
    out += ']';
}

} // namespace

std::optional<Input> parse(const QByteArray &json, QString *error)
{
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parseError);
    if (doc.isNull()) {
        *error
            = QStringLiteral("not JSON: %1 at byte %2").arg(parseError.errorString()).arg(parseError.offset);
        return std::nullopt;
    }
    if (!doc.isObject()) {
        *error = QStringLiteral("not a JSON object");
        return std::nullopt;
    }
    const QJsonObject root = doc.object();
    Input input;
    const QString word = root.value(QLatin1String("strictness")).toString();
    const auto *found = std::find(std::begin(kStrictnessWords), std::end(kStrictnessWords), word);
    if (found == std::end(kStrictnessWords)) {
        *error = QStringLiteral("\"strictness\" must be \"loose\", \"normal\" or \"strict\"");
        return std::nullopt;
    }
    input.strictness = strokecheck::Strictness(found - std::begin(kStrictnessWords));
    const QJsonValue attempts = root.value(QLatin1String("attempts"));
    if (!attempts.isArray()) {
        *error = QStringLiteral("\"attempts\" is not a list");
        return std::nullopt;
    }
    for (const QJsonValue &a : attempts.toArray()) {
        auto attempt = attemptOf(a, int(input.attempts.size()), error);
        if (!attempt)
            return std::nullopt;
        input.attempts.append(std::move(*attempt));
    }
    return input;
}

QByteArray toJson(const Input &input)
{
    QByteArray out = QByteArray("{\"strictness\": \"") + kStrictnessWords[int(input.strictness)]
        + "\", \"attempts\": [\n";
    for (qsizetype i = 0; i < input.attempts.size(); ++i) {
        const Attempt &a = input.attempts[i];
        out += "{\"char\": \"" + a.character.toUtf8() + "\", \"strokes\": [";
        for (qsizetype k = 0; k < a.strokes.size(); ++k) {
            if (k)
                out += ',';
            appendPoints(out, a.strokes[k]);
        }
        out += i + 1 < input.attempts.size() ? "]},\n" : "]}\n";
    }
    return out + "]}\n";
}

QList<Line> judge(const Input &input)
{
    QList<Line> lines;
    for (qsizetype i = 0; i < input.attempts.size(); ++i) {
        const Attempt &a = input.attempts[i];
        const QList<strokecheck::StrokeShape> model = *modelOf(a.character);
        for (qsizetype k = 0; k < a.strokes.size(); ++k) {
            const strokecheck::Verdict v = strokecheck::judgeStroke(model, int(k), a.strokes.mid(0, k),
                                                                    a.strokes[k], input.strictness);
            lines.append({int(i), int(k), v.accepted, strokecheck::reasonTexts(v.reasons)});
        }
    }
    return lines;
}

QByteArray lineText(const Line &line)
{
    QByteArray out = "{\"attempt\": " + QByteArray::number(line.attempt)
        + ", \"stroke\": " + QByteArray::number(line.stroke)
        + ", \"accepted\": " + (line.accepted ? "true" : "false") + ", \"reasons\": [";
    for (qsizetype i = 0; i < line.reasons.size(); ++i)
        out += (i ? ", \"" : "\"") + line.reasons[i].toUtf8() + '"';
    return out + "]}";
}

std::optional<Line> parseLine(const QByteArray &text)
{
    const QJsonObject o = QJsonDocument::fromJson(text).object();
    if (!o.value(QLatin1String("accepted")).isBool())
        return std::nullopt;
    Line line;
    line.attempt = o.value(QLatin1String("attempt")).toInt(-1);
    line.stroke = o.value(QLatin1String("stroke")).toInt(-1);
    line.accepted = o.value(QLatin1String("accepted")).toBool();
    for (const QJsonValue &r : o.value(QLatin1String("reasons")).toArray())
        line.reasons.append(r.toString());
    return line;
}

int run(const QString &path)
{
    const QFileInfo info(path);
    QFile file(path);
    // Only a regular file: a FIFO or a device would block or never end.
    if (!info.isFile() || info.size() > kMaxFileBytes || !file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr,
                     "lorvanta-bench-writing: cannot read %s (not a readable regular file of at most "
                     "512 MB)\n",
                     qPrintable(path));
        return 2;
    }
    QString error;
    const auto input = parse(file.read(kMaxFileBytes + 1), &error);
    if (!input) {
        std::fprintf(stderr, "lorvanta-bench-writing: %s: %s\n", qPrintable(path), qPrintable(error));
        return 2;
    }
    for (const Line &line : judge(*input))
        std::printf("%s\n", lineText(line).constData());
    return 0;
}

} // namespace writingjudge
