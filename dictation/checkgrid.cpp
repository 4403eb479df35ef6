#include "dictation/checkgrid.h"

#include "rules/deck.h"
#include "widgets/ui.h"

#include <QKeyEvent>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>

#include <algorithm>
#include <climits>

namespace {
const QColor wrongColour(255, 205, 205);
constexpr int gap = 8;
// The tiles' side: seven across and three down in the room shown, within limits.
constexpr int columns = 7;
constexpr int rows = 3;
constexpr int minSide = 64;
constexpr int maxSide = 240;
} // namespace

CheckGrid::CheckGrid(QWidget *parent) : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    m_numberTimer.setSingleShot(true);
    connect(&m_numberTimer, &QTimer::timeout, this, &CheckGrid::numberDue);
    m_clock.start();
}

void CheckGrid::setItems(const QStringList &items, const QStringList &words)
{
    m_items = items;
    m_words = words;
    m_wrong = QList<bool>(items.size(), false);
    m_current = 0;
    layoutTiles();
    update();
}

void CheckGrid::setMarks(const QList<bool> &wrong)
{
    m_wrong = wrong;
    m_wrong.resize(m_items.size());
    update();
}

void CheckGrid::toggle(int index)
{
    if (index < 0 || index >= m_items.size())
        return;
    setCurrent(index);
    emit toggleRequested(index);
}

QSize CheckGrid::sizeHint() const
{
    return QSize(560, m_tiles.isEmpty() ? 120 : m_tiles.last().bottom() + gap);
}

QFont CheckGrid::itemFont(const QString &item) const
{
    QFont f = ui::designFont(deck::isChinese(item) ? QStringLiteral("楷体") : QStringLiteral("宋体"), 10);
    f.setPixelSize(itemPixels());
    return f;
}

void CheckGrid::layoutTiles()
{
    // The room is the scroll area's viewport when there is one: the grid
    // itself grows to hold every row.
    const auto *area = qobject_cast<QScrollArea *>(parentWidget() ? parentWidget()->parentWidget() : nullptr);
    const QSize room = area ? area->viewport()->size() : size();
    const int byWidth = (room.width() - gap) / columns - gap;
    const int byHeight = (room.height() - gap) / rows - gap;
    m_side = std::clamp(std::min(byWidth, byHeight), minSide, maxSide);
    // Tiles flow left to right; a long word gets a wider tile.
    m_tiles.clear();
    int x = gap;
    int y = gap;
    for (const QString &item : std::as_const(m_items)) {
        const QString shown = deck::displayForm(item);
        const int textWidth = QFontMetrics(itemFont(item)).horizontalAdvance(shown.left(40));
        const int w = std::min(std::max(m_side, textWidth + m_side / 3), std::max(m_side, width() - 2 * gap));
        if (x > gap && x + w > width() - gap) {
            x = gap;
            y += m_side + gap;
        }
        m_tiles << QRect(x, y, w, m_side);
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
    QFont number = ui::designFont(QStringLiteral("Arial"), 10);
    number.setPixelSize(std::max(12, m_side / 7));
    QFont word = ui::designFont(QStringLiteral("楷体"), 10);
    word.setPixelSize(std::max(12, m_side / 7));
    const int wordHeight = QFontMetrics(word).height();
    for (qsizetype i = 0; i < m_tiles.size(); ++i) {
        const QRect r = m_tiles.at(i);
        const bool wrong = m_wrong.value(i);
        const bool focused = i == m_current && hasFocus();
        p.setPen(QPen(focused ? QColor(40, 110, 220) : QColor(170, 170, 170), focused ? 3 : 1));
        p.setBrush(wrong ? wrongColour : QColor(Qt::white));
        p.drawRoundedRect(QRectF(r).adjusted(1.5, 1.5, -1.5, -1.5), 6, 6);
        p.setFont(number);
        p.setPen(QColor(110, 110, 110));
        p.drawText(r.adjusted(7, 4, -6, -4), Qt::AlignLeft | Qt::AlignTop, QString::number(i + 1));
        if (wrong) {
            const int k = std::max(6, m_side / 14);
            p.setPen(QPen(QColor(200, 0, 0), 3));
            const QPoint c(r.right() - 2 * k - 2, r.top() + 2 * k + 2);
            p.drawLine(c + QPoint(-k, -k), c + QPoint(k, k));
            p.drawLine(c + QPoint(-k, k), c + QPoint(k, -k));
        }
        const QString &item = m_items.at(i);
        const QString &itemWord = m_words.value(i);
        // The word the item was read with, small at the bottom: what the pupil heard.
        const QRect wordRect(r.left() + 4, r.bottom() - wordHeight - 4, r.width() - 8, wordHeight);
        const QRect itemRect = r.adjusted(4, m_side / 8, -4, itemWord.isEmpty() ? -2 : -wordHeight - 4);
        p.setFont(itemFont(item));
        p.setPen(QColor(64, 64, 64));
        p.drawText(itemRect, Qt::AlignCenter,
                   QFontMetrics(p.font()).elidedText(deck::displayForm(item), Qt::ElideRight, r.width() - 8));
        if (!itemWord.isEmpty()) {
            p.setFont(word);
            p.setPen(QColor(120, 120, 120));
            p.drawText(wordRect, Qt::AlignCenter,
                       QFontMetrics(word).elidedText(itemWord, Qt::ElideRight, wordRect.width()));
        }
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

void CheckGrid::rowStep(int direction)
{
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
}

void CheckGrid::keyPressEvent(QKeyEvent *event)
{
    const int key = event->key();
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
