// The program's own start-up path, for the start-up figure: the same
// set-up as main() and startProgram(), the first item painted once, then quit.
// With "--keys N" it stays for N arrow keys pressed through the X server.
#include "app/startup.h"
#include "bench/keystep.h"
#include "practice/frmmain.h"

#include <QApplication>
#include <QTimer>

namespace {
class QuitAfterFirstPaint : public QObject
{
public:
    using QObject::QObject;
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && !m_done) {
            m_done = true;
            QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool m_done = false;
};
} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    prepareApplication(app);
    QuitAfterFirstPaint watcher;
    frmMain *w = startProgram();
    const int steps = keystep::requestedSteps(argc, argv);
    std::unique_ptr<keystep::Stepper> stepper;
    if (steps)
        stepper = std::make_unique<keystep::Stepper>(w->lblChar, steps);
    else
        w->lblChar->installEventFilter(&watcher);
    return app.exec();
}
