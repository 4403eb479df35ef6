// The About picture's drop, tick by tick, at the window's design sizes.
#include "rules/aboutanimation.h"
#include "tests/support/testsupport.h"

#include <QCoreApplication>

using aboutanimation::State;

namespace {
constexpr float SH = 2400;
constexpr float H = 555;

State designStart()
{
    State s;
    s.top = 120;
    s.restart = 120;
    s.interval = 300;
    s.enabled = true;
    return s;
}
} // namespace

class AboutAnimation : public QObject
{
    Q_OBJECT
private slots:
    void fullDrop()
    {
        State s = designStart();
        QList<int> bounceTicks;
        QList<float> restarts;
        int ticks = 0;
        while (s.enabled && ticks < 1000) {
            const float before = s.restart;
            s = aboutanimation::step(SH, H, s);
            ++ticks;
            // A bounce moves the restart height and puts the picture there.
            if (s.restart != before) {
                bounceTicks << ticks;
                restarts << s.top;
                QCOMPARE(QString::number(s.restart), QString::number(s.top));
            }
        }
        QCOMPARE(ticks, 70);
        QCOMPARE(bounceTicks, (QList<int> {13, 25, 35, 44, 52, 58, 63, 67, 69}));
        QCOMPARE(restarts, (QList<float> {320, 520, 720, 920, 1120, 1320, 1520, 1720, 1920}));
        QCOMPARE(s.top, 1815.0f);
        QCOMPARE(s.interval, 285);
        QCOMPARE(s.restart, 1920.0f);
    }

    void intervalShrinksAndIsNotResetAtABounce()
    {
        State s = designStart();
        QList<int> intervals {s.interval};
        for (int i = 0; i < 8; ++i) {
            s = aboutanimation::step(SH, H, s);
            intervals << s.interval;
        }
        QCOMPARE(intervals, (QList<int> {300, 285, 271, 257, 244, 232, 220, 209, 199}));

        // Up to the first bounce (tick 13) and one past it.
        for (int i = 8; i < 12; ++i)
            s = aboutanimation::step(SH, H, s);
        const int beforeBounce = s.interval;
        s = aboutanimation::step(SH, H, s); // tick 13: the bounce itself keeps the interval
        QCOMPARE(s.top, 320.0f);
        QCOMPARE(s.interval, beforeBounce);
        s = aboutanimation::step(SH, H, s);
        QCOMPARE(s.interval, int(std::nearbyint(beforeBounce * 0.95)));
    }

    void halvesRoundToEven()
    {
        // 250 × 0.95 = 237.5 gives 238 (even); 230 × 0.95 = 218.5 gives 218.
        State s = designStart();
        s.interval = 250;
        QCOMPARE(aboutanimation::step(SH, H, s).interval, 238);
        s.interval = 230;
        QCOMPARE(aboutanimation::step(SH, H, s).interval, 218);
    }

    void clickAtRestStopsAtOnceInTheSamePlace()
    {
        State s;
        s.top = 1815;
        s.restart = 1920;
        s.interval = 285;
        s.enabled = true;
        s = aboutanimation::step(SH, H, s);
        QVERIFY(!s.enabled);
        QCOMPARE(s.top, 1815.0f);
        QCOMPARE(s.interval, 285);
        QCOMPARE(s.restart, 1920.0f);
    }

    void pictureTallerThanWindowStopsAtOnce()
    {
        // A restart height already past the bottom: the first tick stops the
        // timer, and the picture is not left falling for ever.
        State s;
        s.top = 120;
        s.restart = 120;
        s.interval = 300;
        s.enabled = true;
        s = aboutanimation::step(500, 555, s);
        QVERIFY(!s.enabled);
        QCOMPARE(s.top, 500.0f - 555 - 180 + 150);
    }
};

LORVANTA_TEST_MAIN(AboutAnimation, QCoreApplication)
#include "help_aboutanimation.moc"
