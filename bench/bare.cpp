// The comparison for the start-up figure: a bare Qt Widgets program that
// paints one 150 pt Kai glyph once and quits. Links Qt Widgets only.
// With "--keys N" it stays and switches the glyph on each arrow key, for the
// key-to-paint step. With "--stay" it stays at rest, and with "--cover" it
// stays maximised over the other windows; both print "ready" once painted.
#include "bench/keystep.h"

#include <QApplication>
#include <QFont>
#include <QKeyEvent>
#include <QLabel>
#include <QTimer>

#include <cstdio>

namespace {
class PaintOnce : public QLabel
{
public:
    using QLabel::QLabel;
    bool quitAfterPaint = true;
    bool reportPaint = false;

protected:
    void paintEvent(QPaintEvent *event) override
    {
        QLabel::paintEvent(event);
        if (!m_done && quitAfterPaint) {
            m_done = true;
            QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
        }
        if (!m_done && reportPaint) {
            m_done = true;
            std::printf("ready\n");
            std::fflush(stdout);
        }
    }
    void keyPressEvent(QKeyEvent *event) override
    {
        if (event->key() == Qt::Key_Right || event->key() == Qt::Key_Left)
            setText(text() == QStringLiteral("天") ? QStringLiteral("地") : QStringLiteral("天"));
        QLabel::keyPressEvent(event);
    }

private:
    bool m_done = false;
};
} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QFont::insertSubstitutions(QStringLiteral("楷体"), {QStringLiteral("AR PL UKai CN")});
    PaintOnce label(QStringLiteral("天"));
    QFont font(QStringLiteral("楷体"));
    font.setPointSizeF(150);
    label.setFont(font);
    label.resize(830, 513);
    label.setAlignment(Qt::AlignCenter);
    const int steps = keystep::requestedSteps(argc, argv);
    const bool stay = argc > 1 && qstrcmp(argv[1], "--stay") == 0;
    const bool cover = argc > 1 && qstrcmp(argv[1], "--cover") == 0;
    label.quitAfterPaint = steps == 0 && !stay && !cover;
    label.reportPaint = stay || cover;
    std::unique_ptr<keystep::Stepper> stepper;
    if (steps)
        stepper = std::make_unique<keystep::Stepper>(&label, steps);
    if (cover)
        label.showMaximized();
    else
        label.show();
    return app.exec();
}
