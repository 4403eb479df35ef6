// Writing practice (练写): the pupil writes a character stroke by stroke on a
// 田字格 with the mouse, a pen or a finger, and each stroke is checked
// against the stroke data.
#pragma once

#include "core/strokedata.h"
#include "rules/strokecheck.h"
#include "viewer/writingsettings.h"

#include <QElapsedTimer>
#include <QPixmap>
#include <QPointer>
#include <QTimer>
#include <QWidget>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QStackedWidget;
class QTabletEvent;
class QToolButton;
class StrokeView;

// The writing square: the grid, the character as far as it is written, the
// pupil's ink and the short-lived marks (a miss in red, a hint, a stroke
// drawn for the pupil).
class WriteCanvas : public QWidget
{
    Q_OBJECT
public:
    explicit WriteCanvas(QWidget *parent = nullptr);

    // A new character; an empty glyph shows `missingText` instead.
    void setGlyph(const std::optional<StrokeGlyph> &glyph, const QString &missingText);
    // Back to the first stroke, the ink wiped.
    void restart();
    void setTraceShown(bool shown);
    void setKeepInk(bool keep);
    void setStrictness(strokecheck::Strictness s) { m_strictness = s; }

    // The next stroke flashes once.
    void flashHint();

    const strokecheck::Session &session() const { return m_session; }
    const strokecheck::Verdict &lastVerdict() const { return m_lastVerdict; }
    bool hasGlyph() const { return m_glyph.has_value(); }
    // Whether anything is still moving (fades, a hint, a stroke being drawn).
    bool animating() const { return m_tick.isActive(); }
    // The pupil's ink of the strokes written so far, in grid units.
    const QList<QList<QPointF>> &keptInk() const { return m_keptInk; }
    // Widget position of a point of the data's grid, and back.
    QPointF toWidget(const QPointF &grid) const;
    QPointF toGrid(const QPointF &widget) const;

    QSize sizeHint() const override { return QSize(460, 460); }
    QSize minimumSizeHint() const override { return QSize(200, 200); }

signals:
    // After every judged stroke.
    void strokeJudged(strokecheck::Session::Outcome outcome);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void tabletEvent(QTabletEvent *event) override;
    bool event(QEvent *event) override;

private:
    enum class Source { None, Mouse, Pen, Touch };
    struct Effect {
        enum Kind { Appear, Reveal, Miss, Hint } kind;
        int stroke;
        QList<QPointF> ink; // grid units
        qint64 start;
        qint64 duration;
    };

    void beginInk(Source source, const QPointF &at);
    void extendInk(Source source, const QPointF &at);
    void endInk(Source source);
    void cancelInk();
    void judge(const QList<QPointF> &ink);
    void addEffect(Effect::Kind kind, int stroke, QList<QPointF> ink, qint64 duration);
    void animate();
    void dropHints();
    void invalidateBackground();
    void renderBackground();
    QRect inkRect(const QPointF &a, const QPointF &b) const;
    void paintInk(QPainter &p, const QList<QPointF> &ink, const QColor &colour, qreal width) const;

    std::optional<StrokeGlyph> m_glyph;
    QList<strokecheck::StrokeShape> m_shapes;
    QString m_missingText;
    strokecheck::Session m_session;
    strokecheck::Verdict m_lastVerdict;
    strokecheck::Strictness m_strictness = strokecheck::Strictness::Normal;
    bool m_trace = true;
    bool m_keepInk = false;
    // Strokes 0 .. m_settled - 1 are in the background picture; those after
    // them and before the session's current stroke are still appearing.
    int m_settled = 0;
    QList<QList<QPointF>> m_keptInk;

    Source m_source = Source::None;
    int m_touchId = -1; // the finger that writes
    QList<QPointF> m_ink; // the stroke being drawn, grid units
    QList<Effect> m_effects;
    QElapsedTimer m_clock;
    QTimer m_tick;

    QPixmap m_background;
    bool m_backgroundValid = false;
    QTransform m_toWidget;
    QTransform m_toGrid;
};

class frmWrite : public QWidget
{
    Q_OBJECT
public:
    explicit frmWrite(QWidget *owner);
    ~frmWrite() override;

    // The character to write; false (and a plain message on the square) when
    // the stroke data has no such character.
    bool setCharacter(const QString &character);
    const QString &character() const { return m_character; }
    // The bank whose next Chinese character "下一个字" goes to.
    void setBankText(const QString &bankText);
    // The character after `character` among the bank's Chinese characters
    // that have stroke data, wrapping; empty when there is none.
    static QString nextCharacter(const QString &bankText, const QString &character);
    // What to write for a practice item: its first Chinese character, 天 for pinyin.
    static QString characterFor(const QString &item);

    void cmdAgain_Click();
    void cmdNext_Click();
    void cmdHint_Click();
    void setMode(WritingSettings::Mode mode);
    WritingSettings::Mode mode() const { return m_settings.mode; }

    // ---- Controls ----
    QToolButton *optTrace = nullptr; // 描
    QToolButton *optWrite = nullptr; // 写
    QToolButton *optWatch = nullptr; // 看
    QComboBox *cboStrictness = nullptr; // 宽松 / 一般 / 严格
    QPushButton *cmdHint = nullptr; // 提示
    QCheckBox *chkKeepInk = nullptr; // 保留笔迹
    QStackedWidget *stack = nullptr;
    WriteCanvas *canvas = nullptr;
    StrokeView *watchView = nullptr;
    QLabel *lblStatus = nullptr;
    QLabel *lblScore = nullptr;
    QWidget *stars = nullptr;
    QPushButton *cmdAgain = nullptr; // 再写一次
    QPushButton *cmdNext = nullptr; // 下一个字

    int starCount() const { return m_stars; }

private:
    void createControls();
    void strokeJudged(strokecheck::Session::Outcome outcome);
    void showProgress();
    void strictnessChanged(int index);
    void refreshButtons();

    WritingSettings m_settings;
    QString m_character;
    QString m_bankText;
    int m_stars = 0;
    QButtonGroup *m_modes = nullptr;
};

namespace writewindow {
// Shows the one writing window for `character`, owned by `owner` (the open
// one is reused and given to the new owner), with the bank that "下一个字"
// walks through.
frmWrite *open(QWidget *owner, const QString &character, const QString &bankText);
// The open window, nullptr when there is none.
frmWrite *current();
} // namespace writewindow
