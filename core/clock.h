// The program's clock: the system's, unless a test has set it to a moment
// of its own (then it stands still there).
#pragma once

#include <QDate>
#include <QDateTime>

class Clock
{
public:
    // Local date and time.
    static QDateTime now();
    static QDate today() { return now().date(); }
    // Stops the clock at `moment`; an invalid moment gives the system's clock back.
    static void setMoment(const QDateTime &moment);
};
