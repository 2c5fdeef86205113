#include <QTextBlock>
#include <QTextDocument>
#include <QtTest>

#include "ManualDocument.h"

// The manual names its pictures by the addresses the window uses and prints
// them from their SVG sources at the size they have in the window.
class tst_ManualDocument : public QObject
{
    Q_OBJECT
private slots:
    void pictureSize_data();
    void pictureSize();
    void unknownPicturesAreReported();
    void picturesArePrintedFromTheirSource();
};

namespace {

QList<QTextImageFormat> pictures(const QTextDocument& _document)
{
    QList<QTextImageFormat> result;
    for (QTextBlock block = _document.begin(); block.isValid(); block = block.next()) {
        for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it) {
            if (it.fragment().charFormat().isImageFormat())
                result.append(it.fragment().charFormat().toImageFormat());
        }
    }
    return result;
}

} // namespace

void tst_ManualDocument::pictureSize_data()
{
    QTest::addColumn<QString>("html");
    QTest::addColumn<QSizeF>("size");
    QTest::newRow("window picture, own size") << "<img src=\"qrc:/pic/help_hint.png\">" << QSizeF(64, 64);
    QTest::newRow("width given") << "<img src=\"qrc:/pic/help_stick.png\" width=\"50\">" << QSizeF(50, 32);
    QTest::newRow("height given") << "<img src=\"qrc:/pic/help_stick.png\" height=\"32\">" << QSizeF(50, 32);
    QTest::newRow("both given") << "<img src=\"qrc:/pic/help_wait.png\" width=\"10\" height=\"30\">" << QSizeF(10, 30);
    QTest::newRow("manual's own picture")
        << "<p>text <img src=\"window_en_GB.svg\" width=\"340\"> text</p>" << QSizeF(340, 218);
    QTest::newRow("inside a table")
        << "<table><tr><td>a</td><td><img src=\"qrc:/pic/update_arrow.png\"></td></tr></table>" << QSizeF(16, 12);
}

void tst_ManualDocument::pictureSize()
{
    QFETCH(QString, html);
    QFETCH(QSizeF, size);

    ManualDocument document(QDir(LUMORAN_PICTURE_SOURCES), QDir(LUMORAN_MANUAL_SOURCES));
    QCOMPARE(document.setManualHtml(html), QStringList());
    const QList<QTextImageFormat> found = pictures(document);
    QCOMPARE(found.size(), 1);
    QCOMPARE(QSizeF(found.first().width(), found.first().height()), size);
}

void tst_ManualDocument::unknownPicturesAreReported()
{
    ManualDocument document(QDir(LUMORAN_PICTURE_SOURCES), QDir(LUMORAN_MANUAL_SOURCES));
    const QStringList missing =
        document.setManualHtml("<img src=\"qrc:/pic/checkmark.png\"><img src=\"qrc:/pic/no_such_picture.png\">"
                               "<img src=\"https://example.com/logo.png\"><img src=\"screenshot.png\">");
    QCOMPARE(missing, QStringList({"qrc:/pic/no_such_picture.png", "https://example.com/logo.png", "screenshot.png"}));
}

void tst_ManualDocument::picturesArePrintedFromTheirSource()
{
    ManualDocument document(QDir(LUMORAN_PICTURE_SOURCES), QDir(LUMORAN_MANUAL_SOURCES));
    document.setManualHtml("<img src=\"qrc:/pic/help_hint.png\">");
    const QImage image =
        document.resource(QTextDocument::ImageResource, QUrl("qrc:/pic/help_hint.png")).value<QImage>();
    // Several times the window's pixels, so that print stays sharp.
    QVERIFY(image.width() >= 4 * 64);
    QCOMPARE(image.width(), image.height());
    QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
    QVERIFY(qAlpha(image.pixel(image.width() / 2, image.height() / 2)) > 0);
}

QTEST_GUILESS_MAIN(tst_ManualDocument)
#include "tst_manualdocument.moc"
