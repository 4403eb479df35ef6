// The 学习记录 window's chart lives in a module of its own, loaded the first
// time the window opens: Qt Charts is megabytes that most runs of the
// program never need. Without the module the window lists only the numbers.
#pragma once

#include "core/modules.h"

#include <QDateTime>
#include <QList>
#include <QPair>
#include <QString>
#include <QtPlugin>

class QWidget;

class ProgressChartFactory
{
public:
    virtual ~ProgressChartFactory() = default;
    using Points = QList<QPair<QDateTime, double>>;
    // A chart of each dictation's share right over time: one point per
    // dictation, x its moment, y the percent right (0 to 100), in the
    // parent's font. Its "points" property holds how many points it shows.
    virtual QWidget *createShareChart(QWidget *parent, const Points &points, const QString &title) = 0;
    // Shows these points instead (another period was chosen).
    virtual void setPoints(QWidget *chart, const Points &points) = 0;
};

Q_DECLARE_INTERFACE(ProgressChartFactory, ProgressChartFactory_iid)
