#include "practice/frmdictation.h"

#include "core/bankfile.h"
#include "core/network.h"
#include "core/settings.h"
#include "practice/frmmain.h"
#include "practice/frmsheet.h"
#include "rules/deck.h"
#include "rules/readaloud.h"
#include "speech/speechengine.h"
#include "widgets/messagebox.h"
#include "widgets/ui.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QShortcut>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <climits>

namespace {
const QColor cardColour(204, 237, 199);
const QColor wrongColour(255, 205, 205);
// The three buttons for the mistakes carry colours of their own, as the
// practice window's bank and delete buttons do.
const QColor sheetColour(204, 229, 255);
const QColor practiseColour(255, 224, 192);
const QColor bookColour(255, 192, 192);

QString noSoundNote(bool manual)
{
    return manual ? QStringLiteral("无法播放声音（可能没有声音设备），请家长来读。")
                  : QStringLiteral("无法播放声音（可能没有声音设备）。可以选“手动”，由家长来读。");
}

QFont itemFont(const QString &item, double points)
{
    return ui::designFont(deck::isChinese(item) ? QStringLiteral("楷体") : QStringLiteral("宋体"), points);
}
} // namespace

// ---------------------------------------------------------------- card

DictationCard::DictationCard(QWidget *parent) : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(280, 180);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void DictationCard::setTexts(const QString &position, const QString &status, const QString &note)
{
    if (position == m_position && status == m_status && note == m_note)
        return;
    m_position = position;
    m_status = status;
    m_note = note;
    update();
}

namespace {
// The practice window's blue loudspeaker with its sound waves, drawn at any size.
void drawSpeaker(QPainter &p, const QRectF &r)
{
    const QColor blue(28, 183, 253);
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(r.topLeft());
    p.scale(r.width() / 14.0, r.height() / 11.0);
    p.setPen(Qt::NoPen);
    p.setBrush(blue);
    p.drawPolygon(QPolygonF({QPointF(0.5, 3.5), QPointF(3, 3.5), QPointF(6.5, 0.5), QPointF(6.5, 10.5),
                             QPointF(3, 7.5), QPointF(0.5, 7.5)}));
    QPen wave(blue, 1.1);
    wave.setCapStyle(Qt::RoundCap);
    p.setPen(wave);
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(4.5, 3, 5, 5), -50 * 16, 100 * 16);
    p.drawArc(QRectF(3.5, 1, 9, 9), -50 * 16, 100 * 16);
    p.restore();
}
} // namespace

void DictationCard::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), cardColour);
    const int h = height();
    // Position, loudspeaker and status stacked in the middle; only these texts
    // are ever drawn, so nothing of the item can show.
    QFont big = ui::designFont(QStringLiteral("微软雅黑"), std::clamp(h / 11.0, 14.0, 40.0));
    QFont small = ui::designFont(QStringLiteral("微软雅黑"), std::clamp(h / 26.0, 10.0, 16.0));
    p.setPen(QColor(64, 64, 64));
    p.setFont(big);
    const int bigHeight = QFontMetrics(big).height();
    const int speakerHeight = std::clamp(h / 6, 22, 88);
    const QSize speaker(speakerHeight * 14 / 11, speakerHeight);
    const int smallHeight = QFontMetrics(small).height();
    const int total = bigHeight + 16 + speakerHeight + 16 + 2 * smallHeight + 8;
    int y = std::max(4, (h - total) / 2);
    p.drawText(QRect(0, y, width(), bigHeight), Qt::AlignCenter, m_position);
    y += bigHeight + 16;
    drawSpeaker(p, QRectF(QPointF((width() - speaker.width()) / 2.0, y), QSizeF(speaker)));
    y += speakerHeight + 16;
    p.setFont(small);
    p.drawText(QRect(8, y, width() - 16, smallHeight), Qt::AlignCenter, m_status);
    y += smallHeight + 8;
    p.setPen(QColor(192, 0, 0));
    p.drawText(QRect(8, y, width() - 16, h - y), Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, m_note);
}

// ---------------------------------------------------------------- check grid

CheckGrid::CheckGrid(QWidget *parent) : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    m_numberTimer.setSingleShot(true);
    connect(&m_numberTimer, &QTimer::timeout, this, &CheckGrid::numberDue);
    m_clock.start();
}

void CheckGrid::setItems(const QStringList &items)
{
    m_items = items;
    m_wrong = QList<bool>(items.size(), false);
    m_current = 0;
    layoutTiles();
    update();
    emit changed();
}

void CheckGrid::toggle(int index)
{
    if (index < 0 || index >= m_wrong.size())
        return;
    m_wrong[index] = !m_wrong[index];
    setCurrent(index);
    update();
    emit changed();
}

QStringList CheckGrid::wrongItems() const
{
    QStringList out;
    for (qsizetype i = 0; i < m_items.size(); ++i)
        if (m_wrong.at(i))
            out << m_items.at(i);
    return out;
}

int CheckGrid::wrongCount() const { return int(std::count(m_wrong.begin(), m_wrong.end(), true)); }

QSize CheckGrid::sizeHint() const
{
    return QSize(560, m_tiles.isEmpty() ? 120 : m_tiles.last().bottom() + 8);
}

void CheckGrid::layoutTiles()
{
    // Tiles flow left to right; a long word gets a wider tile.
    m_tiles.clear();
    const int gap = 8;
    const int tileHeight = 92;
    int x = gap;
    int y = gap;
    for (const QString &item : std::as_const(m_items)) {
        const QString shown = deck::displayForm(item);
        const int textWidth = QFontMetrics(itemFont(item, 34)).horizontalAdvance(shown.left(40));
        const int w = std::min(std::max(92, textWidth + 28), std::max(92, width() - 2 * gap));
        if (x > gap && x + w > width() - gap) {
            x = gap;
            y += tileHeight + gap;
        }
        m_tiles << QRect(x, y, w, tileHeight);
        x += w + gap;
    }
    const int needed = m_tiles.isEmpty() ? 0 : m_tiles.last().bottom() + gap;
    if (minimumHeight() != needed)
        setMinimumHeight(needed);
}

void CheckGrid::resizeEvent(QResizeEvent *) { layoutTiles(); }

void CheckGrid::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QFont number = ui::designFont(QStringLiteral("Arial"), 10);
    for (qsizetype i = 0; i < m_tiles.size(); ++i) {
        const QRect r = m_tiles.at(i);
        const bool wrong = m_wrong.at(i);
        p.setPen(QPen(i == m_current && hasFocus() ? QColor(40, 110, 220) : QColor(170, 170, 170),
                      i == m_current && hasFocus() ? 3 : 1));
        p.setBrush(wrong ? wrongColour : QColor(Qt::white));
        p.drawRoundedRect(QRectF(r).adjusted(1.5, 1.5, -1.5, -1.5), 6, 6);
        p.setFont(number);
        p.setPen(QColor(110, 110, 110));
        p.drawText(r.adjusted(7, 4, -6, -4), Qt::AlignLeft | Qt::AlignTop, QString::number(i + 1));
        if (wrong) {
            p.setPen(QPen(QColor(200, 0, 0), 3));
            const QPoint c(r.right() - 14, r.top() + 14);
            p.drawLine(c + QPoint(-6, -6), c + QPoint(6, 6));
            p.drawLine(c + QPoint(-6, 6), c + QPoint(6, -6));
        }
        const QString &item = m_items.at(i);
        p.setFont(itemFont(item, 34));
        p.setPen(QColor(64, 64, 64));
        const QString shown = deck::displayForm(item);
        p.drawText(r.adjusted(4, 14, -4, -2), Qt::AlignCenter,
                   QFontMetrics(p.font()).elidedText(shown, Qt::ElideRight, r.width() - 8));
    }
}

int CheckGrid::tileAt(const QPoint &pos) const
{
    for (qsizetype i = 0; i < m_tiles.size(); ++i)
        if (m_tiles.at(i).contains(pos))
            return int(i);
    return -1;
}

void CheckGrid::setCurrent(int index)
{
    if (m_items.isEmpty())
        return;
    m_current = std::clamp(index, 0, int(m_items.size()) - 1);
    update();
    // Keeps the tile in view inside a scroll area.
    if (auto *area = qobject_cast<QScrollArea *>(parentWidget() ? parentWidget()->parentWidget() : nullptr))
        if (m_current < m_tiles.size())
            area->ensureVisible(m_tiles.at(m_current).center().x(), m_tiles.at(m_current).center().y(), 10,
                                m_tiles.at(m_current).height() / 2 + 10);
}

void CheckGrid::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    setFocus();
    toggle(tileAt(event->position().toPoint()));
}

void CheckGrid::numberDue()
{
    if (const std::optional<int> n = m_number.due(m_clock.elapsed()))
        toggle(*n - 1);
}

void CheckGrid::keyPressEvent(QKeyEvent *event)
{
    const int key = event->key();
    const auto rowStep = [this](int direction) {
        // The tile straight above or below: the nearest centre in the next row.
        if (m_tiles.isEmpty())
            return;
        const QRect from = m_tiles.at(m_current);
        int best = m_current;
        int bestDistance = INT_MAX;
        for (qsizetype i = 0; i < m_tiles.size(); ++i) {
            const QRect r = m_tiles.at(i);
            if ((direction > 0 && r.top() <= from.top()) || (direction < 0 && r.top() >= from.top()))
                continue;
            const int d = std::abs(r.top() - from.top()) * 4 + std::abs(r.center().x() - from.center().x());
            if (d < bestDistance) {
                bestDistance = d;
                best = int(i);
            }
        }
        setCurrent(best);
    };
    if (key >= Qt::Key_0 && key <= Qt::Key_9) {
        m_numberTimer.stop();
        if (const std::optional<int> n
            = m_number.feed(key - Qt::Key_0, m_clock.elapsed(), int(m_items.size())))
            toggle(*n - 1);
        else if (m_number.nextDue() >= 0)
            m_numberTimer.start(int(std::max<qint64>(1, m_number.nextDue() - m_clock.elapsed())));
        return;
    }
    switch (key) {
    case Qt::Key_Left: setCurrent(m_current - 1); break;
    case Qt::Key_Right: setCurrent(m_current + 1); break;
    case Qt::Key_Up: rowStep(-1); break;
    case Qt::Key_Down: rowStep(1); break;
    case Qt::Key_Home: setCurrent(0); break;
    case Qt::Key_End: setCurrent(int(m_items.size()) - 1); break;
    case Qt::Key_Space: toggle(m_current); break;
    default: QWidget::keyPressEvent(event); return;
    }
}

// ---------------------------------------------------------------- window

frmDictation::frmDictation(QWidget *owner, const QString &bankText, int shownIndex, DictationHost host)
    : QDialog(owner), m_bankText(bankText), m_shownIndex(shownIndex), m_host(std::move(host))
{
    setWindowTitle(QStringLiteral("听写"));
    if (owner)
        setWindowIcon(owner->windowIcon());
    setFont(ui::designFont(QStringLiteral("宋体"), 10.5));
    m_clock.start();
    m_tick.setSingleShot(true);
    connect(&m_tick, &QTimer::timeout, this,
            [this] { apply(m_schedule ? m_schedule->due(now()) : std::nullopt); });

    pages = new QStackedWidget(this);
    auto *top = new QVBoxLayout(this);
    top->addWidget(pages);

    // ---- before starting
    auto *setup = new QWidget;
    optBank = new QRadioButton(QStringLiteral("整个生字库，按顺序"));
    optShuffled = new QRadioButton(QStringLiteral("整个生字库，打乱顺序"));
    optFromShown = new QRadioButton(QStringLiteral("从当前这一项到最后"));
    auto *orderGroup = new QButtonGroup(setup);
    for (QRadioButton *b : {optBank, optShuffled, optFromShown})
        orderGroup->addButton(b);
    cboRepeats = new QComboBox;
    cboRepeats->addItems({QStringLiteral("1 遍"), QStringLiteral("2 遍"), QStringLiteral("3 遍")});
    spnPause = new QSpinBox;
    spnPause->setRange(0, dictation::Settings::maxPauseSeconds);
    spnPause->setSuffix(QStringLiteral(" 秒"));
    spnWrite = new QSpinBox;
    spnWrite->setRange(1, dictation::Settings::maxWriteSeconds);
    spnWrite->setSuffix(QStringLiteral(" 秒"));
    chkManual = new QCheckBox(QStringLiteral("手动（按空格或 → 读下一个）"));
    chkPinyin = new QCheckBox(QStringLiteral("拼音也听写"));
    lblCount = new QLabel;
    cmdStart = new QPushButton(QStringLiteral("开始听写"));
    cmdStart->setDefault(true);
    cmdRecords = new QPushButton(QStringLiteral("听写记录…"));
    auto *cmdClose = new QPushButton(QStringLiteral("关闭"));
    cmdClose->setAutoDefault(false);
    cmdRecords->setAutoDefault(false);

    auto *orderBox = new QVBoxLayout;
    for (QRadioButton *b : {optBank, optShuffled, optFromShown})
        orderBox->addWidget(b);
    auto *writeRow = new QHBoxLayout;
    writeRow->addWidget(spnWrite);
    writeRow->addWidget(chkManual);
    writeRow->addStretch(1);
    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("听写哪些"), orderBox);
    form->addRow(QStringLiteral("每个读"), cboRepeats);
    form->addRow(QStringLiteral("两遍之间停"), spnPause);
    form->addRow(QStringLiteral("写字时间"), writeRow);
    form->addRow(QString(), chkPinyin);
    form->addRow(QString(), lblCount);
    auto *setupButtons = new QHBoxLayout;
    setupButtons->addWidget(cmdRecords);
    setupButtons->addStretch(1);
    setupButtons->addWidget(cmdStart);
    setupButtons->addWidget(cmdClose);
    auto *setupLayout = new QVBoxLayout(setup);
    setupLayout->addLayout(form);
    setupLayout->addStretch(1);
    setupLayout->addLayout(setupButtons);
    pages->addWidget(setup);

    // ---- while it runs
    auto *run = new QWidget;
    card = new DictationCard;
    progress = new QProgressBar;
    progress->setRange(0, 1000);
    progress->setTextVisible(false);
    progress->setFixedHeight(6);
    lblKeys = new QLabel;
    lblKeys->setAlignment(Qt::AlignCenter);
    lblKeys->setWordWrap(true);
    cmdPause = new QPushButton(QStringLiteral("暂停"));
    cmdAnswers = new QPushButton(QStringLiteral("对答案"));
    // Keys belong to the card while a run goes on: Space must never press a button.
    for (QPushButton *b : {cmdPause, cmdAnswers}) {
        b->setFocusPolicy(Qt::NoFocus);
        b->setAutoDefault(false);
    }
    auto *runButtons = new QHBoxLayout;
    runButtons->addStretch(1);
    runButtons->addWidget(cmdPause);
    runButtons->addWidget(cmdAnswers);
    auto *runLayout = new QVBoxLayout(run);
    runLayout->addWidget(card, 1);
    runLayout->addWidget(progress);
    runLayout->addWidget(lblKeys);
    runLayout->addLayout(runButtons);
    pages->addWidget(run);

    // ---- checking
    auto *check = new QWidget;
    lblScore = new QLabel;
    lblScore->setFont(ui::designFont(QStringLiteral("微软雅黑"), 14));
    auto *hint
        = new QLabel(QStringLiteral("点一下写错的（或按它的号码，或用方向键和空格），再点一下就改回来。"));
    hint->setWordWrap(true);
    grid = new CheckGrid;
    gridArea = new QScrollArea;
    gridArea->setWidgetResizable(true);
    gridArea->setWidget(grid);
    gridArea->setFocusPolicy(Qt::NoFocus);
    lblStatus = new QLabel;
    lblStatus->setWordWrap(true);
    lblStatus->setTextFormat(Qt::PlainText);
    cmdSheet = new QPushButton(QStringLiteral("错字打印成字帖…"));
    cmdPractise = new QPushButton(QStringLiteral("练习错字"));
    cmdAddBook = new QPushButton(QStringLiteral("加入错字本"));
    ui::setBackground(cmdSheet, sheetColour);
    ui::setBackground(cmdPractise, practiseColour);
    ui::setBackground(cmdAddBook, bookColour);
    cmdAgain = new QPushButton(QStringLiteral("再听写一次"));
    cmdRecords2 = new QPushButton(QStringLiteral("听写记录…"));
    auto *cmdClose2 = new QPushButton(QStringLiteral("关闭"));
    // Space and Enter stay with the grid.
    for (QPushButton *b : {cmdSheet, cmdPractise, cmdAddBook, cmdAgain, cmdRecords2, cmdClose2}) {
        b->setFocusPolicy(Qt::NoFocus);
        b->setAutoDefault(false);
    }
    auto *mistakes = new QHBoxLayout;
    mistakes->addWidget(cmdSheet);
    mistakes->addWidget(cmdPractise);
    mistakes->addWidget(cmdAddBook);
    mistakes->addStretch(1);
    auto *more = new QHBoxLayout;
    more->addWidget(cmdAgain);
    more->addWidget(cmdRecords2);
    more->addStretch(1);
    more->addWidget(cmdClose2);
    auto *checkLayout = new QVBoxLayout(check);
    checkLayout->addWidget(lblScore);
    checkLayout->addWidget(hint);
    checkLayout->addWidget(gridArea, 1);
    checkLayout->addWidget(lblStatus);
    checkLayout->addLayout(mistakes);
    checkLayout->addLayout(more);
    pages->addWidget(check);

    // ---- the stored options
    const dictation::Settings s = dictation::Settings::load();
    (s.order == dictation::Order::Shuffled        ? optShuffled
         : s.order == dictation::Order::FromShown ? optFromShown
                                                  : optBank)
        ->setChecked(true);
    cboRepeats->setCurrentIndex(s.repeats - 1);
    spnPause->setValue(s.pauseSeconds);
    spnWrite->setValue(s.writeSeconds);
    chkManual->setChecked(s.manual);
    chkPinyin->setChecked(s.pinyin);

    for (QRadioButton *b : {optBank, optShuffled, optFromShown})
        connect(b, &QRadioButton::toggled, this, &frmDictation::optionsChanged);
    connect(chkManual, &QCheckBox::toggled, this, &frmDictation::optionsChanged);
    connect(chkPinyin, &QCheckBox::toggled, this, &frmDictation::optionsChanged);
    connect(cmdStart, &QPushButton::clicked, this, &frmDictation::cmdStart_Click);
    connect(cmdRecords, &QPushButton::clicked, this, &frmDictation::cmdRecords_Click);
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::close);
    connect(cmdPause, &QPushButton::clicked, this, &frmDictation::cmdPause_Click);
    connect(cmdAnswers, &QPushButton::clicked, this, &frmDictation::cmdAnswers_Click);
    connect(grid, &CheckGrid::changed, this, &frmDictation::updateScore);
    connect(cmdSheet, &QPushButton::clicked, this, &frmDictation::cmdSheet_Click);
    connect(cmdPractise, &QPushButton::clicked, this, &frmDictation::cmdPractise_Click);
    connect(cmdAddBook, &QPushButton::clicked, this, &frmDictation::cmdAddBook_Click);
    connect(cmdAgain, &QPushButton::clicked, this, &frmDictation::cmdAgain_Click);
    connect(cmdRecords2, &QPushButton::clicked, this, &frmDictation::cmdRecords_Click);
    connect(cmdClose2, &QPushButton::clicked, this, &QDialog::close);

    m_loading = false;
    optionsChanged();
    resize(640, 480);
    ui::centreOnOwnerOnFirstShow(this, owner);
}

frmDictation::~frmDictation()
{
    // The practice window may be going too, its engine with it: only an
    // engine still alive is told to stop.
    if (running() && m_engineSignals)
        m_engine->stop();
}

bool frmDictation::running() const { return m_schedule && !m_schedule->finished(); }

dictation::Settings frmDictation::settings() const
{
    dictation::Settings s;
    s.order = optShuffled->isChecked() ? dictation::Order::Shuffled
        : optFromShown->isChecked()    ? dictation::Order::FromShown
                                       : dictation::Order::InOrder;
    s.repeats = cboRepeats->currentIndex() + 1;
    s.pauseSeconds = spnPause->value();
    s.writeSeconds = spnWrite->value();
    s.manual = chkManual->isChecked();
    s.pinyin = chkPinyin->isChecked();
    return s;
}

void frmDictation::optionsChanged()
{
    if (m_loading)
        return;
    spnWrite->setEnabled(!chkManual->isChecked());
    const dictation::Settings s = settings();
    const qsizetype n = dictation::runItems(m_bankText, s.order, m_shownIndex, s.pinyin).size();
    lblCount->setText(n > 0 ? QStringLiteral("共 %1 个").arg(n) : QStringLiteral("没有可以听写的字或拼音。"));
    cmdStart->setEnabled(n > 0);
}

SpeechEngine *frmDictation::engine()
{
    SpeechEngine *e = m_host.engine ? m_host.engine() : nullptr;
    m_engine = e;
    if (e && m_engineSignals != e->signalSource()) {
        m_engineSignals = e->signalSource();
        connect(m_engineSignals, SIGNAL(playbackFinished(QString)), this, SLOT(soundEnded()));
        connect(m_engineSignals, SIGNAL(playbackStarted(QString)), this, SLOT(soundStarted()));
        connect(m_engineSignals, SIGNAL(silent()), this, SLOT(noSound()));
    }
    return e;
}

void frmDictation::cmdStart_Click()
{
    if (!cmdStart->isEnabled())
        return;
    const dictation::Settings s = settings();
    s.save();
    m_items = dictation::runItems(m_bankText, s.order, m_shownIndex, s.pinyin);
    if (m_items.isEmpty())
        return;
    m_schedule = std::make_unique<dictation::Schedule>(int(m_items.size()), s.repeats, s.pauseSeconds * 1000,
                                                       s.writeSeconds * 1000, s.manual);
    m_runStarted = QDateTime::currentDateTime();
    m_recordedLine.clear();
    m_noSound = false;
    lblKeys->setText(s.manual
                         ? QStringLiteral("空格或 →：下一个　R：再读一遍　←：上一个　P：暂停　Esc：结束")
                         : QStringLiteral("空格或 R：再读一遍　→：下一个　←：上一个　P：暂停　Esc：结束"));
    pages->setCurrentIndex(1);
    card->setFocus();
    apply(m_schedule->start(now()));
}

void frmDictation::apply(std::optional<dictation::Reading> reading)
{
    if (!m_schedule)
        return;
    m_tick.stop();
    if (reading)
        speakItem(reading->item);
    if (m_schedule->finished()) {
        showCheck();
        return;
    }
    // The engine may have said already that nothing can be heard.
    const qint64 due = m_schedule->nextDue();
    if (due >= 0)
        m_tick.start(int(std::clamp<qint64>(due - now(), 0, 24 * 3600 * 1000)));
    updateCard();
}

void frmDictation::speakItem(int index)
{
    const QString display = deck::displayForm(m_items.value(index));
    SpeechEngine *e = engine();
    const std::optional<QString> text = readaloud::textToSpeak(display, m_host.syllableTable);
    if (!e || !text) {
        if (e)
            e->stop();
        noSound();
        return;
    }
    const QString endpoint = modPub::ttsEndpoint();
    const QString request
        = endpoint.isEmpty() ? QString() : readaloud::ttsRequest(endpoint, modPub::urlEncode(*text));
    // A new request cuts the one before off: two items never overlap.
    e->speak(request, display, *text);
}

void frmDictation::soundStarted()
{
    if (m_noSound) {
        m_noSound = false;
        updateCard();
    }
}

void frmDictation::soundEnded()
{
    if (!running() || m_schedule->phase() != dictation::Schedule::Phase::Speaking)
        return;
    m_schedule->soundEnded(now());
    apply(std::nullopt);
}

void frmDictation::noSound()
{
    m_noSound = true;
    // Nothing is heard: the pause or the writing time starts now.
    if (running() && m_schedule->phase() == dictation::Schedule::Phase::Speaking) {
        m_schedule->soundEnded(now());
        apply(std::nullopt);
    }
    updateCard();
}

void frmDictation::updateCard()
{
    if (!m_schedule)
        return;
    using Phase = dictation::Schedule::Phase;
    const dictation::Schedule &s = *m_schedule;
    const QString position = QStringLiteral("第 %1 个 / 共 %2 个").arg(s.item() + 1).arg(s.itemCount());
    QString status;
    if (s.paused())
        status = QStringLiteral("已暂停，按 P 继续");
    else if (s.phase() == Phase::Speaking)
        status = s.repeats() > 1
            ? QStringLiteral("正在读（第 %1 遍，共 %2 遍）").arg(s.repeat()).arg(s.repeats())
            : QStringLiteral("正在读");
    else if (s.phase() == Phase::BetweenReadings)
        status = QStringLiteral("马上再读一遍");
    else if (s.phase() == Phase::Writing)
        status = QStringLiteral("请写下来");
    else if (s.phase() == Phase::WaitingForParent)
        status = QStringLiteral("写好了吗？按空格或 → 读下一个");
    card->setTexts(position, status, m_noSound ? noSoundNote(s.manual()) : QString());
    progress->setValue(int(s.progress() * 1000));
    cmdPause->setText(s.paused() ? QStringLiteral("继续") : QStringLiteral("暂停"));
}

void frmDictation::cmdPause_Click()
{
    if (!running())
        return;
    if (m_schedule->paused()) {
        apply(m_schedule->resume(now()));
    } else {
        m_schedule->pause(now());
        if (SpeechEngine *e = engine())
            e->stop();
        apply(std::nullopt);
    }
}

void frmDictation::cmdAnswers_Click()
{
    if (!running())
        return;
    m_schedule->finish();
    apply(std::nullopt);
}

void frmDictation::askToStop()
{
    if (!running())
        return;
    const bool wasPaused = m_schedule->paused();
    if (!wasPaused) {
        m_schedule->pause(now());
        if (SpeechEngine *e = engine())
            e->stop();
        apply(std::nullopt);
    }
    const MessageAnswer a = showMessage(this, QStringLiteral("要结束这次听写，开始对答案吗？"),
                                        MessageIcon::Information, MessageButtons::YesNo);
    if (!running())
        return;
    if (a == MessageAnswer::Yes)
        cmdAnswers_Click();
    else if (!wasPaused)
        apply(m_schedule->resume(now()));
}

void frmDictation::keyPressEvent(QKeyEvent *event)
{
    if (!running()) {
        QDialog::keyPressEvent(event);
        return;
    }
    // A key held down would step through the whole bank.
    if (event->isAutoRepeat()) {
        event->accept();
        return;
    }
    const qint64 t = now();
    dictation::Schedule &s = *m_schedule;
    switch (event->key()) {
    case Qt::Key_Space: apply(s.manual() ? s.forward(t) : s.repeatNow(t)); break;
    case Qt::Key_R: apply(s.repeatNow(t)); break;
    case Qt::Key_Right:
    case Qt::Key_PageDown: apply(s.forward(t)); break;
    case Qt::Key_Left:
    case Qt::Key_PageUp: apply(s.back(t)); break;
    case Qt::Key_P: cmdPause_Click(); break;
    case Qt::Key_Escape: askToStop(); break;
    default: QDialog::keyPressEvent(event); return;
    }
    event->accept();
}

// Esc, "关闭" and the close box all end here (a close event rejects the dialog).
void frmDictation::reject()
{
    if (running()) {
        askToStop();
        return;
    }
    saveRecord();
    QDialog::reject();
}

void frmDictation::closeEvent(QCloseEvent *event)
{
    // Closing the window ends a run without asking.
    if (running()) {
        m_schedule->finish();
        m_tick.stop();
        if (SpeechEngine *e = engine())
            e->stop();
    }
    QDialog::closeEvent(event);
}

// ---------------------------------------------------------------- checking

void frmDictation::showCheck()
{
    m_tick.stop();
    if (SpeechEngine *e = m_host.engine ? m_host.engine() : nullptr)
        e->stop();
    grid->setItems(m_items.mid(0, std::max(1, m_schedule->reached())));
    lblStatus->clear();
    pages->setCurrentIndex(2);
    grid->setFocus();
}

void frmDictation::updateScore()
{
    const int wrong = grid->wrongCount();
    lblScore->setText(dictation::scoreText(int(grid->items().size()) - wrong, wrong));
    for (QPushButton *b : {cmdSheet, cmdPractise, cmdAddBook})
        b->setEnabled(wrong > 0);
}

void frmDictation::cmdSheet_Click()
{
    const QStringList wrong = grid->wrongItems();
    if (!wrong.isEmpty())
        sheetwindow::open(this, wrong.join(QLatin1Char(' ')), wrong.first());
}

void frmDictation::cmdPractise_Click()
{
    const QStringList wrong = grid->wrongItems();
    if (wrong.isEmpty() || !m_host.practise)
        return;
    saveRecord();
    m_host.practise(wrong);
    close();
}

void frmDictation::cmdAddBook_Click()
{
    const QStringList wrong = grid->wrongItems();
    if (wrong.isEmpty())
        return;
    const QString path = dictationwindow::mistakeBookPath();
    QString old;
    if (!dictationwindow::readKeptFile(path, old)) {
        showMessage(this, QStringLiteral("错字本“%1”读不出来，没有改动它。").arg(path),
                    MessageIcon::Information, MessageButtons::Ok);
        return;
    }
    const QStringList before = dictation::bookItems(old);
    const QString merged = dictation::mergeMistakes(old, wrong);
    const qsizetype total = merged.isEmpty() ? 0 : merged.count(QLatin1Char(' ')) + 1;
    if (total == before.size() && QFileInfo::exists(path)) {
        lblStatus->setText(QStringLiteral("这些都已经在错字本里了（共 %1 个）。").arg(total));
        return;
    }
    // The same writer as the bank's: the old book stays whole unless the new one is complete.
    if (!modPub::writeTextFile(path, merged, true)) {
        showMessage(
            this, QStringLiteral("错字本没有保存成功，可能磁盘已满或文件夹不能写入。原来的错字本没有改动。"),
            MessageIcon::Information, MessageButtons::Ok);
        lblStatus->setText(QStringLiteral("没有加入错字本。"));
        return;
    }
    lblStatus->setText(
        QStringLiteral("已加入错字本：新加 %1 个，错字本里共 %2 个。").arg(total - before.size()).arg(total));
}

void frmDictation::cmdAgain_Click()
{
    saveRecord();
    m_schedule.reset();
    pages->setCurrentIndex(0);
    optionsChanged();
    cmdStart->setFocus();
}

bool frmDictation::saveRecord()
{
    if (!m_schedule || pages->currentIndex() != 2)
        return true;
    dictation::Record r;
    const QDateTime t = m_runStarted;
    r.when = QDateTime(t.date(), QTime(t.time().hour(), t.time().minute()));
    r.total = int(grid->items().size());
    r.wrong = grid->wrongItems();
    const QString line = dictation::recordLine(r);
    if (line == m_recordedLine)
        return true;
    const QString path = dictationwindow::recordPath();
    QString text;
    if (!dictationwindow::readKeptFile(path, text)) {
        showMessage(this, QStringLiteral("听写记录“%1”读不出来，这次的成绩没有记下。").arg(path),
                    MessageIcon::Information, MessageButtons::Ok);
        return false;
    }
    // Marked again after it was written: this run's line is replaced, not repeated.
    if (!m_recordedLine.isEmpty() && text.endsWith(m_recordedLine))
        text.chop(m_recordedLine.size());
    while (text.endsWith(u'\n') || text.endsWith(u'\r'))
        text.chop(1);
    if (!modPub::writeTextFile(path, dictation::appendRecordLine(text, line), true)) {
        showMessage(this, QStringLiteral("听写记录没有保存成功，可能磁盘已满或文件夹不能写入。"),
                    MessageIcon::Information, MessageButtons::Ok);
        return false;
    }
    m_recordedLine = line;
    return true;
}

void frmDictation::cmdRecords_Click()
{
    saveRecord();
    dictationwindow::showRecords(this);
}

// ---------------------------------------------------------------- entry points

namespace dictationwindow {

QString mistakeBookPath() { return modPub::bankDir() + dictation::mistakeBookFileName(); }

QString recordPath() { return modPub::bankDir() + dictation::recordFileName(); }

bool readKeptFile(const QString &path, QString &text)
{
    text.clear();
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return true;
    // A file that cannot be read (a folder, a FIFO, too large, no permission) is none to replace.
    std::optional<QString> read = modPub::tryReadTextFile(path);
    if (!read)
        return false;
    text = std::move(*read);
    return true;
}

void showRecords(QWidget *owner)
{
    QString text;
    const bool readable = readKeptFile(recordPath(), text);
    const QList<dictation::Record> records = dictation::lastRecords(text, 100);
    QDialog box(owner);
    box.setWindowTitle(QStringLiteral("听写记录"));
    box.setFont(ui::designFont(QStringLiteral("宋体"), 10.5));
    auto *layout = new QVBoxLayout(&box);
    auto *summary = new QLabel;
    summary->setWordWrap(true);
    layout->addWidget(summary);
    if (!readable) {
        summary->setText(QStringLiteral("听写记录“%1”读不出来。").arg(recordPath()));
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
    auto *close = new QPushButton(QStringLiteral("关闭"));
    QObject::connect(close, &QPushButton::clicked, &box, &QDialog::accept);
    auto *row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(close);
    layout->addLayout(row);
    box.resize(560, 380);
    if (owner)
        ui::centreOnOwnerOnFirstShow(&box, owner);
    box.exec();
}

void attach(frmMain *window, const QList<QWidget *> &card)
{
    auto *dictate = new QAction(QStringLiteral("听写…"), window);
    auto *book = new QAction(QStringLiteral("练习错字本"), window);
    QObject::connect(dictate, &QAction::triggered, window, &frmMain::openDictation);
    QObject::connect(book, &QAction::triggered, window, &frmMain::practiseMistakeBook);
    for (QWidget *w : card)
        w->addActions({dictate, book});
    // T is no key of the practice window's own.
    auto *shortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_T), window);
    QObject::connect(shortcut, &QShortcut::activated, window, &frmMain::openDictation);
}
} // namespace dictationwindow

// ---------------------------------------------------------------- frmMain's side

void frmMain::openDictation()
{
    if (auto *open = findChild<frmDictation *>()) {
        open->raise();
        open->activateWindow();
        return;
    }
    // Autoplay would read over the dictation and show the items.
    if (Timer1->isActive())
        Label2_Click();
    DictationHost host;
    host.engine = [this] { return speechEngine(); };
    host.syllableTable = m_syllableTable;
    host.practise
        = [this](const QStringList &items) { practiseDeck(items, QStringLiteral("听写错字"), QString()); };
    auto *w = new frmDictation(this, m_bankText, m_curIndex, std::move(host));
    w->setAttribute(Qt::WA_DeleteOnClose);
    w->setWindowModality(Qt::WindowModal);
    // The card behind must not give the answer away.
    lblChar->hide();
    connect(w, &QObject::destroyed, lblChar, [card = lblChar] { card->show(); });
    w->show();
    w->raise();
    w->activateWindow();
}

void frmMain::practiseMistakeBook()
{
    QString text;
    const QString path = dictationwindow::mistakeBookPath();
    if (!dictationwindow::readKeptFile(path, text)) {
        showMessage(this, QStringLiteral("错字本“%1”读不出来。").arg(path), MessageIcon::Information,
                    MessageButtons::Ok);
        return;
    }
    const QStringList items = dictation::bookItems(text);
    if (items.isEmpty()) {
        showMessage(this, QStringLiteral("错字本里还没有字。听写以后，可以把写错的加入错字本。"),
                    MessageIcon::Information, MessageButtons::Ok);
        return;
    }
    practiseDeck(items, QStringLiteral("错字本"), path);
}

void frmMain::practiseDeck(const QStringList &items, const QString &label, const QString &file)
{
    m_deckLabel = label;
    m_deckFile = file;
    setBankText(items.join(QLatin1Char(' ')));
    m_curIndex = 1;
    showCurrentItem();
    restoreFocus();
}

bool frmMain::dropFromMistakeDeck(const QString &tag)
{
    if (m_deckFile.isEmpty())
        return true; // this run's mistakes live in memory only
    // Read afresh: a dictation since may have added to the book.
    QString text;
    if (!dictationwindow::readKeptFile(m_deckFile, text))
        return false;
    QStringList kept;
    for (const QString &item : dictation::bookItems(text))
        if (item != tag)
            kept << item;
    return modPub::writeTextFile(m_deckFile, kept.join(QLatin1Char(' ')), true);
}
