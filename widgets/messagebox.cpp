#include "widgets/messagebox.h"

#include "core/programversion.h"
#include "widgets/ui.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>

namespace {
MessageAnswerer &answerer()
{
    static MessageAnswerer a;
    return a;
}
} // namespace

void setMessageAnswerer(MessageAnswerer a) { answerer() = std::move(a); }

MessageAnswer showMessage(QWidget *parent, const QString &text, MessageIcon icon, MessageButtons buttons)
{
    if (answerer())
        return answerer()(text, icon, buttons);
    QMessageBox box(icon == MessageIcon::Information ? QMessageBox::Information : QMessageBox::NoIcon,
                    modPub::appTitle(), text, QMessageBox::NoButton, parent);
    // A box whose window is not on screen yet (a message during start-up)
    // is centred on the screen rather than on where that window would be.
    if (!parent || !parent->window()->isVisible()) {
        QScreen *screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
        if (screen)
            ui::centreOnFirstShow(&box, [screen] { return screen->availableGeometry(); });
    }
    if (buttons == MessageButtons::YesNo) {
        // Enter answers Yes, Escape and the close box No.
        QPushButton *yes = box.addButton(QStringLiteral("是(&Y)"), QMessageBox::YesRole);
        QPushButton *no = box.addButton(QStringLiteral("否(&N)"), QMessageBox::NoRole);
        box.setDefaultButton(yes);
        box.setEscapeButton(no);
        box.exec();
        return box.clickedButton() == no ? MessageAnswer::No : MessageAnswer::Yes;
    }
    box.addButton(QStringLiteral("确定"), QMessageBox::AcceptRole);
    box.exec();
    return MessageAnswer::Ok;
}
