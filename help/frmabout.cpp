#include "help/frmabout.h"

#include "core/programversion.h"
#include "help/frmshuoming.h"
#include "resources/artwork.h"
#include "rules/aboutanimation.h"

#include <QDesktopServices>
#include <QPixmap>
#include <QPointer>
#include <QUrl>

namespace {
QPointer<frmAbout> &theInstance()
{
    static QPointer<frmAbout> window;
    return window;
}

// A label at a design place, sized to its caption.
template <typename Label> Label *makeLabel(QWidget *parent, const QString &caption, double left, double top)
{
    auto *label = new Label(caption, parent);
    ui::move(label, left, top);
    label->adjustSize();
    return label;
}

void setLinkStyle(QLabel *label)
{
    ui::setTextColour(label, QColor(0, 0, 255));
    label->setFont(ui::designFont(QStringLiteral("宋体"), 9, true));
    label->adjustSize();
}

// The project's own contact details.
const QString authorName = QStringLiteral("Lorvanta 开发组");
const QString homePage = QStringLiteral("https://lorvanta.example.org");
const QString messengerNumber = QStringLiteral("10000");
const QString mailAddress = QStringLiteral("hello@lorvanta.example.org");
} // namespace

frmAbout::frmAbout(QWidget *owner)
    : QWidget(owner,
              Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                  | Qt::WindowCloseButtonHint)
{
    // A dialog-type window: the window manager keeps it above its owner.
    createControls();
    Form_Load();
    ui::centreOnOwnerOnFirstShow(this, owner);
}

void frmAbout::createControls()
{
    setWindowTitle(QStringLiteral("关于"));
    setFont(ui::designFont(QStringLiteral("宋体"), 9));
    // Fixed client area 4890 × 2400 twips.
    setFixedSize(ui::px(4890), ui::px(2400));

    Image1 = new ui::ClickLabel(this);
    Image1->setPixmap(QPixmap::fromImage(resources::noteSheetPicture()));
    Image1->setScaledContents(true);
    ui::place(Image1, 240, 120, 555, 555);
    m_image1Top = 120;
    connect(Image1, &ui::ClickLabel::clicked, this, [this] { Image1_Click(); });

    Label1 = makeLabel<QLabel>(this, modPub::programTitle(), 1080, 120);
    Label11 = makeLabel<ui::ClickLabel>(this, QStringLiteral("【使用说明】"), 3600, 120);
    ui::setTextColour(Label11, QColor(255, 128, 0));
    connect(Label11, &ui::ClickLabel::clicked, this, [this] { Label11_Click(); });

    Label2 = makeLabel<QLabel>(this, QStringLiteral("作者:"), 1080, 480);
    Label10 = makeLabel<QLabel>(this, authorName, 1560, 480);
    Label3 = makeLabel<QLabel>(this, QStringLiteral("主页:"), 1080, 720);
    Label4 = makeLabel<ui::ClickLabel>(this, homePage, 1560, 720);
    Label5 = makeLabel<QLabel>(this, QStringLiteral("Q  Q:"), 1080, 960);
    Label6 = makeLabel<ui::ClickLabel>(this, messengerNumber, 1560, 960);
    Label7 = makeLabel<QLabel>(this, QStringLiteral("邮箱:"), 1080, 1200);
    Label8 = makeLabel<ui::ClickLabel>(this, mailAddress, 1560, 1200);
    Label9 = makeLabel<QLabel>(this, QStringLiteral("2017-9-26"), 1080, 1560);
    for (QLabel *link :
         {static_cast<QLabel *>(Label4), static_cast<QLabel *>(Label6), static_cast<QLabel *>(Label8)})
        setLinkStyle(link);
    // The hand cursor belongs to Label4; the other two links take it at load.
    Label4->setCursor(Qt::PointingHandCursor);
    connect(Label4, &ui::ClickLabel::clicked, this, [this] { Label4_Click(); });
    connect(Label6, &ui::ClickLabel::clicked, this, [this] { Label6_Click(); });
    connect(Label8, &ui::ClickLabel::clicked, this, [this] { Label8_Click(); });

    Command1 = new QPushButton(QStringLiteral("确定"), this);
    ui::place(Command1, 1800, 1920, 1215, 330);
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });

    Timer1 = new QTimer(this);
    Timer1->setInterval(aboutanimation::restInterval);
    connect(Timer1, &QTimer::timeout, this, [this] { Timer1_Timer(); });
}

void frmAbout::Form_Load()
{
    m_image1Tag = QString::number(m_image1Top);
    setWindowIcon(resources::programIcon());
    Label6->setCursor(Label4->cursor());
    Label8->setCursor(Label4->cursor());
    Label1->setText(modPub::programTitle());
    Label1->adjustSize();
}

void frmAbout::setImage1Top(float top)
{
    m_image1Top = top;
    ui::move(Image1, ui::leftOf(Image1), top);
}

void frmAbout::Command1_Click() { close(); }

void frmAbout::Image1_Click()
{
    // Only switches the animation on: restarting a running timer would hold
    // the picture in the air for as long as the clicks go on.
    if (!Timer1->isActive())
        Timer1->start();
}

void frmAbout::Timer1_Timer()
{
    aboutanimation::State s;
    s.top = m_image1Top;
    s.restart = m_image1Tag.toFloat();
    s.interval = Timer1->interval();
    s.enabled = Timer1->isActive();
    const aboutanimation::State next = aboutanimation::step(ui::scaleHeight(this), ui::heightOf(Image1), s);

    if (!next.enabled)
        Timer1->stop();
    Timer1->setInterval(next.interval);
    if (next.restart != s.restart)
        m_image1Tag = QString::number(next.restart);
    setImage1Top(next.top);
}

void frmAbout::Label11_Click() { frmShuoming::showInstance(this); }

void frmAbout::Label4_Click() { QDesktopServices::openUrl(QUrl(Label4->text())); }

void frmAbout::Label6_Click()
{
    QDesktopServices::openUrl(QUrl(QStringLiteral("tencent://message?uin=") + Label6->text()
                                   + QStringLiteral("&Site=好人&Menu=yes")));
}

void frmAbout::Label8_Click()
{
    // A bare address names no program to open it with; as a mailto: address
    // the desktop hands it to the mail program.
    QString address = Label8->text();
    if (!address.startsWith(QLatin1String("mailto:"), Qt::CaseInsensitive))
        address.prepend(QStringLiteral("mailto:"));
    QDesktopServices::openUrl(QUrl(address));
}

frmAbout *frmAbout::showInstance(QWidget *owner) { return ui::showSingleInstance(theInstance(), owner); }

frmAbout *frmAbout::instance() { return theInstance(); }
