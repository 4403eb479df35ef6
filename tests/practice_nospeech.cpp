// Read-aloud when the speech module cannot be loaded: a broken module file
// stands where the module is looked for. Nothing can be spoken; no box
// opens, but from the first item that could not be spoken the 朗读 box says
// why and the loudspeaker is greyed.
#include "core/modules.h"
#include "resources/artwork.h"
#include "speech/speechengine.h"
#include "tests/support/practicefixture.h"

using testsupport::child;

using namespace modPub;

namespace {
// Whether the picture has colour in it (the blue loudspeaker), and whether it has anything drawn at all.
bool hasColour(const QImage &image)
{
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < rgb.height(); ++y)
        for (int x = 0; x < rgb.width(); ++x) {
            const QColor c = rgb.pixelColor(x, y);
            if (std::abs(c.red() - c.blue()) > 16 || std::abs(c.green() - c.blue()) > 16)
                return true;
        }
    return false;
}

bool hasInk(const QImage &image)
{
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < rgb.height(); ++y)
        for (int x = 0; x < rgb.width(); ++x)
            if (qGray(rgb.pixel(x, y)) < 200)
                return true;
    return false;
}
} // namespace

class PracticeNoSpeech : public QObject
{
    Q_OBJECT
    QTemporaryDir modulesDir;

private slots:
    void initTestCase()
    {
        // Before anything asks for the module: its first answer holds for the run.
        QVERIFY(!modules::attempted(modules::fileName<SpeechEngineFactory>()));
        QVERIFY(testsupport::writeBytes(modulesDir.filePath(modules::fileName<SpeechEngineFactory>()),
                                        "not a module\n"));
        modules::setSearchFolder(modulesDir.path());
        clearSettings();
    }

    void readAloudSaysWhyItIsSilent()
    {
        PracticeFixture f;
        f.writeBankText(QStringLiteral("天 地 ɑ"));
        frmMain *w = f.open();
        // Nothing is said before anything was to be spoken.
        QVERIFY(child<QCheckBox>(w, "Check2")->toolTip().isEmpty());
        QVERIFY(hasColour(child<QLabel>(w, "Image3")->pixmap().toImage()));

        child<QCheckBox>(w, "Check2")->setChecked(true);
        w->cmdAfter_Click();
        QVERIFY(!w->speechEngine());
        const QString why = child<QCheckBox>(w, "Check2")->toolTip();
        QVERIFY2(why.contains(QStringLiteral("朗读不可用"))
                     && why.contains(modules::fileName<SpeechEngineFactory>()),
                 qPrintable(why));
        QCOMPARE(child<QLabel>(w, "Image3")->toolTip(), why);
        const QImage grey = child<QLabel>(w, "Image3")->pixmap().toImage();
        QVERIFY(!hasColour(grey));
        QVERIFY(hasInk(grey));
        QCOMPARE(grey.size(), resources::speakerPicture().size());

        // Every way of reading goes on quietly: no box, the window usable.
        QTest::keyClick(w->windowHandle(), Qt::Key_Space);
        w->Image3_Click();
        w->cmdAfter_Click();
        QCOMPARE(w->caption(), QStringLiteral("ɑ"));
        QVERIFY(f.shown.isEmpty());
        QCOMPARE(child<QCheckBox>(w, "Check2")->toolTip(), why);
        QCOMPARE(child<QCheckBox>(w, "Check2")->checkState(), Qt::Checked);
    }
};

LORVANTA_TEST_MAIN(PracticeNoSpeech, QApplication)
#include "practice_nospeech.moc"
