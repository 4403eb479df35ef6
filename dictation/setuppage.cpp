#include "dictation/setuppage.h"

#include "dictation/dictationrun.h"
#include "rules/deck.h"
#include "widgets/messagebox.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QSpinBox>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {
template <typename T> T *named(QWidget *parent, const char *name)
{
    auto *w = new T(parent);
    w->setObjectName(QLatin1String(name));
    return w;
}

QPushButton *button(QWidget *parent, const char *name, const QString &text)
{
    auto *b = named<QPushButton>(parent, name);
    b->setText(text);
    b->setAutoDefault(false);
    return b;
}

const char *const orderNames[] = {"optBank", "optShuffled", "optFromShown", "optLast", "optPicked"};
} // namespace

DictationSetup::DictationSetup(DictationRun &run, QWidget *parent) : QWidget(parent), m_run(run)
{
    createControls();
    layOut();
    showSettings();
    fillList();
    for (const char *name : orderNames)
        connect(findChild<QRadioButton *>(QLatin1String(name)), &QRadioButton::toggled, this,
                &DictationSetup::readControls);
    for (auto *box : findChildren<QCheckBox *>())
        connect(box, &QCheckBox::toggled, this, &DictationSetup::readControls);
    for (auto *spin : findChildren<QSpinBox *>())
        connect(spin, &QSpinBox::valueChanged, this, &DictationSetup::readControls);
    for (auto *combo : findChildren<QComboBox *>())
        connect(combo, &QComboBox::currentIndexChanged, this, &DictationSetup::readControls);
    auto *list = findChild<QTreeWidget *>(QStringLiteral("lstItems"));
    connect(list, &QTreeWidget::itemChanged, this, &DictationSetup::wordEdited);
    // Queued: a tick or an edited word changes the list from inside its own signal.
    connect(&m_run, &DictationRun::setupChanged, this, &DictationSetup::showSettings);
    connect(&m_run, &DictationRun::setupChanged, this, &DictationSetup::fillList, Qt::QueuedConnection);
    connect(findChild<QPushButton *>(QStringLiteral("cmdStart")), &QPushButton::clicked, this,
            &DictationSetup::startRequested);
    connect(findChild<QPushButton *>(QStringLiteral("cmdRecords")), &QPushButton::clicked, this,
            &DictationSetup::recordsRequested);
    connect(findChild<QPushButton *>(QStringLiteral("cmdPaper")), &QPushButton::clicked, this,
            &DictationSetup::paperRequested);
    connect(findChild<QPushButton *>(QStringLiteral("cmdClose")), &QPushButton::clicked, this,
            &DictationSetup::closeRequested);
    // Ctrl+P, as for the copybook.
    auto *print = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_P), this);
    connect(print, &QShortcut::activated, this, [this] {
        if (!m_run.items().isEmpty())
            emit paperRequested();
    });
}

void DictationSetup::createControls()
{
    const QStringList orders = {QStringLiteral("整个生字库，按顺序"), QStringLiteral("整个生字库，打乱顺序"),
                                QStringLiteral("从当前这一项到最后"), QStringLiteral("最后加入的 N 个"),
                                QStringLiteral("在右边的表里勾选")};
    auto *group = new QButtonGroup(this);
    for (int i = 0; i < 5; ++i) {
        auto *b = named<QRadioButton>(this, orderNames[i]);
        b->setText(orders.at(i));
        group->addButton(b);
    }
    auto *last = named<QSpinBox>(this, "spnLast");
    last->setRange(1, dictation::Settings::maxLastCount);
    last->setSuffix(QStringLiteral(" 个"));
    named<QComboBox>(this, "cboRepeats")
        ->addItems({QStringLiteral("1 遍"), QStringLiteral("2 遍"), QStringLiteral("3 遍")});
    named<QComboBox>(this, "cboWords")
        ->addItems({QStringLiteral("只读字"), QStringLiteral("字和词"), QStringLiteral("只读词")});
    auto *pause = named<QSpinBox>(this, "spnPause");
    pause->setRange(dictation::Settings::minPauseSeconds, dictation::Settings::maxPauseSeconds);
    pause->setSuffix(QStringLiteral(" 秒"));
    auto *write = named<QSpinBox>(this, "spnWrite");
    write->setRange(1, dictation::Settings::maxWriteSeconds);
    write->setSuffix(QStringLiteral(" 秒"));
    auto *mastered = named<QSpinBox>(this, "spnMastered");
    mastered->setRange(dictation::Settings::minMasteredAfter, dictation::Settings::maxMasteredAfter);
    mastered->setPrefix(QStringLiteral("连续写对 "));
    mastered->setSuffix(QStringLiteral(" 次，可以去掉"));
    named<QCheckBox>(this, "chkManual")->setText(QStringLiteral("手动（按空格或 → 读下一个）"));
    named<QCheckBox>(this, "chkPinyin")->setText(QStringLiteral("拼音也听写"));
    auto *list = named<QTreeWidget>(this, "lstItems");
    list->setRootIsDecorated(false);
    list->setHeaderLabels({QStringLiteral("听写"), QStringLiteral("读成（双击改词）")});
    list->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    list->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    for (const char *name : {"lblCount", "lblSkipped", "lblBadWords"}) {
        auto *l = named<QLabel>(this, name);
        l->setWordWrap(true);
        l->setTextFormat(Qt::PlainText);
    }
    for (const char *name : {"lblSkipped", "lblBadWords"})
        findChild<QLabel *>(QLatin1String(name))->setStyleSheet(QStringLiteral("color: #c00000"));
    button(this, "cmdStart", QStringLiteral("开始听写"))->setDefault(true);
    button(this, "cmdRecords", QStringLiteral("听写记录…"));
    button(this, "cmdPaper", QStringLiteral("打印听写纸…"));
    button(this, "cmdClose", QStringLiteral("关闭"));
}

void DictationSetup::layOut()
{
    const auto child = [this](const char *name) { return findChild<QWidget *>(QLatin1String(name)); };
    auto *orderBox = new QVBoxLayout;
    for (const char *name : orderNames)
        orderBox->addWidget(child(name));
    auto *lastRow = new QHBoxLayout;
    lastRow->addSpacing(24);
    lastRow->addWidget(child("spnLast"));
    lastRow->addStretch(1);
    orderBox->insertLayout(4, lastRow);
    auto *writeRow = new QVBoxLayout;
    writeRow->addWidget(child("spnWrite"));
    writeRow->addWidget(child("chkManual"));
    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("听写哪些"), orderBox);
    form->addRow(QStringLiteral("怎么读"), child("cboWords"));
    form->addRow(QStringLiteral("每个读"), child("cboRepeats"));
    form->addRow(QStringLiteral("两遍之间停"), child("spnPause"));
    form->addRow(QStringLiteral("写字时间"), writeRow);
    form->addRow(QString(), child("chkPinyin"));
    form->addRow(QStringLiteral("错字本"), child("spnMastered"));
    auto *right = new QVBoxLayout;
    right->addWidget(child("lstItems"), 1);
    right->addWidget(child("lblCount"));
    right->addWidget(child("lblSkipped"));
    right->addWidget(child("lblBadWords"));
    auto *columns = new QHBoxLayout;
    columns->addLayout(form);
    columns->addLayout(right, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(child("cmdRecords"));
    buttons->addWidget(child("cmdPaper"));
    buttons->addStretch(1);
    buttons->addWidget(child("cmdStart"));
    buttons->addWidget(child("cmdClose"));
    auto *page = new QVBoxLayout(this);
    page->setContentsMargins(0, 0, 0, 0);
    page->addLayout(columns, 1);
    page->addLayout(buttons);
}

void DictationSetup::showSettings()
{
    const dictation::Settings &s = m_run.settings();
    m_filling = true;
    findChild<QRadioButton *>(QLatin1String(orderNames[int(s.order)]))->setChecked(true);
    findChild<QSpinBox *>(QStringLiteral("spnLast"))->setValue(s.lastCount);
    findChild<QComboBox *>(QStringLiteral("cboRepeats"))->setCurrentIndex(s.repeats - 1);
    findChild<QComboBox *>(QStringLiteral("cboWords"))->setCurrentIndex(int(s.words));
    findChild<QSpinBox *>(QStringLiteral("spnPause"))->setValue(s.pauseSeconds);
    findChild<QSpinBox *>(QStringLiteral("spnWrite"))->setValue(s.writeSeconds);
    findChild<QCheckBox *>(QStringLiteral("chkManual"))->setChecked(s.manual);
    findChild<QCheckBox *>(QStringLiteral("chkPinyin"))->setChecked(s.pinyin);
    findChild<QSpinBox *>(QStringLiteral("spnMastered"))->setValue(s.masteredAfter);
    m_filling = false;
}

void DictationSetup::readControls()
{
    if (m_filling)
        return;
    dictation::Settings s = m_run.settings();
    for (int i = 0; i < 5; ++i)
        if (findChild<QRadioButton *>(QLatin1String(orderNames[i]))->isChecked())
            s.order = dictation::Order(i);
    s.lastCount = findChild<QSpinBox *>(QStringLiteral("spnLast"))->value();
    s.repeats = findChild<QComboBox *>(QStringLiteral("cboRepeats"))->currentIndex() + 1;
    s.words = dictation::WordMode(findChild<QComboBox *>(QStringLiteral("cboWords"))->currentIndex());
    s.pauseSeconds = findChild<QSpinBox *>(QStringLiteral("spnPause"))->value();
    s.writeSeconds = findChild<QSpinBox *>(QStringLiteral("spnWrite"))->value();
    s.manual = findChild<QCheckBox *>(QStringLiteral("chkManual"))->isChecked();
    s.pinyin = findChild<QCheckBox *>(QStringLiteral("chkPinyin"))->isChecked();
    s.masteredAfter = findChild<QSpinBox *>(QStringLiteral("spnMastered"))->value();
    m_run.setSettings(s);
}

void DictationSetup::fillList()
{
    const dictation::Settings &s = m_run.settings();
    findChild<QSpinBox *>(QStringLiteral("spnLast"))->setEnabled(s.order == dictation::Order::Last);
    findChild<QSpinBox *>(QStringLiteral("spnWrite"))->setEnabled(!s.manual);
    findChild<QLabel *>(QStringLiteral("lblCount"))->setText(m_run.countText());
    findChild<QLabel *>(QStringLiteral("lblSkipped"))->setText(m_run.skippedText());
    const QStringList bad = m_run.badWordLines();
    findChild<QLabel *>(QStringLiteral("lblBadWords"))
        ->setText(bad.isEmpty() ? QString()
                                : QStringLiteral("组词.txt 里有 %1 行看不懂，没有用上：%2")
                                      .arg(bad.size())
                                      .arg(bad.mid(0, 5).join(QStringLiteral("；"))));
    findChild<QPushButton *>(QStringLiteral("cmdStart"))->setEnabled(!m_run.items().isEmpty());
    findChild<QPushButton *>(QStringLiteral("cmdPaper"))->setEnabled(!m_run.items().isEmpty());
    auto *list = findChild<QTreeWidget *>(QStringLiteral("lstItems"));
    m_filling = true;
    list->clear();
    const bool picking = s.order == dictation::Order::Picked;
    for (const QString &item : m_run.candidates()) {
        const QString shown = deck::displayForm(item).trimmed().isEmpty() ? item : deck::displayForm(item);
        const bool single = shown.size() == 1 && deck::isChineseCharacter(shown.at(0));
        const bool hearable = m_run.spoken(item).hearable();
        auto *row = new QTreeWidgetItem({shown,
                                         !hearable    ? QStringLiteral("读不出来")
                                             : single ? m_run.words().wordFor(shown.at(0))
                                                      : QString()});
        row->setData(0, Qt::UserRole, item);
        Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
        if (single)
            flags |= Qt::ItemIsEditable;
        if (picking)
            flags |= Qt::ItemIsUserCheckable;
        row->setFlags(flags);
        if (picking)
            row->setCheckState(0, m_run.isPicked(item) ? Qt::Checked : Qt::Unchecked);
        if (!hearable)
            row->setForeground(1, QColor(192, 0, 0));
        list->addTopLevelItem(row);
    }
    m_filling = false;
}

void DictationSetup::wordEdited(QTreeWidgetItem *row, int column)
{
    if (m_filling)
        return;
    const QString item = row->data(0, Qt::UserRole).toString();
    if (column == 0) {
        m_run.setPicked(item, row->checkState(0) == Qt::Checked);
        return;
    }
    const QString error = m_run.setOwnWord(item.at(0), row->text(1));
    if (!error.isEmpty()) {
        showMessage(this, error, MessageIcon::Information, MessageButtons::Ok);
        fillList();
    }
}
