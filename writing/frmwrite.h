// Writing practice (练写): the pupil writes a character stroke by stroke on a
// 田字格 with the mouse, a pen or a finger, and each stroke is checked
// against the stroke data. The session (writing/writingsession.h) holds the
// writing; this window draws it and forwards the pupil's strokes and clicks.
#pragma once

#include "writing/writingsession.h"
#include "writing/writingsettings.h"

#include <optional>

#include <QTimer>
#include <QWidget>

class QButtonGroup;
class QLabel;
class QStackedWidget;
class StrokeView;
class WatchStill;
class WriteCanvas;

class frmWrite : public QWidget
{
    Q_OBJECT
public:
    explicit frmWrite(QWidget *owner);
    ~frmWrite() override;

    WritingSession *session() const { return m_session; }

    // The character to write; false (and a plain message on the square) when
    // the stroke data has no such character.
    bool setCharacter(const QString &character);
    // The bank whose next Chinese character "下一个字" goes to.
    void setBankText(const QString &bankText);

    // 描, 写 or 看. 看 plays the character once and then offers 写; the
    // window opens in the last of 描 and 写 chosen.
    void setMode(WritingSettings::Mode mode);
    WritingSettings::Mode mode() const { return m_mode; }

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void createControls();
    QWidget *createTopRow();
    QWidget *createBottomRow();
    void connectControls();
    void showSession();
    void watchDone();
    void strictnessChanged(int index);
    void missesChanged(int misses);
    void fitFonts();
    void characterFinished(const WritingSession::Result &result);
    void addToBook();

    WritingSession *m_session;
    WritingSettings m_settings; // as stored: 看 never is
    WritingSettings::Mode m_mode = WritingSettings::Mode::Trace;
    bool m_watched = false; // 看 has played once: 写 is offered
    QTimer m_watchEnd;
    std::optional<WritingSession::Result> m_finished; // the character just written
    bool m_addedToBook = false;
    bool m_historyFailed = false;

    QButtonGroup *m_modes = nullptr;
    QStackedWidget *m_stack = nullptr;
    WriteCanvas *m_canvas = nullptr;
    StrokeView *m_watchView = nullptr;
    WatchStill *m_watchStill = nullptr;
    QWidget *m_watchOffer = nullptr;
    QLabel *m_status = nullptr;
    QLabel *m_score = nullptr;
    QWidget *m_stars = nullptr;
};

namespace writewindow {
// Shows the one writing window for `character`, owned by `owner` (the open
// one is reused and given to the new owner), with the bank that "下一个字"
// walks through. Should the owner close while a character is being written,
// the window stays, given to the owner's own owner.
frmWrite *open(QWidget *owner, const QString &character, const QString &bankText);
// The open window, nullptr when there is none.
frmWrite *current();
} // namespace writewindow
