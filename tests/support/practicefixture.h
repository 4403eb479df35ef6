// A practice window on a bank in a temporary folder, with every message box
// answered and recorded.
#pragma once

#include "core/bankfile.h"
#include "practice/frmmain.h"
#include "tests/support/messagerecorder.h"
#include "tests/support/testsupport.h"

#include <QApplication>
#include <QSettings>
#include <memory>

class PracticeFixture : public MessageRecorder
{
public:
    PracticeFixture()
    {
        modPub::setBankDirOverride(dir.path());
        ui::installFontSubstitutes();
    }
    ~PracticeFixture()
    {
        window.reset();
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
    QTemporaryDir dir;
    std::unique_ptr<frmMain> window;
};

// Clears the stored settings between cases.
inline void clearSettings()
{
    QSettings s(QStringLiteral("LORVANTA"), QStringLiteral("LORVANTA"));
    s.clear();
    s.sync();
}
