// The comparison for the start-up figure: a bare Qt Widgets program that
// paints one 150 pt Kai glyph once and quits. Links Qt Widgets only.
#include <QApplication>
#include <QFont>
#include <QLabel>
#include <QTimer>

#include <cstdio>

namespace {
class PaintOnce : public QLabel
{
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent *event) override
    {
        QLabel::paintEvent(event);
        if (!m_done) {
            m_done = true;
            QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
        }
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
    label.show();
    return app.exec();
}
