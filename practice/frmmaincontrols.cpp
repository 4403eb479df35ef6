// The practice window's controls, made and placed as the window's design
// has them (positions and sizes in twips), and their signals connected. The
// behaviour is in frmmain.cpp.
#include "practice/frmmain.h"

#include "practice/cardlabel.h"
#include "practice/counterbutton.h"
#include "practice/frmsheet.h"

#include "core/programversion.h"
#include "resources/artwork.h"
#include "rules/layout.h"

using namespace modPub;

void frmMain::createControls()
{
    setWindowTitle(programTitle());
    setWindowIcon(resources::programIcon());
    // Design client area 12450 × 7695 twips.
    resize(ui::px(12450), ui::px(7695));
    // What the controls start from before they get their own fonts: a face
    // the window shows anyway, so that creating a line edit loads no other.
    setFont(ui::designFont(QStringLiteral("宋体"), 10.5));

    // The card first, so that the item and the loudspeaker lie above it.
    lblBack = new ui::ClickLabel(this);
    ui::setBackground(lblBack, QColor(204, 237, 199));
    ui::place(lblBack, 0, 600, 1575, 1455);

    createTopBar();
    createButtonBar();
    createCard();

    Timer1 = new QTimer(this);
    Timer1->setInterval(2000);
    Timer2 = new QTimer(this);
    Timer2->setInterval(800);

    // Labels and pictures are painted on the window, beneath every control
    // that is a window of its own; the item and the loudspeaker lie just above
    // the card, beneath everything else. A large item must never take the
    // clicks of the buttons, the check boxes or the links it overlaps.
    for (QWidget *own : {static_cast<QWidget *>(Check2), static_cast<QWidget *>(Check1),
                         static_cast<QWidget *>(Text2), Picture1, static_cast<QWidget *>(Text1)})
        own->raise();
    Image3->lower();
    lblChar->lower();
    lblBack->lower();

    // Each control under its own name, so that findChild reaches it (the tests do).
    const std::pair<QObject *, const char *> named[]
        = {{Check2, "Check2"},       {Check1, "Check1"},       {Text2, "Text2"},
           {Label3, "Label3"},       {Label4, "Label4"},       {lblShuoming, "lblShuoming"},
           {lblAbout, "lblAbout"},   {imgBofang, "imgBofang"}, {Label2, "Label2"},
           {Image3, "Image3"},       {Picture1, "Picture1"},   {cmdSet, "cmdSet"},
           {cmdBefore, "cmdBefore"}, {cmdAfter, "cmdAfter"},   {Command2, "Command2"},
           {Command1, "Command1"},   {lblChar, "lblChar"},     {lblBack, "lblBack"},
           {Text1, "Text1"},         {Timer1, "Timer1"},       {Timer2, "Timer2"}};
    for (const auto &[control, name] : named)
        control->setObjectName(QLatin1String(name));

    connectControls();
}

// The top bar: autoplay, its interval, 朗读 and 每轮打乱一下, the clock, the links.
void frmMain::createTopBar()
{
    const QColor white(255, 255, 255);
    Check2 = new QCheckBox(QStringLiteral("朗读"), this);
    Check2->setFont(ui::designFont(QStringLiteral("宋体"), 12));
    ui::setBackground(Check2, white);
    ui::place(Check2, 6240, 97, 975, 300);
    // Clicked, the two boxes leave the keyboard where restoreFocus put it, so
    // that the next Space reads the item instead of unticking the box; Tab
    // still reaches them.
    Check2->setFocusPolicy(Qt::TabFocus);

    Check1 = new QCheckBox(QStringLiteral("每轮打乱一下"), this);
    Check1->setFont(ui::designFont(QStringLiteral("宋体"), 12));
    ui::setBackground(Check1, white);
    ui::place(Check1, 4200, 97, 1935, 300);
    Check1->setFocusPolicy(Qt::TabFocus);
    Check1->hide();

    Text2 = new QLineEdit(this);
    Text2->setAlignment(Qt::AlignCenter);
    Text2->setMaxLength(6);
    // The box is 41 px wide; the line edit's own 2 px padding on each side
    // would leave too little room for six digits inside the frame.
    Text2->setTextMargins(-2, 0, -2, 0);
    // The font before the text, so that "5" is laid out once.
    Text2->setFont(ui::designFont(QStringLiteral("Arial Narrow"), 10.5));
    Text2->setText(QStringLiteral("5"));
    ui::place(Text2, 3000, 60, 615, 375);
    Text2->hide();

    Label3 = new QLabel(QStringLiteral("秒"), this);
    Label3->setFont(ui::designFont(QStringLiteral("宋体"), 12));
    ui::move(Label3, 3720, 127);
    Label3->adjustSize();
    Label3->hide();

    Label4 = new QLabel(this);
    Label4->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Label4->setFont(ui::designFont(QStringLiteral("Arial Narrow"), 12));
    ui::place(Label4, 9720, 97, 60, 300);

    lblShuoming = new ui::ClickLabel(QStringLiteral("使用说明"), this);
    lblShuoming->setFont(ui::designFont(QStringLiteral("微软雅黑"), 10.5));
    ui::setTextColour(lblShuoming, QColor(255, 128, 0));
    lblShuoming->setCursor(Qt::PointingHandCursor);
    ui::move(lblShuoming, 10800, 90);
    lblShuoming->adjustSize();

    lblAbout = new ui::ClickLabel(QStringLiteral("关于"), this);
    lblAbout->setFont(ui::designFont(QStringLiteral("微软雅黑"), 10.5));
    ui::setTextColour(lblAbout, QColor(128, 128, 128));
    lblAbout->setCursor(Qt::PointingHandCursor);
    ui::move(lblAbout, 11880, 90);
    lblAbout->adjustSize();

    Image1 = QPixmap::fromImage(resources::playPicture());
    Image2 = QPixmap::fromImage(resources::stopPicture());

    imgBofang = new ui::ClickLabel(this);
    imgBofang->setScaledContents(true);
    imgBofang->setPixmap(Image1);
    imgBofang->setCursor(Qt::PointingHandCursor);
    ui::place(imgBofang, 120, 60, 375, 375);

    Label2 = new ui::ClickLabel(QStringLiteral("点击这里自动播放"), this);
    Label2->setFont(ui::designFont(QStringLiteral("宋体"), 12));
    ui::setBackground(Label2, QColor(255, 192, 128));
    ui::setTextColour(Label2, white);
    Label2->setCursor(Qt::PointingHandCursor);
    ui::move(Label2, 555, 127);
    Label2->adjustSize();
}

// The button bar beneath the card, in Picture1.
void frmMain::createButtonBar()
{
    Picture1 = new QWidget(this);
    ui::place(Picture1, 360, 5040, layout::picture1Width, layout::picture1Height);

    cmdSet = new CounterButton(QStringLiteral("我的生字库"), Picture1);
    ui::setBackground(cmdSet, QColor(255, 224, 192));
    ui::place(cmdSet, 0, 0, 1815, 495);
    cmdBefore = new QPushButton(QStringLiteral("<< 上一个"), Picture1);
    ui::place(cmdBefore, 2040, 0, 1575, 495);
    cmdAfter = new QPushButton(QStringLiteral("下一个 >>"), Picture1);
    ui::place(cmdAfter, 3600, 0, 1575, 495);
    Command2 = new QPushButton(QStringLiteral("已会,删除(&D)"), Picture1);
    ui::setBackground(Command2, QColor(255, 192, 192));
    ui::place(Command2, 5400, 0, 1575, 495);
    Command1 = new QPushButton(QStringLiteral("查看笔顺(&V)"), Picture1);
    ui::place(Command1, 7080, 0, 1575, 495);
    const QFont buttonFont = ui::designFont(QStringLiteral("宋体"), 10.5);
    for (QPushButton *b : {cmdSet, cmdBefore, cmdAfter, Command2, Command1})
        b->setFont(buttonFont);
}

// The item and the loudspeaker on the card, and the hidden focus box.
void frmMain::createCard()
{
    // Toned a's of a pinyin item on the single-storey ɑ.
    lblChar = new CardLabel(this);
    lblChar->setTextFormat(Qt::PlainText);
    lblChar->setAlignment(Qt::AlignCenter);
    ui::setTextColour(lblChar, QColor(64, 64, 64));
    lblChar->setFont(ui::designFont(QStringLiteral("Arial"), 72));
    ui::place(lblChar, 4440, 480, 435, 1695);

    Image3 = new ui::ClickLabel(this);
    Image3->setPixmap(QPixmap::fromImage(resources::speakerPicture()));
    Image3->setScaledContents(true);
    Image3->setCursor(Qt::PointingHandCursor);
    ui::place(Image3, 7320, 4200, 210, 165);

    Text1 = new QLineEdit(this);
    Text1->setReadOnly(true);
    Text1->setFocusPolicy(Qt::ClickFocus);
    ui::place(Text1, 0, 1800, 255, 270);
}

void frmMain::connectControls()
{
    connect(cmdBefore, &QPushButton::clicked, this, &frmMain::cmdBefore_Click);
    connect(cmdAfter, &QPushButton::clicked, this, &frmMain::cmdAfter_Click);
    connect(cmdSet, &QPushButton::clicked, this, &frmMain::cmdSet_Click);
    connect(Command1, &QPushButton::clicked, this, &frmMain::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &frmMain::Command2_Click);
    connect(Label2, &ui::ClickLabel::clicked, this, &frmMain::Label2_Click);
    connect(imgBofang, &ui::ClickLabel::clicked, this, &frmMain::imgBofang_Click);
    connect(lblChar, &ui::ClickLabel::clicked, this, &frmMain::lblChar_Click);
    connect(Image3, &ui::ClickLabel::clicked, this, &frmMain::Image3_Click);
    connect(lblBack, &ui::ClickLabel::clicked, this, &frmMain::lblBack_Click);
    connect(lblShuoming, &ui::ClickLabel::clicked, this, &frmMain::lblShuoming_Click);
    connect(lblAbout, &ui::ClickLabel::clicked, this, &frmMain::lblAbout_Click);
    connect(Text2, &QLineEdit::textChanged, this, &frmMain::Text2_Change);
    connect(Timer1, &QTimer::timeout, this, &frmMain::Timer1_Timer);
    connect(Timer2, &QTimer::timeout, this, &frmMain::Timer2_Timer);
    // The card's context menu and the shortcuts of what it offers.
    attachCardMenu({lblChar, lblBack});

    Text2->installEventFilter(this);
}
