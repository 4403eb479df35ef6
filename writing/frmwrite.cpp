#include "writing/frmwrite.h"

#include "core/clock.h"
#include "core/textutil.h"
#include "progress/progressfiles.h"
#include "resources/artwork.h"
#include "viewer/strokeview.h"
#include "widgets/messagebox.h"
#include "widgets/ui.h"
#include "writing/writecanvas.h"
#include "writing/writingsession.h"

#include <QBoxLayout>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QToolButton>

#include <cmath>

using Mode = WritingSettings::Mode;

namespace {

const QColor kStarOn(245, 180, 20);
const QColor kStarOff(205, 214, 226); // tinted: no grey of the text around it matches

// The window's size as it first opens; its texts grow from there.
constexpr int kWidth = 560;
constexpr int kHeight = 700;
constexpr qreal kTextPoints = 12;

// One to three stars under the finished character.
class StarsWidget : public QWidget
{
public:
    explicit StarsWidget(QWidget *parent) : QWidget(parent) { setHeight(34); }
    void setStars(int n)
    {
        m_stars = n;
        setVisible(n > 0);
        update();
    }
    void setHeight(int h) { setFixedSize(h * 108 / 34, h); }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        const qreal r = height() / 2.0 - 1;
        for (int i = 0; i < 3; ++i) {
            QPolygonF star;
            const QPointF c(r + 1 + i * (2 * r + 4), height() / 2.0 + 1);
            for (int k = 0; k < 10; ++k) {
                const qreal a = -M_PI / 2 + k * M_PI / 5;
                const qreal rr = k % 2 ? r * 0.45 : r;
                star << c + QPointF(rr * std::cos(a), rr * std::sin(a));
            }
            p.setBrush(i < m_stars ? kStarOn : kStarOff);
            p.drawPolygon(star);
        }
    }

private:
    int m_stars = 0;
};

QPushButton *button(const QString &text, const char *name, QWidget *parent)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    return b;
}

} // namespace

// The character as the animation ends, standing still after 看 played once.
class WatchStill : public QWidget
{
public:
    WatchStill(StrokeView *view, QWidget *parent) : QWidget(parent), m_view(view) { }

protected:
    void paintEvent(QPaintEvent *) override
    {
        const int last = m_view->strokeCount() - 1;
        const qreal end = last < 0 ? 0 : m_view->strokeStartMs(last) + m_view->strokeDurationMs(last);
        QPainter(this).drawImage(0, 0, m_view->renderFrame(end, size()));
    }

private:
    StrokeView *m_view;
};

// A dialog-type window stays above its owner under a window manager.
frmWrite::frmWrite(QWidget *owner)
    : QWidget(owner,
              Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint
                  | Qt::WindowCloseButtonHint),
      m_session(new WritingSession(this))
{
    m_settings = WritingSettings::load();
    m_mode = m_settings.mode;
    m_session->setStrictness(m_settings.strictness);
    m_session->setMissesForDrawing(m_settings.missesForDrawing);
    m_watchEnd.setSingleShot(true);
    createControls();
    connectControls();
    setWindowIcon(resources::programIcon());
    ui::centreOnOwnerOnFirstShow(this, owner);
}

frmWrite::~frmWrite() = default;

void frmWrite::createControls()
{
    setWindowTitle(QStringLiteral("练习书写"));
    m_stack = new QStackedWidget(this);
    m_stack->setObjectName(QStringLiteral("stack"));
    m_canvas = new WriteCanvas(m_session, m_stack);
    m_canvas->setObjectName(QStringLiteral("canvas"));
    m_watchView = new StrokeView(m_stack);
    m_watchView->setObjectName(QStringLiteral("watchView"));
    // 看 plays the order once; the view rests while it cannot be seen, so
    // its end, not a clock, says when the offer to write comes.
    m_watchView->setRepeating(false);
    m_watchStill = new WatchStill(m_watchView, m_stack);
    m_watchStill->setObjectName(QStringLiteral("watchStill"));
    m_stack->addWidget(m_canvas);
    m_stack->addWidget(m_watchView);
    m_stack->addWidget(m_watchStill);

    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("lblStatus"));
    m_status->setAlignment(Qt::AlignCenter);
    m_status->setWordWrap(true);

    // After 看: write it now, or watch it again.
    m_watchOffer = new QWidget(this);
    auto *offer = new QHBoxLayout(m_watchOffer);
    offer->setContentsMargins(0, 0, 0, 0);
    offer->addStretch(1);
    offer->addWidget(button(QStringLiteral("写一写"), "cmdWriteNow", m_watchOffer));
    offer->addWidget(button(QStringLiteral("再看一遍"), "cmdWatchAgain", m_watchOffer));
    offer->addStretch(1);
    m_watchOffer->hide();

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 8, 10, 10);
    layout->addWidget(createTopRow());
    layout->addWidget(m_stack, 1);
    layout->addWidget(m_status);
    layout->addWidget(m_watchOffer);
    layout->addWidget(createBottomRow());
    for (QWidget *w : findChildren<QWidget *>())
        w->setFont(ui::designFont(QStringLiteral("微软雅黑"), kTextPoints));
    resize(kWidth, kHeight);
}

QWidget *frmWrite::createTopRow()
{
    auto *row = new QWidget(this);
    auto *top = new QHBoxLayout(row);
    top->setContentsMargins(0, 0, 0, 0);
    m_modes = new QButtonGroup(this);
    auto modeButton = [&](const QString &text, Mode mode, const char *name, const QString &tip) {
        auto *b = new QToolButton(row);
        b->setObjectName(QLatin1String(name));
        b->setText(text);
        b->setToolTip(tip);
        b->setCheckable(true);
        b->setMinimumSize(40, 34);
        m_modes->addButton(b, int(mode));
        top->addWidget(b);
    };
    modeButton(QStringLiteral("描"), Mode::Trace, "optTrace", QStringLiteral("照着浅灰色的字描"));
    modeButton(QStringLiteral("写"), Mode::Write, "optWrite", QStringLiteral("只有田字格，默写"));
    modeButton(QStringLiteral("看"), Mode::Watch, "optWatch", QStringLiteral("先看一遍笔顺动画"));
    top->addSpacing(12);
    auto *strictness = new QComboBox(row);
    strictness->setObjectName(QStringLiteral("cboStrictness"));
    strictness->addItems({QStringLiteral("宽松"), QStringLiteral("一般"), QStringLiteral("严格")});
    strictness->setCurrentIndex(int(m_settings.strictness));
    top->addWidget(strictness);
    auto *misses = new QSpinBox(row);
    misses->setObjectName(QStringLiteral("spnMisses"));
    misses->setRange(writingcourse::Course::kLeastMisses, writingcourse::Course::kMostMisses);
    misses->setValue(m_settings.missesForDrawing);
    misses->setPrefix(QStringLiteral("错 "));
    misses->setSuffix(QStringLiteral(" 次示范"));
    misses->setToolTip(QStringLiteral("同一笔写错几次后，把这一笔写出来给孩子看"));
    top->addWidget(misses);
    top->addStretch(1);
    top->addWidget(button(QStringLiteral("提示"), "cmdHint", row));
    auto *keepInk = new QCheckBox(QStringLiteral("保留笔迹"), row);
    keepInk->setObjectName(QStringLiteral("chkKeepInk"));
    keepInk->setToolTip(QStringLiteral("留下孩子自己写的每一笔，写错的用虚线"));
    top->addWidget(keepInk);
    return row;
}

QWidget *frmWrite::createBottomRow()
{
    auto *row = new QWidget(this);
    auto *bottom = new QHBoxLayout(row);
    bottom->setContentsMargins(0, 0, 0, 0);
    m_score = new QLabel(row);
    m_score->setObjectName(QStringLiteral("lblScore"));
    bottom->addWidget(m_score);
    m_stars = new StarsWidget(row);
    m_stars->setObjectName(QStringLiteral("stars"));
    bottom->addWidget(m_stars);
    bottom->addStretch(1);
    // Offered when a stroke was refused twice or drawn for the pupil.
    QPushButton *addBook = button(QStringLiteral("加入错字本"), "cmdAddBook", row);
    ui::setBackground(addBook, ui::mistakeBookColour());
    bottom->addWidget(addBook);
    auto *book = new QLabel(row);
    book->setObjectName(QStringLiteral("lblBook"));
    bottom->addWidget(book);
    bottom->addWidget(button(QStringLiteral("撤销"), "cmdUndo", row));
    bottom->addWidget(button(QStringLiteral("再写一次"), "cmdAgain", row));
    bottom->addWidget(button(QStringLiteral("下一个字"), "cmdNext", row));
    return row;
}

void frmWrite::connectControls()
{
    auto clicked = [this](const char *name, auto handler) {
        connect(findChild<QPushButton *>(QLatin1String(name)), &QPushButton::clicked, this, handler);
    };
    clicked("cmdHint", [this] { m_canvas->flashHint(); });
    clicked("cmdUndo", [this] { m_session->undo(); });
    clicked("cmdAgain", [this] { m_session->restart(); });
    clicked("cmdNext", [this] { m_session->goToNext(); });
    clicked("cmdAddBook", &frmWrite::addToBook);
    clicked("cmdWriteNow", [this] { setMode(Mode::Write); });
    clicked("cmdWatchAgain", [this] { setMode(Mode::Watch); });
    connect(m_modes, &QButtonGroup::idClicked, this, [this](int id) { setMode(Mode(id)); });
    connect(findChild<QComboBox *>(QStringLiteral("cboStrictness")), &QComboBox::currentIndexChanged, this,
            &frmWrite::strictnessChanged);
    connect(findChild<QSpinBox *>(QStringLiteral("spnMisses")), &QSpinBox::valueChanged, this,
            &frmWrite::missesChanged);
    connect(findChild<QCheckBox *>(QStringLiteral("chkKeepInk")), &QCheckBox::toggled, m_canvas,
            &WriteCanvas::setKeepInk);
    connect(&m_watchEnd, &QTimer::timeout, this, &frmWrite::watchDone);
    // A short look at the whole character before the offer.
    connect(m_watchView, &StrokeView::finished, this, [this] {
        if (m_mode == Mode::Watch)
            m_watchEnd.start(400);
    });
    connect(m_session, &WritingSession::changed, this, &frmWrite::showSession);
    connect(m_session, &WritingSession::characterFinished, this, &frmWrite::characterFinished);
    // A new character (下一个字 too) is shown in the mode chosen: 看 plays it once.
    connect(m_session, &WritingSession::restarted, this, [this] {
        m_finished.reset();
        findChild<QLabel *>(QStringLiteral("lblBook"))->clear();
        setWindowTitle(m_session->character().isEmpty()
                           ? QStringLiteral("练习书写")
                           : QStringLiteral("练习书写 - %1").arg(m_session->character()));
        setMode(m_mode);
    });
}

bool frmWrite::setCharacter(const QString &character) { return m_session->setCharacter(character); }

void frmWrite::setBankText(const QString &bankText) { m_session->setBankText(bankText); }

void frmWrite::setMode(Mode mode)
{
    if (mode != Mode::Watch && m_settings.mode != mode) {
        m_settings.mode = mode;
        m_settings.save();
    }
    m_mode = mode;
    m_watched = false;
    m_watchEnd.stop();
    m_modes->button(int(mode))->setChecked(true);
    // Without data there is nothing to watch or check: the square says why.
    if (mode == Mode::Watch && m_session->hasStrokes()) {
        m_stack->setCurrentWidget(m_watchView);
        m_watchView->showCharacter(m_session->character()); // from the first stroke
    } else {
        m_watchView->clear();
        m_stack->setCurrentWidget(m_canvas);
        m_canvas->setTraceShown(mode == Mode::Trace);
    }
    showSession();
}

void frmWrite::watchDone()
{
    m_watched = true;
    // Hidden, the animation stops; its last frame stays on the still.
    m_stack->setCurrentWidget(m_watchStill);
    showSession();
}

void frmWrite::strictnessChanged(int index)
{
    if (index < 0)
        return;
    m_settings.strictness = strokecheck::Strictness(index);
    m_settings.save();
    m_session->setStrictness(m_settings.strictness);
}

void frmWrite::missesChanged(int misses)
{
    m_settings.missesForDrawing = misses;
    m_settings.save();
    m_session->setMissesForDrawing(misses);
}

// The status line, the score and the buttons as the session stands.
void frmWrite::showSession()
{
    const bool has = m_session->hasStrokes();
    const bool watching = m_mode == Mode::Watch && has;
    if (watching)
        m_status->setText(m_watched ? QStringLiteral("看清楚了吗？自己写一写吧。")
                                    : QStringLiteral("看笔顺：共 %1 笔").arg(m_session->strokeCount()));
    else
        m_status->setText(m_session->statusText());
    m_watchOffer->setVisible(watching && m_watched);
    m_score->setText(watching ? QString() : m_session->scoreText());
    static_cast<StarsWidget *>(m_stars)->setStars(watching ? 0 : m_session->stars());
    for (QAbstractButton *b : m_modes->buttons())
        b->setEnabled(has);
    auto enable
        = [this](const char *name, bool on) { findChild<QWidget *>(QLatin1String(name))->setEnabled(on); };
    enable("cmdHint", has && !watching && !m_session->complete());
    enable("cmdUndo", !watching && m_session->canUndo());
    enable("cmdAgain", has && !watching);
    enable("chkKeepInk", has);
    enable("cmdNext", !m_session->nextCharacter().isEmpty());
    auto *book = findChild<QWidget *>(QStringLiteral("cmdAddBook"));
    book->setVisible(!watching && m_finished && m_finished->needsPractice());
    book->setEnabled(!m_addedToBook);
}

// A finished character goes into the history; one written with help may go
// into the mistake book too.
void frmWrite::characterFinished(const WritingSession::Result &result)
{
    m_finished = result;
    m_addedToBook = false;
    const history::Entry entry {Clock::now(), history::Activity::Writing, modPub::normalizeItems(result.character),
                                !result.needsPractice(), result.strokes, result.rightFirstTime};
    keptfile::Appended appended;
    const QString why = progressfiles::appendEntries({entry}, appended);
    // Said once a window: a pupil writing on should not be stopped at every character.
    if (!why.isEmpty() && !m_historyFailed) {
        m_historyFailed = true;
        showMessage(this, QStringLiteral("学习记录没有保存成功，写的字没有记进学习记录：") + why,
                    MessageIcon::Information, MessageButtons::Ok);
    }
    showSession();
}

void frmWrite::addToBook()
{
    if (!m_finished)
        return;
    const progressfiles::BookResult r = progressfiles::addToMistakeBook({m_finished->character});
    auto *label = findChild<QLabel *>(QStringLiteral("lblBook"));
    switch (r.outcome) {
    case progressfiles::BookResult::Unreadable:
        showMessage(this, r.why, MessageIcon::Information, MessageButtons::Ok);
        return;
    case progressfiles::BookResult::NotSaved:
        showMessage(this, QStringLiteral("错字本没有保存成功：%1原来的错字本没有改动。").arg(r.why),
                    MessageIcon::Information, MessageButtons::Ok);
        return;
    case progressfiles::BookResult::AlreadyThere: label->setText(QStringLiteral("已经在错字本里了")); break;
    case progressfiles::BookResult::Added: label->setText(QStringLiteral("已加入错字本")); break;
    }
    m_addedToBook = true;
    showSession();
}

void frmWrite::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    fitFonts();
}

// The status line and the score grow with the window, readable across a
// room when it is maximised.
void frmWrite::fitFonts()
{
    const qreal grow = std::clamp(std::sqrt(qreal(width()) / kWidth * qreal(height()) / kHeight), 1.0, 2.5);
    const QFont font = ui::designFont(QStringLiteral("微软雅黑"), kTextPoints * grow);
    m_status->setFont(font);
    m_score->setFont(font);
    static_cast<StarsWidget *>(m_stars)->setHeight(int(std::lround(34 * grow)));
}

namespace writewindow {
namespace {
QPointer<frmWrite> g_window;
const QString kOwnerWatch = QStringLiteral("writingOwnerWatch");

// Watches the owner of the writing window: closing it (the stroke-order
// viewer) must not take a character being written with it.
class OwnerWatch : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *owner = qobject_cast<QWidget *>(watched);
        if (event->type() == QEvent::Close && g_window && owner && g_window->parentWidget() == owner
            && owner->parentWidget() && !g_window->session()->tries().isEmpty()
            && !g_window->session()->complete())
            adopt(owner->parentWidget());
        return false;
    }

private:
    static void adopt(QWidget *owner)
    {
        const QRect frame = g_window->geometry();
        g_window->setParent(owner, g_window->windowFlags());
        g_window->setGeometry(frame);
        g_window->show();
    }
};
} // namespace

frmWrite *open(QWidget *owner, const QString &character, const QString &bankText)
{
    if (!g_window) {
        g_window = new frmWrite(owner);
        g_window->setAttribute(Qt::WA_DeleteOnClose);
    } else if (g_window->parentWidget() != owner) {
        // Given to the new owner, so that it stays above the window it came from.
        g_window->setParent(owner, g_window->windowFlags());
    }
    if (owner && !owner->findChild<QObject *>(kOwnerWatch, Qt::FindDirectChildrenOnly)) {
        auto *watch = new OwnerWatch(owner);
        watch->setObjectName(kOwnerWatch);
        owner->installEventFilter(watch);
    }
    g_window->setBankText(bankText);
    g_window->setCharacter(character);
    g_window->show();
    g_window->raise();
    g_window->activateWindow();
    return g_window;
}

frmWrite *current() { return g_window; }
} // namespace writewindow
