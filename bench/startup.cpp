// The program's own start-up path, for the start-up figure: the same
// set-up as main() and startProgram(), the first item painted once, then quit.
// With "--keys N" it stays for N arrow keys pressed through the X server.
// With "--viewer STATE" it stays with the stroke-order viewer animating 天,
// in view at its design size ("view"), "maximised" or "minimised", or with
// the viewer "closed", and prints "ready" once it is so.
#include "app/startup.h"
#include "bench/keystep.h"
#include "practice/frmmain.h"
#include "viewer/frmplay.h"
#include "viewer/strokeview.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>

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

const char *requestedViewer(int argc, char **argv)
{
    for (int i = 1; i + 1 < argc; ++i)
        if (qstrcmp(argv[i], "--viewer") == 0)
            return argv[i + 1];
    return nullptr;
}

// "ready", and the length of the animation's round when one is shown.
void ready(double roundMs = 0)
{
    std::printf("ready %.0f\n", roundMs);
    std::fflush(stdout);
}

// Opens the viewer as the practice window's command does, on 天.
void openViewer(frmMain *w, const QByteArray &state)
{
    if (state == "closed") {
        ready();
        return;
    }
    w->Command1_Click();
    frmPlay *viewer = w->viewer();
    viewer->setCharacter(QStringLiteral("天"));
    viewer->Command2_Click();
    if (state == "maximised")
        viewer->showMaximized();
    // Minimised once the window manager has taken it, as a user would.
    if (state == "minimised")
        QTimer::singleShot(800, viewer, [viewer] { viewer->showMinimized(); });
    const double round = state == "minimised" ? 0 : viewer->strokeView()->roundMs();
    QTimer::singleShot(state == "minimised" ? 1600 : 800, qApp, [round] { ready(round); });
}
} // namespace

int main(int argc, char *argv[])
{
    prepareEnvironment();
    QApplication app(argc, argv);
    prepareApplication(app);
    QuitAfterFirstPaint watcher;
    frmMain *w = startProgram();
    const int steps = keystep::requestedSteps(argc, argv);
    std::unique_ptr<keystep::Stepper> stepper;
    if (const char *state = requestedViewer(argc, argv))
        QTimer::singleShot(500, w, [w, state] { openViewer(w, state); });
    else if (steps)
        stepper = std::make_unique<keystep::Stepper>(w->findChild<QLabel *>(QStringLiteral("lblChar")), steps);
    else
        w->findChild<QLabel *>(QStringLiteral("lblChar"))->installEventFilter(&watcher);
    return app.exec();
}
