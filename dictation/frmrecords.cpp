#include "dictation/frmdictation.h"

#include "dictation/dictationfiles.h"
#include "progress/frmprogress.h"
#include "rules/dictation.h"
#include "widgets/ui.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace dictationwindow {

void showRecords(QWidget *owner, const QString &bankText)
{
    QString why;
    const std::optional<keptfile::Text> text
        = keptfile::read(dictationfiles::recordPath(), keptfile::Kind::Record, &why);
    const bool readable = text.has_value();
    const QList<dictation::Record> records = dictation::lastRecords(text ? text->text : QString(), 100);
    QDialog box(owner);
    box.setWindowTitle(QStringLiteral("听写记录"));
    box.setFont(ui::designFont(QStringLiteral("宋体"), 10.5));
    auto *layout = new QVBoxLayout(&box);
    auto *summary = new QLabel;
    summary->setWordWrap(true);
    layout->addWidget(summary);
    if (!readable) {
        summary->setText(why);
    } else if (records.isEmpty()) {
        summary->setText(QStringLiteral("还没有听写记录。听写完、对过答案以后，每次的成绩都记在这里。"));
    } else {
        summary->setText(QStringLiteral("最近 %1 次听写，最新的在最上面：").arg(records.size()));
        auto *list = new QTreeWidget;
        list->setRootIsDecorated(false);
        list->setHeaderLabels({QStringLiteral("日期"), QStringLiteral("共"), QStringLiteral("对"),
                               QStringLiteral("错"), QStringLiteral("写错的")});
        for (const dictation::Record &r : records) {
            auto *row
                = new QTreeWidgetItem({r.when.toString(QStringLiteral("yyyy-MM-dd HH:mm")),
                                       QString::number(r.total), QString::number(r.right()),
                                       QString::number(r.wrong.size()), r.wrong.join(QLatin1Char(' '))});
            for (int c = 1; c <= 3; ++c)
                row->setTextAlignment(c, Qt::AlignCenter);
            if (!r.wrong.isEmpty())
                row->setForeground(3, QColor(192, 0, 0));
            list->addTopLevelItem(row);
        }
        for (int c = 0; c < 4; ++c)
            list->header()->setSectionResizeMode(c, QHeaderView::ResizeToContents);
        layout->addWidget(list, 1);
    }
    auto *progress = new QPushButton(QStringLiteral("学习记录…"));
    progress->setObjectName(QStringLiteral("cmdProgress"));
    QObject::connect(progress, &QPushButton::clicked, &box,
                     [&box, bankText] { progresswindow::open(&box, bankText); });
    auto *close = new QPushButton(QStringLiteral("关闭"));
    QObject::connect(close, &QPushButton::clicked, &box, &QDialog::accept);
    auto *row = new QHBoxLayout;
    row->addWidget(progress);
    row->addStretch(1);
    row->addWidget(close);
    layout->addLayout(row);
    box.resize(560, 380);
    if (owner)
        ui::centreOnOwnerOnFirstShow(&box, owner);
    box.exec();
}
} // namespace dictationwindow
