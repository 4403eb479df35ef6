// 学习记录: what a parent reads of the pupil's progress, for this week, this
// month or all the time: each dictation's share right as a chart, the items
// most often wrong, how much of the bank has been dictated, and the writing
// practice per day.
#pragma once

#include <QString>

class QDialog;
class QWidget;

namespace progresswindow {

// Opens the window modally over `owner`; `bankText` is the bank whose items
// count as dictated or not.
void open(QWidget *owner, const QString &bankText);

// The window itself, not yet shown; the caller shows and deletes it.
QDialog *create(QWidget *owner, const QString &bankText);

} // namespace progresswindow
