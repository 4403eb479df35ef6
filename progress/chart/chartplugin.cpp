// The chart module: Qt Charts behind the 学习记录 window's ProgressChartFactory.
#include "progress/progresschart.h"

#include <QChart>
#include <QChartView>
#include <QCategoryAxis>
#include <QLineSeries>
#include <QObject>
#include <QToolTip>
#include <QValueAxis>

#include <algorithm>

namespace {
const char *pointsProperty = "points";

QChart *chartOf(QWidget *widget)
{
    auto *view = qobject_cast<QChartView *>(widget);
    return view ? view->chart() : nullptr;
}

// The dictations stand side by side in the order they were held, so that
// three of one evening are three points, not one; the axis names the day
// where a day's first dictation stands, at most about eight days named.
void fitRunAxis(QCategoryAxis *axis, const ProgressChartFactory::Points &points)
{
    for (const QString &label : axis->categoriesLabels())
        axis->remove(label);
    const qsizetype n = points.size();
    axis->setRange(0.5, std::max<qsizetype>(n, 1) + 0.5);
    if (n == 0)
        return;
    const bool years = points.first().first.date().year() != points.last().first.date().year();
    QList<qsizetype> firsts;
    for (qsizetype i = 0; i < n; ++i)
        if (i == 0 || points.at(i).first.date() != points.at(i - 1).first.date())
            firsts << i;
    const qsizetype step = (firsts.size() + 7) / 8;
    for (qsizetype k = 0; k < firsts.size(); k += step) {
        const QDate day = points.at(firsts.at(k)).first.date();
        axis->append(day.toString(years ? QStringLiteral("yyyy-MM-dd") : QStringLiteral("MM-dd")),
                     double(firsts.at(k) + 1));
    }
}

class ChartFactory : public QObject, public ProgressChartFactory
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID ProgressChartFactory_iid)
    Q_INTERFACES(ProgressChartFactory)
public:
    QWidget *createShareChart(QWidget *parent, const Points &points, const QString &title) override
    {
        auto *chart = new QChart;
        // The picture should be the numbers at once, also when saved right away.
        chart->setAnimationOptions(QChart::NoAnimation);
        chart->legend()->hide();
        chart->setMargins(QMargins(4, 4, 4, 4));

        auto *view = new QChartView(chart, parent);
        view->setRenderHint(QPainter::Antialiasing);
        // Markers moved by another period were left behind by partial
        // updates; the chart is small enough to paint whole.
        view->setViewportUpdateMode(QGraphicsView::FullViewportUpdate);
        // The scene knows no widget fonts: the chart takes the window's.
        const QFont font = view->font();
        QFont titleFont = font;
        titleFont.setBold(true);
        titleFont.setPointSizeF(font.pointSizeF() * 1.15);
        chart->setTitleFont(titleFont);
        chart->setTitle(title);

        auto *series = new QLineSeries;
        series->setPointsVisible(true);
        series->setMarkerSize(7);
        QPen pen(QColor(32, 96, 192));
        pen.setWidthF(2);
        series->setPen(pen);
        chart->addSeries(series);

        auto *time = new QCategoryAxis;
        time->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
        time->setLabelsFont(font);
        chart->addAxis(time, Qt::AlignBottom);
        series->attachAxis(time);

        auto *share = new QValueAxis;
        // Ticks every 20 from 0, in a range a little wider than 0 to 100:
        // points at 0 and 100 are drawn whole.
        share->setRange(-4, 104);
        share->setTickType(QValueAxis::TicksDynamic);
        share->setTickAnchor(0);
        share->setTickInterval(20);
        share->setLabelFormat(QStringLiteral("%d%"));
        share->setLabelsFont(font);
        chart->addAxis(share, Qt::AlignLeft);
        series->attachAxis(share);

        // A point's exact moment and share, when the mouse rests on it.
        QObject::connect(series, &QLineSeries::hovered, view, [view](const QPointF &p, bool over) {
            if (!over) {
                QToolTip::hideText();
                return;
            }
            const QDateTime when = view->property("moments").toList().value(qRound(p.x()) - 1).toDateTime();
            QToolTip::showText(QCursor::pos(),
                               QStringLiteral("%1  %2%").arg(when.toString(QStringLiteral("yyyy-MM-dd HH:mm")))
                                   .arg(qRound(p.y())),
                               view);
        });

        setPoints(view, points);
        return view;
    }

    void setPoints(QWidget *widget, const Points &points) override
    {
        QChart *chart = chartOf(widget);
        if (!chart || chart->series().isEmpty())
            return;
        auto *series = static_cast<QLineSeries *>(chart->series().first());
        QList<QPointF> xy;
        QVariantList moments;
        xy.reserve(points.size());
        for (const auto &[when, percent] : points) {
            xy << QPointF(double(xy.size() + 1), std::clamp(percent, 0.0, 100.0));
            moments << when;
        }
        series->replace(xy);
        widget->setProperty("moments", moments);
        const QList<QAbstractAxis *> axes = chart->axes(Qt::Horizontal);
        if (!axes.isEmpty())
            fitRunAxis(static_cast<QCategoryAxis *>(axes.first()), points);
        widget->setProperty(pointsProperty, int(xy.size()));
    }
};
} // namespace

#include "chartplugin.moc"
