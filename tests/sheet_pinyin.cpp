// Pinyin as schools write it: ā á ǎ à on the same single-storey ɑ as an
// untoned ɑ, on the practice card and in the copybook, the tone mark above it
// where the face puts it; ɡ single-storey too. Checked by pixels: the letter
// under each tone mark is the ɑ of the untoned item.
#include "sheet/pinyinglyphs.h"
#include "sheet/sheet.h"
#include "tests/support/practicefixture.h"

#include <QImage>
#include <QPainter>

using testsupport::child;

namespace {
const QStringList toned {QStringLiteral("ā"), QStringLiteral("á"), QStringLiteral("ǎ"), QStringLiteral("à")};

bool inked(const QImage &img, int x, int y) { return qGray(img.pixel(x, y)) < 160; }

// The box around the ink in `area`.
QRect inkBox(const QImage &img, const QRect &area)
{
    QRect box;
    const QRect r = area.intersected(img.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (inked(img, x, y))
                box = box.united(QRect(x, y, 1, 1));
    return box;
}

// Share of the ink of `a` in `area` that `b` does not have at the same place
// shifted by `dx`, and the other way round.
double mismatch(const QImage &a, const QImage &b, const QRect &area, int dx = 0)
{
    int ink = 0, differ = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const bool ia = a.rect().contains(x, y) && inked(a, x, y);
            const bool ib = b.rect().contains(x + dx, y) && inked(b, x + dx, y);
            ink += ia;
            differ += ia != ib;
        }
    return ink ? double(differ) / ink : 1.0;
}

int contourCount(const QFont &font, const QString &text)
{
    QPainterPath p;
    p.addText(0, 0, font, text);
    int n = 0;
    for (int i = 0; i < p.elementCount(); ++i)
        n += p.elementAt(i).isMoveTo();
    return n;
}
} // namespace

class SheetPinyin : public QObject
{
    Q_OBJECT
private slots:
    // The model of each pinyin row, painted at 10 pixels a millimetre so that
    // every row starts on a whole pixel: the letters under the marks are the
    // ɑ of the first row, pixel for pixel.
    void theCopybookWritesTonedAOnTheSingleStoreyAlpha()
    {
        ui::installFontSubstitutes();
        sheet::Options o;
        o.heading = false;
        o.tracingCopies = 0;
        // ɑ, the four toned a's, and ɑ with a combining macron as a hand-edited bank may hold it.
        const sheet::Sheet s(QStringLiteral("ɑ ā á ǎ à ɑ\u0304"), o);
        QImage page(2100, 2970, QImage::Format_RGB32);
        page.fill(Qt::white);
        {
            QPainter p(&page);
            s.paintPage(p, QRectF(page.rect()), 0);
        }
        const auto rowArea = [&](int row, int fromLine, int toLine, int inset) {
            const sheet::PinyinLines l = sheet::pinyinLines(s.geometry().rowRect(row));
            const QRectF r = s.geometry().rowRect(row);
            return QRect(QPoint(int(r.left() * 10), int(l.y[fromLine] * 10) + inset),
                         QPoint(int(r.right() * 10), int(l.y[toLine] * 10) - 1));
        };
        // The letter: from just under the top of the middle band down to the last line.
        const QRect alphaBody = rowArea(0, 1, 3, 3);
        QVERIFY(!inkBox(page, alphaBody).isEmpty());
        QVERIFY(inkBox(page, rowArea(0, 0, 1, 0).adjusted(0, 0, 0, -4)).isEmpty());
        const int pitch
            = int(std::lround((s.geometry().rowRect(1).top() - s.geometry().rowRect(0).top()) * 10));
        QCOMPARE(pitch, 180);
        for (int row = 1; row <= 4; ++row) {
            QImage shifted = page.copy(alphaBody.translated(0, row * pitch));
            QImage alpha = page.copy(alphaBody);
            const double m = mismatch(alpha, shifted, alpha.rect());
            QVERIFY2(m < 0.005, qPrintable(QStringLiteral("%1: %2").arg(toned.at(row - 1)).arg(m)));
            // The mark lies in the top band, over the letter.
            const QRect mark = inkBox(page, rowArea(row, 0, 1, 0).adjusted(0, 0, 0, -4));
            const QRect body = inkBox(page, alphaBody.translated(0, row * pitch));
            QVERIFY2(!mark.isEmpty(), qPrintable(toned.at(row - 1)));
            QVERIFY(mark.center().x() > body.left() && mark.center().x() < body.right());
        }
        // ɑ with a combining macron is the same as ā.
        const QRect macron = rowArea(1, 0, 3, 0);
        QCOMPARE(mismatch(page.copy(macron), page.copy(macron.translated(0, 4 * pitch)),
                          QRect(QPoint(), macron.size())),
                 0.0);
        // The text itself is as it was.
        QCOMPARE(pinyinglyphs::bodyText(QStringLiteral("zhuā")), QStringLiteral("zhuɑ"));
        QVERIFY(!pinyinglyphs::hasTonedA(QStringLiteral("ɑ ō ɡ")));
    }

    // The practice card: each toned a is the card's ɑ, the caption is the item.
    void theCardShowsTonedAOnTheSingleStoreyAlpha()
    {
        PracticeFixture f;
        f.writeBankText(QStringLiteral("ɑ ā á ǎ à ɡ"));
        frmMain *w = f.open();
        const auto shot = [&] {
            child<QLabel>(w, "lblChar")->repaint();
            return child<QLabel>(w, "lblChar")->grab().toImage().convertToFormat(QImage::Format_RGB32);
        };
        const QImage alpha = shot();
        const QRect alphaInk = inkBox(alpha, alpha.rect());
        QVERIFY(alphaInk.height() > 20);
        // The letter's rows, less the few at its top where a mark may come close.
        const QRect body(QPoint(0, alphaInk.top() + 3), QPoint(alpha.width() - 1, alphaInk.bottom()));
        for (const QString &item : toned) {
            QTest::keyClick(w->windowHandle(), Qt::Key_Right);
            QCOMPARE(child<QLabel>(w, "lblChar")->text(), item);
            const QImage card = shot();
            QCOMPARE(card.height(), alpha.height());
            const QRect ink
                = inkBox(card, QRect(QPoint(0, body.top()), QPoint(card.width() - 1, body.bottom())));
            const double m = mismatch(alpha, card, body, ink.left() - inkBox(alpha, body).left());
            QVERIFY2(m < 0.05, qPrintable(QStringLiteral("%1: %2").arg(item).arg(m)));
            // And a mark above it.
            QVERIFY2(!inkBox(card, QRect(0, 0, card.width(), alphaInk.top() - 1)).isEmpty(),
                     qPrintable(item));
        }
        // ɡ: the pinyin face draws it with one counter, single-storey.
        QTest::keyClick(w->windowHandle(), Qt::Key_Right);
        QCOMPARE(child<QLabel>(w, "lblChar")->text(), QStringLiteral("ɡ"));
        QCOMPARE(contourCount(child<QLabel>(w, "lblChar")->font(), QStringLiteral("ɡ")), 2);
    }
};

LORVANTA_TEST_MAIN(SheetPinyin, QApplication)
#include "sheet_pinyin.moc"
