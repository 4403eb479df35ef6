// The practice window: one item of the bank at a time on the green card.
#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include "dictation/dictationhost.h"
#include "practice/practicedeck.h"
#include "widgets/ui.h"

class SpeechEngine;
#include "viewer/frmplay.h"

class frmMain : public QWidget, public DictationHost
{
    Q_OBJECT
public:
    explicit frmMain(QWidget *parent = nullptr);
    ~frmMain() override;

    // ---- Deck ----
    void loadBank();
    void showCurrentItem();
    void fitCharLabel();
    void restoreFocus();
    void cmdBefore_Click();
    void cmdAfter_Click();
    // Key preview: returns nothing, never consumes the key.
    void Form_KeyDown(int key);

    // ---- Autoplay and settings ----
    void Label2_Click();
    void imgBofang_Click();
    void Text2_Change();
    void Timer1_Timer();
    void Timer2_Timer();

    // ---- Read-aloud ----
    void lblChar_Click();
    void Image3_Click();
    void lblBack_Click();
    void playContent(const QString &content);

    // ---- Commands ----
    void Command2_Click();
    void cmdSet_Click();
    void Command1_Click();
    void lblShuoming_Click();
    void lblAbout_Click();

    // ---- Dictation and the decks of mistakes (practice/frmmaindecks.cpp) ----
    void openDictation();
    void practiseMistakeBook();
    // "练习最常写错的": the ten items of the history most often wrong.
    void practiseMostOftenWrong();
    // "学习记录…".
    void openProgress();
    // A deck of mistakes instead of the bank, until the editor closes or the
    // program starts again; the bank file is never written from it. `file`
    // is the mistake book it came from, empty for one run's mistakes.
    void practiseDeck(const QStringList &items, const QString &label, const QString &file);
    // What is stepped through: the bank or a deck of mistakes.
    PracticeDeck &deck() { return m_deck; }

    // ---- State read by tests and the benchmark ----
    int baseFontSize() const { return m_baseFontSize; }
    int refHeight() const { return m_refHeight; }
    int refWidth() const { return m_refWidth; }
    // lblChar's caption (display form) and Tag (normalized form).
    const QString &caption() const { return m_caption; }
    const QString &tag() const { return m_tag; }
    SpeechEngine *speechEngine() override;
    // What dictation asks of the practice window.
    QString syllableTable() const override { return m_syllableTable; }
    void practise(const QStringList &items) override;
    void openCopybook(QWidget *owner, const QStringList &items, const QString &label) override;
    void printPages(QWidget *owner, sheet::Pages &pages, const QString &name) override;
    frmPlay *viewer() const { return m_viewer; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    // ---- Controls, named as they are for the tests' findChild ----
    QCheckBox *Check2 = nullptr; // 朗读
    QCheckBox *Check1 = nullptr; // 每轮打乱一下
    QLineEdit *Text2 = nullptr; // interval in seconds
    QLabel *Label3 = nullptr; // 秒
    QLabel *Label4 = nullptr; // clock
    ui::ClickLabel *lblShuoming = nullptr;
    ui::ClickLabel *lblAbout = nullptr;
    ui::ClickLabel *imgBofang = nullptr;
    ui::ClickLabel *Label2 = nullptr;
    ui::ClickLabel *Image3 = nullptr;
    QWidget *Picture1 = nullptr;
    QPushButton *cmdSet = nullptr;
    QPushButton *cmdBefore = nullptr;
    QPushButton *cmdAfter = nullptr;
    QPushButton *Command2 = nullptr;
    QPushButton *Command1 = nullptr;
    ui::ClickLabel *lblChar = nullptr;
    ui::ClickLabel *lblBack = nullptr;
    QLineEdit *Text1 = nullptr; // hidden focus box
    QTimer *Timer1 = nullptr;
    QTimer *Timer2 = nullptr;
    QPixmap Image1; // play picture
    QPixmap Image2; // stop picture

    void Form_Load();
    void Form_Resize();
    void Form_Unload();
    void createControls();
    void createTopBar();
    void createButtonBar();
    void createCard();
    void connectControls();
    void loadSettings();
    void setCaption(const QString &display, const QString &normalized);
    bool Text2_KeyPress(QKeyEvent *event);
    void showSpeechUnavailable();
    // The card's context menu: what each capability offers on the card,
    // with the shortcuts of the copybook (Ctrl+P) and dictation (Ctrl+T).
    void attachCardMenu(const QList<QWidget *> &card);
    void showCardMenu(QWidget *on, const QPoint &at);

    PracticeDeck m_deck;
    int m_baseFontSize = 150;
    int m_refHeight = 0;
    int m_refWidth = 0;
    QString m_caption;
    QString m_tag;
    // The syllable table, read when read-aloud or dictation first needs it:
    // the practice window shows without it.
    struct SyllableTable {
        mutable QString text;
        operator const QString &() const;
    } m_syllableTable;
    QString m_spokenText; // what the last request carries
    bool m_emptyMessageOpen = false;
    bool m_inText2Change = false;
    SpeechEngine *m_speechEngine = nullptr;
    QPointer<frmPlay> m_viewer;
    QPointer<QWindow> m_keyWindow; // the native window whose keys are previewed
};
