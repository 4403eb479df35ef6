#include "viewer/frmplay.h"

#include "core/bankfile.h"
#include "core/network.h"
#include "core/settings.h"
#include "core/textutil.h"
#include "resources/artwork.h"
#include "viewer/strokeview.h"
#include "viewer/webviewfactory.h"
#include "widgets/ui.h"

#include <QDesktopServices>
#include <QKeyEvent>
#include <QPointer>
#include <QUrl>

namespace {
// The animation's address as the web view should get it: relative addresses
// are taken relative to the dictionary page, and only web addresses are
// followed, so a page cannot send the view to a local file or a script.
QString animationAddress(const QString &found, const QString &pageAddress)
{
    if (found.isEmpty())
        return QString();
    const QUrl url(found);
    const QUrl resolved = url.isRelative() ? QUrl(pageAddress).resolved(url) : url;
    if (!modPub::isWebAddress(resolved))
        return QString();
    return url.isRelative() ? resolved.toString() : found;
}
} // namespace

// A dialog-type window is kept above its owner by the window manager; a plain
// top-level window would be covered by a click on the practice window.
frmPlay::frmPlay(QWidget *owner)
    : QWidget(owner,
              Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint
                  | Qt::WindowCloseButtonHint)
{
    createControls();
    Form_Load();
    ui::centreOnOwnerOnFirstShow(this, owner);
}

frmPlay::~frmPlay() = default;

void frmPlay::createControls()
{
    setWindowTitle(QStringLiteral("播放笔顺"));
    // Design client area 9765 × 10740 twips.
    resize(ui::px(9765), ui::px(10740));

    Text1 = new QLineEdit(QStringLiteral("天"), this);
    Text1->setFont(ui::designFont(QStringLiteral("微软雅黑"), 15.75));
    // One character; two code units so that a character outside the BMP fits,
    // Text1_Change cuts anything longer.
    Text1->setMaxLength(2);
    ui::place(Text1, 120, 0, 495, 465);
    connect(Text1, &QLineEdit::returnPressed, this, [this] { Text1_KeyPress(13); });
    connect(Text1, &QLineEdit::textChanged, this, [this] { Text1_Change(); });

    Command2 = new QPushButton(QStringLiteral("看笔顺"), this);
    ui::place(Command2, 600, 0, 975, 465);
    connect(Command2, &QPushButton::clicked, this, [this] { Command2_Click(); });

    Command1 = new QPushButton(QStringLiteral("查看该字详情"), this);
    ui::place(Command1, 3480, 120, 2535, 495);
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });

    // In the free space right of "看笔顺": no other control moves for it.
    cmdWrite = new QPushButton(QStringLiteral("写一写"), this);
    ui::place(cmdWrite, 1620, 0, 975, 465);
    connect(cmdWrite, &QPushButton::clicked, this, [this] { cmdWrite_Click(); });

    WebBrowser1 = new QStackedWidget(this);
    ui::place(WebBrowser1, 120, 720, 2295, 1575);
    // The web view joins later, when an online address is first shown: it
    // costs a browser engine, which the offline animation does not need.
    m_strokeView = new StrokeView(WebBrowser1);
    WebBrowser1->addWidget(m_strokeView);

    setTabOrder(WebBrowser1, Command1);
    setTabOrder(Command1, Text1);
    setTabOrder(Text1, Command2);
    setTabOrder(Command2, cmdWrite);
}

void frmPlay::Form_Load()
{
    setWindowIcon(resources::programIcon());
    // A blank view to start with.
    m_address.clear();
    m_strokeView->clear();
    WebBrowser1->setCurrentWidget(m_strokeView);
    refreshDetailsButton();
}

void frmPlay::Form_Resize()
{
    const float sw = ui::scaleWidth(this);
    const float sh = ui::scaleHeight(this);
    // The details button stays centred; a window narrower than the button
    // gives it a negative left, which is fine.
    ui::move(Command1, ui::halfOf(sw - ui::widthOf(Command1)), ui::topOf(Command1));

    const float top = ui::topOf(WebBrowser1);
    const float width = sw - 90;
    const float height = sh - top - 90;
    // Too small a window: the view keeps its last place and size.
    if (width < 0 || height < 0)
        return;
    ui::place(WebBrowser1, 45, top, width, height);
}

void frmPlay::setCharacter(const QString &text) { Text1->setText(text); }

void frmPlay::Text1_Change()
{
    const QString text = Text1->text();
    const QString first = modPub::firstCodePoint(text);
    if (first != text)
        Text1->setText(first);
}

void frmPlay::Command2_Click()
{
    const QString text = Text1->text();
    if (text.isEmpty())
        return;
    refreshDetailsButton();

    // The lookup waits for the dictionary page; the window may be closed
    // meanwhile.
    const QPointer<frmPlay> self(this);
    const QString found = modPub::getStrokeOrderUrl(text);
    if (!self)
        return;
    const QString address
        = animationAddress(found, modPub::dictionaryPageEndpoint() + modPub::urlEncode(text));
    if (address.isEmpty() || !navigate(address))
        showOffline(text);

    Text1->setFocus();
    Text1->setSelection(0, int(Text1->text().size()));
}

void frmPlay::Command1_Click()
{
    // Without a dictionary there is no page to show.
    if (modPub::dictionaryBase().isEmpty())
        return;
    const QString address = modPub::dictionaryPageEndpoint() + modPub::urlEncode(Text1->text());
    // Without a web view the desktop's browser shows the page.
    if (!navigate(address)) {
        QDesktopServices::openUrl(QUrl(address));
        return;
    }
    setWindowState(windowState() | Qt::WindowMaximized);
}

void frmPlay::Text1_KeyPress(int keyAscii)
{
    if (keyAscii == 13)
        Command2_Click();
}

void frmPlay::cmdWrite_Click()
{
    if (Text1->text().isEmpty())
        return;
    emit writeRequested(Text1->text());
}

void frmPlay::WebBrowser1_DocumentComplete(const QString &address)
{
    if (address.contains(modPub::dictionaryMobileHost()) && m_webView)
        webview::factory()->runJavaScript(
            m_webView, QStringLiteral("if (document.body) document.body.style.textAlign = 'center';"));
    emit documentComplete(address);
}

bool frmPlay::navigate(const QString &address)
{
    if (!m_webView) {
        WebViewFactory *factory = webview::factory();
        if (!factory)
            return false;
        m_webView = factory->createView(WebBrowser1);
        if (!m_webView)
            return false;
        WebBrowser1->addWidget(m_webView);
        // Connected by name: the program does not link the browser engine.
        connect(m_webView, SIGNAL(loadFinished(bool)), this, SLOT(webViewLoadFinished()));
    }
    m_address = address;
    m_strokeView->clear();
    WebBrowser1->setCurrentWidget(m_webView);
    m_webView->setProperty("url", QUrl(address));
    return true;
}

void frmPlay::webViewLoadFinished()
{
    WebBrowser1_DocumentComplete(m_webView->property("url").toUrl().toString());
}

void frmPlay::showOffline(const QString &text)
{
    m_address.clear();
    // Stop whatever the web view was loading or playing.
    if (m_webView)
        m_webView->setProperty("url", QUrl(QStringLiteral("about:blank")));
    WebBrowser1->setCurrentWidget(m_strokeView);
    m_strokeView->showCharacter(modPub::firstCodePoint(text));
}

void frmPlay::refreshDetailsButton() { Command1->setEnabled(!modPub::dictionaryBase().isEmpty()); }

bool frmPlay::webViewShown() const { return m_webView && WebBrowser1->currentWidget() == m_webView; }

bool frmPlay::strokeViewShown() const { return WebBrowser1->currentWidget() == m_strokeView; }

void frmPlay::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    Form_Resize();
}
