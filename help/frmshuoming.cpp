#include "help/frmshuoming.h"

#include "resources/artwork.h"
#include "resources/texts.h"
#include "widgets/ui.h"

#include <QPointer>
#include <QScreen>

namespace {
QPointer<frmShuoming> &theInstance()
{
    static QPointer<frmShuoming> window;
    return window;
}
} // namespace

frmShuoming::frmShuoming(QWidget *owner)
    : QWidget(owner,
              Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint
                  | Qt::WindowCloseButtonHint)
{
    // A dialog-type window: the window manager keeps it above its owner (the
    // practice window or the About window).
    setWindowTitle(QStringLiteral("使用说明"));
    // Design client area 10995 × 8565 twips.
    resize(ui::px(10995), ui::px(8565));

    Text1 = new QPlainTextEdit(this);
    Text1->setReadOnly(true);
    // Read-only still lets the text be selected and copied.
    Text1->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Text1->setFont(ui::designFont(QStringLiteral("宋体"), 12));
    ui::place(Text1, 120, 120, 6615, 4335);
    // The text keeps its CR LF line ends in the resource; the box wants plain line feeds.
    QString text = resources::instructionsText();
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    Text1->setPlainText(text);
    Text1->moveCursor(QTextCursor::Start);

    Form_Load();
    // Centred on the screen the first time it is shown.
    ui::centreOnFirstShow(this, [this] {
        QScreen *s = parentWidget() ? parentWidget()->screen() : screen();
        return s ? s->availableGeometry() : frameGeometry();
    });
}

void frmShuoming::Form_Load() { setWindowIcon(resources::programIcon()); }

void frmShuoming::Form_Resize()
{
    const float width = ui::scaleWidth(this) - 90;
    const float height = ui::scaleHeight(this) - 90;
    // Too small to hold the margins: the box keeps its last place and size.
    if (width < 0 || height < 0)
        return;
    ui::place(Text1, 45, 45, width, height);
}

frmShuoming *frmShuoming::showInstance(QWidget *owner)
{
    return ui::showSingleInstance(theInstance(), owner);
}

frmShuoming *frmShuoming::instance() { return theInstance(); }

void frmShuoming::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    Form_Resize();
}
