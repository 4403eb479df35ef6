// A practice window on a bank in a temporary folder, with every message box
// answered and recorded.
#pragma once

#include "core/modpub.h"
#include "practice/frmmain.h"
#include "tests/support/testsupport.h"
#include "widgets/messagebox.h"

#include <QApplication>
#include <QSettings>
#include <memory>

struct Shown {
    QString text;
    MessageIcon icon;
    MessageButtons buttons;
};

class PracticeFixture
{
public:
    PracticeFixture()
    {
        modPub::setBankDirOverride(dir.path());
        ui::installFontSubstitutes();
        setMessageAnswerer([this](const QString &text, MessageIcon icon, MessageButtons buttons) {
            shown.append({text, icon, buttons});
            return buttons == MessageButtons::YesNo ? answer : MessageAnswer::Ok;
        });
    }
    ~PracticeFixture()
    {
        window.reset();
        setMessageAnswerer({});
        modPub::setBankDirOverride(QString());
    }

    QString bankPath() const { return modPub::bankPath(); }
    void writeBank(const QByteArray &bytes) { testsupport::writeBytes(bankPath(), bytes); }
    void writeBankText(const QString &text) { modPub::writeTextFile(bankPath(), text, true); }
    QByteArray bankBytes() const { return testsupport::fileBytes(bankPath()); }

    frmMain *open(bool show = true)
    {
        window = std::make_unique<frmMain>();
        if (show) {
            window->show();
            window->activateWindow();
            if (!QTest::qWaitForWindowActive(window.get()))
                qWarning("practice window not active");
        }
        return window.get();
    }
    QStringList texts() const
    {
        QStringList l;
        for (const Shown &s : shown)
            l << s.text;
        return l;
    }

    QTemporaryDir dir;
    QList<Shown> shown;
    MessageAnswer answer = MessageAnswer::Yes;
    std::unique_ptr<frmMain> window;
};

// Clears the stored settings between cases.
inline void clearSettings()
{
    QSettings s(QStringLiteral("LORVANTA"), QStringLiteral("LORVANTA"));
    s.clear();
    s.sync();
}
