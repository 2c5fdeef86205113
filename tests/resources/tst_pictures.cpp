#include <QImage>
#include <QImageReader>
#include <QRegularExpression>
#include <QtTest>

#include "version.h"

// Every picture the window, the help texts and the tables address must be in
// the resources, at the size the window lays it out for.
class tst_Pictures : public QObject
{
    Q_OBJECT
private slots:
    void picture_data();
    void picture();
    void noPictureMissingOrExtra();
    void programIcon();
    void versionResource();
};

namespace {

struct ExpectedPicture
{
    const char* path;
    int width;
    int height;
};

const ExpectedPicture kPictures[] = {
    {"/pic/TarnLogo.png", 132, 48},          {"/pic/checkbox_checked.png", 20, 20},
    {"/pic/checkbox_unchecked.png", 20, 20}, {"/pic/checkbox_disabled.png", 20, 20},
    {"/pic/checkmark.png", 20, 20},          {"/pic/error.png", 20, 20},
    {"/pic/error_light.png", 20, 20},        {"/pic/update_arrow.png", 16, 12},
    {"/pic/help_action.png", 64, 64},        {"/pic/help_fail.png", 64, 64},
    {"/pic/help_hint.png", 64, 64},          {"/pic/help_press_one.png", 56, 64},
    {"/pic/help_press_two.png", 56, 64},     {"/pic/help_stick.png", 100, 64},
    {"/pic/help_wait.png", 48, 64},          {"/pic/question.png", 24, 24},
};

int visiblePixels(const QImage& _image)
{
    int count = 0;
    for (int y = 0; y < _image.height(); ++y) {
        for (int x = 0; x < _image.width(); ++x) {
            if (qAlpha(_image.pixel(x, y)) > 0)
                ++count;
        }
    }
    return count;
}

} // namespace

void tst_Pictures::picture_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QSize>("size");
    for (const ExpectedPicture& picture : kPictures)
        QTest::newRow(picture.path) << QString(picture.path) << QSize(picture.width, picture.height);
}

void tst_Pictures::picture()
{
    QFETCH(QString, path);
    QFETCH(QSize, size);

    const QImage image(":" + path);
    QVERIFY2(!image.isNull(), qPrintable(path));
    QCOMPARE(image.size(), size);
    // Drawn on a transparent ground, so they sit on white and on the grey of
    // alternate table rows alike; and something must actually be drawn.
    QVERIFY(image.hasAlphaChannel());
    QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
    QVERIFY(visiblePixels(image) > image.width() * image.height() / 10);

    // And at twice the size for screens of twice the resolution.
    const QImage large(":" + QString(path).replace(".png", "@2x.png"));
    QCOMPARE(large.size(), size * 2);
    QCOMPARE(qAlpha(large.pixel(0, 0)), 0);
    QVERIFY(visiblePixels(large) > large.width() * large.height() / 10);
}

void tst_Pictures::noPictureMissingOrExtra()
{
    QStringList expected;
    for (const ExpectedPicture& picture : kPictures) {
        expected.append(QString(picture.path).mid(5));
        expected.append(QString(picture.path).mid(5).replace(".png", "@2x.png"));
    }
    expected.append("tarn_icon.ico");
    expected.sort();

    QStringList present = QDir(":/pic").entryList(QDir::Files);
    present.sort();
    QCOMPARE(present, expected);
}

void tst_Pictures::programIcon()
{
    QImageReader reader(":/pic/tarn_icon.ico");
    QCOMPARE(reader.format(), QByteArray("ico"));
    QCOMPARE(reader.imageCount(), 4);

    QList<int> edges;
    for (int i = 0; i < reader.imageCount(); ++i) {
        QVERIFY(reader.jumpToImage(i));
        const QImage image = reader.read();
        QVERIFY2(!image.isNull(), qPrintable(reader.errorString()));
        QCOMPARE(image.width(), image.height());
        QVERIFY(visiblePixels(image) > image.width() * image.height() / 2);
        edges.append(image.width());
    }
    std::sort(edges.begin(), edges.end());
    QCOMPARE(edges, QList<int>({16, 32, 48, 256}));
}

void tst_Pictures::versionResource()
{
    QFile file(":/resource.rc");
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString rc = QString::fromUtf8(file.readAll());

    const QString numbers =
        QString("%1,%2,%3,0").arg(LUMORAN_VERSION_MAJOR).arg(LUMORAN_VERSION_MINOR).arg(LUMORAN_VERSION_PATCH);
    for (const char* key : {"FILEVERSION", "PRODUCTVERSION"}) {
        const QRegularExpressionMatch match =
            QRegularExpression(QString("^\\s*%1\\s+([0-9, ]+)$").arg(key), QRegularExpression::MultilineOption)
                .match(rc);
        QVERIFY2(match.hasMatch(), key);
        QCOMPARE(match.captured(1).remove(' '), numbers);
    }

    const auto value = [&rc](const QString& _name) {
        const QRegularExpression pattern(QString("VALUE \"%1\", \"([^\"\\\\]*)(\\\\0)?\"").arg(_name));
        return pattern.match(rc).captured(1);
    };
    QCOMPARE(value("FileVersion"), QString(LUMORAN_VERSION_TEXT));
    QCOMPARE(value("ProductVersion"), QString(LUMORAN_VERSION_TEXT));
    QCOMPARE(value("ProductName"), QString(LUMORAN_APPLICATION_NAME));
    QCOMPARE(value("CompanyName"), QString(LUMORAN_ORGANISATION_NAME));

    // The icon it names is the one rendered into the resources.
    const QRegularExpressionMatch icon = QRegularExpression("ICON\\s+\"([^\"]+)\"").match(rc);
    QVERIFY(icon.hasMatch());
    QVERIFY(QFile::exists(":/" + icon.captured(1)));
}

QTEST_GUILESS_MAIN(tst_Pictures)
#include "tst_pictures.moc"
