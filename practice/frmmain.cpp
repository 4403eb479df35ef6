#include "practice/frmmain.h"

#include "core/appsettings.h"
#include "core/bankfile.h"
#include "core/clock.h"
#include "core/modules.h"
#include "core/network.h"
#include "core/programversion.h"
#include "core/settings.h"
#include "core/textutil.h"
#include "editor/frmset.h"
#include "help/frmabout.h"
#include "help/frmshuoming.h"
#include "resources/artwork.h"
#include "resources/texts.h"
#include "rules/deck.h"
#include "rules/layout.h"
#include "rules/readaloud.h"
#include "speech/speechengine.h"
#include "viewer/frmplay.h"
#include "widgets/messagebox.h"
#include "writing/frmwrite.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QDir>
#include <QKeyEvent>
#include <QLocale>

#include <cmath>

using namespace modPub;

namespace {
// A caption longer than this is still kept whole, but the card paints only
// its beginning: laying out megabytes of text in one label would freeze the window.
constexpr qsizetype displayLimit = 1000;

QString visiblePart(const QString &text) { return shortened(text, displayLimit); }
} // namespace

frmMain::frmMain(QWidget *parent) : QWidget(parent)
{
    createControls();
    Form_Load();
}

frmMain::~frmMain() = default;

void frmMain::Form_Load()
{
    // Load-time set-up of the item display.
    m_baseFontSize = 150;
    m_refHeight = static_cast<int>(std::lrint(ui::scaleHeight(this) - 800));
    m_refWidth = static_cast<int>(std::lrint(ui::scaleWidth(this)));
    ui::move(Text1, -60000, ui::topOf(Text1));
    QFont f = lblChar->font();
    f.setPointSizeF(m_baseFontSize);
    lblChar->setFont(f);

    // A missing or empty bank gets the toned vowels; an unreadable one is left alone.
    if (bankFileNeedsDefault(bankPath()))
        writeTextFile(bankPath(), defaultBank(), true);

    loadSettings();
    setWindowTitle(programTitle());
    loadBank();

    // The audio player and the syllable table are loaded when first needed.
    Timer2->start();
    Timer2_Timer();
    // Keys go to the hidden focus box from the start, as after any step.
    restoreFocus();
}

void frmMain::loadSettings()
{
    const appsettings::MainSection stored = appsettings::MainSection::load();
    Text2->setText(stored.interval);
    if (!Text2->text().isEmpty()) {
        const auto applyState = [](QCheckBox *box, appsettings::Tick tick) {
            if (tick == appsettings::Tick::Greyed)
                box->setTristate(true);
            box->setCheckState(tick == appsettings::Tick::Ticked       ? Qt::Checked
                                   : tick == appsettings::Tick::Greyed ? Qt::PartiallyChecked
                                                                       : Qt::Unchecked);
        };
        applyState(Check1, stored.shuffle);
        applyState(Check2, stored.readAloud);
    } else {
        Text2->setText(QStringLiteral("5"));
    }
}

// ---------------------------------------------------------------- deck

void frmMain::loadBank()
{
    m_deck.loadBank(readTextFile(bankPath())); // back to the bank from a deck of mistakes
    if (!m_deck.text().isEmpty()) {
        showCurrentItem();
    } else {
        showMessage(this, QStringLiteral("还没有字库，点击“我的生字库”按钮进行输入"), MessageIcon::None,
                    MessageButtons::Ok);
    }
}

void frmMain::setCaption(const QString &display, const QString &normalized)
{
    m_caption = display;
    m_tag = normalized;
    lblChar->setText(visiblePart(display));
}

void frmMain::showCurrentItem()
{
    const std::optional<QString> normalized = m_deck.settle();
    if (!m_deck.text().isEmpty()) {
        if (normalized)
            setCaption(deck::displayForm(*normalized), *normalized);
        QFont f = lblChar->font();
        if (deck::isChinese(m_tag)) {
            f.setFamily(ui::designFamily(QStringLiteral("楷体")));
            Command1->setEnabled(true);
        } else {
            f.setFamily(ui::designFamily(QStringLiteral("宋体")));
            Command1->setEnabled(false);
        }
        lblChar->setFont(f);
        m_baseFontSize = deck::baseFontSizeFor(m_tag);
        fitCharLabel();
        if (Check2->checkState() == Qt::Checked)
            lblChar_Click();
    } else {
        setCaption(QString(), m_tag);
        // Autoplay keeps stepping while the box is open; one box is enough.
        if (!m_emptyMessageOpen) {
            m_emptyMessageOpen = true;
            showMessage(this, QStringLiteral("当前生字库内容为空，请点击“我的生字库”输入生字"),
                        MessageIcon::Information, MessageButtons::Ok);
            m_emptyMessageOpen = false;
        }
    }

    cmdBefore->setEnabled(m_deck.canGoBack());
    cmdAfter->setEnabled(m_deck.canGoOn());
    cmdSet->setText(m_deck.counterCaption());
}

void frmMain::fitCharLabel()
{
    const double outerHeight = ui::twips(frameGeometry().height());
    const double r = layout::fitRatio(outerHeight, ui::scaleWidth(this), m_refHeight, m_refWidth);
    const double size = m_baseFontSize * r;
    // A window with no width (minimised) would ask for a zero-point font;
    // the item keeps its last size until there is room again.
    if (std::isfinite(size) && size >= 1.0) {
        QFont f = lblChar->font();
        f.setPointSizeF(size);
        lblChar->setFont(f);
    }
    lblChar->adjustSize();
    ui::move(lblChar, ui::halfOf(ui::scaleWidth(this) - ui::widthOf(lblChar)),
             ui::halfOf(ui::scaleHeight(this) - ui::heightOf(lblChar) - layout::picture1Height));
}

void frmMain::restoreFocus()
{
    if (!Text2->isHidden())
        Text2->setFocus();
    else
        Text1->setFocus();
}

void frmMain::cmdBefore_Click()
{
    if (!cmdBefore->isEnabled())
        return;
    m_deck.back();
    showCurrentItem();
    restoreFocus();
}

void frmMain::cmdAfter_Click()
{
    if (!cmdAfter->isEnabled())
        return;
    m_deck.next();
    showCurrentItem();
    restoreFocus();
}

void frmMain::Form_KeyDown(int key)
{
    switch (key) {
    case Qt::Key_Left:
    case Qt::Key_PageUp:
    case Qt::Key_Up: cmdBefore_Click(); break;
    case Qt::Key_Right:
    case Qt::Key_PageDown:
    case Qt::Key_Down: cmdAfter_Click(); break;
    case Qt::Key_Space: lblChar_Click(); break;
    case Qt::Key_V: Command1_Click(); break;
    case Qt::Key_D:
    case Qt::Key_Delete: Command2_Click(); break;
    default: break;
    }
}

void frmMain::showEvent(QShowEvent *event)
{
    // Key preview: every key press of this window passes its native window
    // once, before any control sees it, whichever control has the focus and
    // also when none has (as just after a message box has closed).
    if (windowHandle() != m_keyWindow) {
        if (m_keyWindow)
            m_keyWindow->removeEventFilter(this);
        m_keyWindow = windowHandle();
        if (m_keyWindow)
            m_keyWindow->installEventFilter(this);
    }
    QWidget::showEvent(event);
}

bool frmMain::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return false;
    auto *key = static_cast<QKeyEvent *>(event);
    if (watched == m_keyWindow) {
        // A key the window system hands to a window that a modal box blocks
        // is dropped there; it is no key of this window's either.
        if (QWidget *modal = QApplication::activeModalWidget(); modal && modal != this)
            return false;
        const QPointer<QObject> alive(watched);
        Form_KeyDown(key->key());
        // The key goes on to the focused control, unless its window is gone.
        return !alive;
    }
    if (watched == Text2)
        return Text2_KeyPress(key);
    return false;
}

// ---------------------------------------------------------------- layout

void frmMain::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    Form_Resize();
}

void frmMain::Form_Resize()
{
    layout::ResizeInput in;
    in.scaleWidth = ui::scaleWidth(this);
    in.scaleHeight = ui::scaleHeight(this);
    in.lblShuomingWidth = ui::widthOf(lblShuoming);
    in.lblAboutWidth = ui::widthOf(lblAbout);
    in.label4Width = ui::widthOf(Label4);
    const layout::ResizeResult r = layout::resize(in);

    lblBack->resize(ui::px(r.lblBackWidth), lblBack->height());
    if (!r.complete)
        return;
    lblBack->resize(lblBack->width(), ui::px(r.lblBackHeight));
    fitCharLabel();
    ui::move(Picture1, r.picture1Left, r.picture1Top);
    ui::move(Image3, r.image3Left, r.image3Top);
    ui::move(lblShuoming, r.lblShuomingLeft, ui::topOf(lblShuoming));
    ui::move(Label4, r.label4Left, ui::topOf(Label4));
    ui::move(lblAbout, r.lblAboutLeft, ui::topOf(lblAbout));
}

// ---------------------------------------------------------------- autoplay

void frmMain::imgBofang_Click() { Label2_Click(); }

void frmMain::Label2_Click()
{
    if (Timer1->isActive())
        Timer1->stop();
    else
        Timer1->start();
    Text2_Change();
    const bool running = Timer1->isActive();
    const bool boxHadFocus = Text2->hasFocus() || focusWidget() == Text2;
    Text2->setVisible(running);
    Label3->setVisible(running);
    Check1->setVisible(running);
    // Hiding the focused box would hand the focus to the next control (the
    // bank button, where Space opens the editor); it goes where a step puts it.
    if (!running && boxHadFocus)
        restoreFocus();
    Label2->setText(running ? QStringLiteral("正在自动播放  间隔:") : QStringLiteral("点击这里自动播放"));
    Label2->adjustSize();
    imgBofang->setPixmap(running ? Image2 : Image1);
}

bool frmMain::Text2_KeyPress(QKeyEvent *event)
{
    // Digits and backspace only; control keys (paste, arrows) pass, and
    // whatever a paste brings is stripped by Text2_Change.
    const QString t = event->text();
    if (t.isEmpty() || t.at(0).unicode() < 32 || t.at(0).unicode() == 127)
        return false;
    for (const QChar c : t)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return true;
    return false;
}

void frmMain::Text2_Change()
{
    const QString text = Text2->text();
    QString s;
    for (QChar c : text)
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
            s += c;
    if (s != text) {
        Text2->setText(s); // runs Text2_Change once more
        Text2->setCursorPosition(static_cast<int>(s.size()));
    }
    double v = Text2->text().toDouble();
    if (v > 60)
        v = 60;
    if (!(v > 0))
        v = 1;
    Timer1->setInterval(static_cast<int>(std::lround(v * 1000)));
}

void frmMain::Timer1_Timer()
{
    if (!cmdAfter->isEnabled()) {
        m_deck.newRound(Check1->checkState() == Qt::Checked);
        cmdAfter->setEnabled(true);
    }
    cmdAfter_Click();
}

void frmMain::Timer2_Timer()
{
    const QDateTime now = Clock::now();
    const QLocale locale = QLocale::system();
    Label4->setText(locale.toString(now.date(), QLocale::ShortFormat) + QLatin1Char(' ')
                    + now.time().toString(QStringLiteral("H:mm:ss")));
    Label4->adjustSize();
}

void frmMain::closeEvent(QCloseEvent *event)
{
    Form_Unload();
    event->accept();
}

void frmMain::Form_Unload()
{
    const auto tick = [](const QCheckBox *box) {
        switch (box->checkState()) {
        case Qt::Checked: return appsettings::Tick::Ticked;
        case Qt::PartiallyChecked: return appsettings::Tick::Greyed;
        default: return appsettings::Tick::Unticked;
        }
    };
    // At once: a store that cannot be locked or written costs the settings
    // only, and the program closes all the same, once the parent knows.
    if (const QString why = appsettings::MainSection {Text2->text(), tick(Check1), tick(Check2)}.save();
        !why.isEmpty())
        showMessage(this, QStringLiteral("设置没有保存：") + why, MessageIcon::Information, MessageButtons::Ok);
    if (m_speechEngine)
        m_speechEngine->stop();
    // Ends the program with every other window.
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w != this && w->isVisible())
            w->close();
    QCoreApplication::quit();
}

// ---------------------------------------------------------------- read-aloud

frmMain::SyllableTable::operator const QString &() const
{
    if (text.isNull())
        text = resources::syllableTable();
    return text;
}

SpeechEngine *frmMain::speechEngine()
{
    // Loaded with its module when the first item is spoken.
    if (!m_speechEngine)
        m_speechEngine = speech::createEngine(this, m_syllableTable);
    return m_speechEngine;
}

void frmMain::lblChar_Click()
{
    if (m_caption.isEmpty() || !isVisible())
        return;
    const std::optional<QString> s = readaloud::textToSpeak(m_caption, m_syllableTable);
    if (!s)
        return; // the item's text cannot be looked up: nothing is spoken
    m_spokenText = *s;
    playContent(urlEncode(*s));
}

void frmMain::Image3_Click() { lblChar_Click(); }

void frmMain::lblBack_Click() { lblChar_Click(); }

void frmMain::playContent(const QString &content)
{
    const QString endpoint = ttsEndpoint();
    const QString request = endpoint.isEmpty() ? QString() : readaloud::ttsRequest(endpoint, content);
    if (SpeechEngine *engine = speechEngine())
        engine->speak(request, m_caption, m_spokenText);
    else
        showSpeechUnavailable();
}

void frmMain::showSpeechUnavailable()
{
    // Said once, quietly: a box at every item would stop the pupil, and
    // saying nothing leaves a parent wondering why nothing is heard.
    if (!Check2->toolTip().isEmpty())
        return;
    const QString why = QStringLiteral("朗读不可用：语音模块（%1）缺失或无法载入，请重新安装本程序。")
                            .arg(modules::fileName<SpeechEngineFactory>());
    Check2->setToolTip(why);
    Image3->setToolTip(why);
    // The loudspeaker greyed: the item cannot be heard.
    QImage grey = resources::speakerPicture().convertToFormat(QImage::Format_Grayscale8);
    Image3->setPixmap(QPixmap::fromImage(grey));
}

// ---------------------------------------------------------------- commands

void frmMain::Command2_Click()
{
    if (m_caption.isEmpty()) {
        showMessage(this, QStringLiteral("当前没有任何文字显示无法进行删除操作，请去生字库添加内容吧"),
                    MessageIcon::Information, MessageButtons::Ok);
        return;
    }
    if (m_deck.isBank() && bankReadOnly()) {
        showMessage(this, bankReadOnlyText(QDir::toNativeSeparators(bankPath())), MessageIcon::Information,
                    MessageButtons::Ok);
        restoreFocus();
        return;
    }
    // The item deleted is the one the question names, and autoplay waits
    // while the question is open: it would show another item under it.
    const QString tag = m_tag;
    // A deck of mistakes is taken from the mistake book (or only from this run), never from the bank.
    const QString from = m_deck.deletionSource();
    const QString question = QStringLiteral("确定要删除【") + m_caption + QStringLiteral("】吗？\r\n")
        + QStringLiteral("熟练认识了点“是”将从") + from + QStringLiteral("中删除“") + m_caption
        + QStringLiteral("”字，未熟练认识点“否”");
    const bool autoplay = Timer1->isActive();
    Timer1->stop();
    const MessageAnswer answer = showMessage(this, question, MessageIcon::Information, MessageButtons::YesNo);
    if (answer == MessageAnswer::Yes) {
        if (m_deck.remove(tag)) {
            showCurrentItem();
        } else {
            showMessage(this, bankNotSavedText(), MessageIcon::Information, MessageButtons::Ok);
        }
    }
    if (autoplay && !Timer1->isActive())
        Timer1->start();
    restoreFocus();
}

void frmMain::cmdSet_Click()
{
    if (bankReadOnly()) {
        showMessage(this, bankReadOnlyText(QDir::toNativeSeparators(bankPath())), MessageIcon::Information,
                    MessageButtons::Ok);
        restoreFocus();
        return;
    }
    {
        frmSet editor; // no owner, created afresh each time
        editor.exec();
    }
    if (!m_deck.isBank()) {
        loadBank(); // a deck of mistakes ends with the editor
    } else if (m_deck.bankChangedTo(readTextFile(bankPath()))) {
        showMessage(this, QStringLiteral("生字库发生变化，系统自动重新载入"), MessageIcon::Information,
                    MessageButtons::Ok);
        loadBank();
    }
    restoreFocus();
}

void frmMain::Command1_Click()
{
    // Shown and active: the viewer's box takes the keyboard.
    const bool opening = !m_viewer;
    frmPlay *viewer = ui::showSingleInstance(m_viewer, this);
    // Its "写一写" writes the box's character, "下一个字" going through this bank.
    if (opening)
        connect(viewer, &frmPlay::writeRequested, this, [this, viewer](const QString &character) {
            writewindow::open(viewer, character, m_deck.text());
        });
    viewer->setCharacter(firstCodePoint(m_caption));
    viewer->Command2_Click();
}

void frmMain::lblShuoming_Click() { frmShuoming::showInstance(this); }

void frmMain::lblAbout_Click() { frmAbout::showInstance(this); }
