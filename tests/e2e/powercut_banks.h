// The two banks the power-cut writer alternates between: large enough that a
// write takes a while, different in length and content so that any mix or
// cut-off shows.
#pragma once

#include <QString>

namespace powercut {
inline QString bankA()
{
    QString s;
    for (int i = 0; i < 60000; ++i)
        s += QStringLiteral("天地人 ");
    return s + QStringLiteral("终");
}

inline QString bankB()
{
    QString s;
    for (int i = 0; i < 45000; ++i)
        s += QStringLiteral("mā ɡǚ zh ");
    return s + QStringLiteral("end");
}
} // namespace powercut
