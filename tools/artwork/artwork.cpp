// Renders the hand-drawn SVG sources of the tool's pictures at build time:
//   lumoran-artwork png <source.svg> <target.png> [<width>x<height>]
//   lumoran-artwork ico <source.svg> <target.ico> <size> [<size>...]
// Without a size a PNG gets the size the SVG declares, which is the size the
// window shows it at.

#include <cstdio>

#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSaveFile>
#include <QStringList>
#include <QSvgRenderer>
#include <QVector>

#include "IcoFile.h"

namespace {

int fail(const QString& _text)
{
    std::fprintf(stderr, "lumoran-artwork: %s\n", qPrintable(_text));
    return 1;
}

bool hasVisiblePixel(const QImage& _image)
{
    for (int y = 0; y < _image.height(); ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(_image.constScanLine(y));
        for (int x = 0; x < _image.width(); ++x) {
            if (qAlpha(line[x]) != 0)
                return true;
        }
    }
    return false;
}

QImage render(QSvgRenderer& _renderer, const QSize& _size)
{
    QImage image(_size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    _renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(_size)));
    painter.end();
    return image.convertToFormat(QImage::Format_ARGB32);
}

bool parseSize(const QString& _text, QSize& _size)
{
    const QStringList parts = _text.split('x');
    bool okWidth = false;
    bool okHeight = parts.size() == 2;
    const int width = parts.value(0).toInt(&okWidth);
    const int height = parts.value(1).toInt(&okHeight);
    if (!okWidth || !okHeight || width <= 0 || height <= 0 || width > 4096 || height > 4096)
        return false;
    _size = QSize(width, height);
    return true;
}

bool writeFile(const QString& _path, const QByteArray& _data)
{
    QSaveFile file(_path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(_data);
    return file.commit();
}

// The square sizes of an icon's pictures; an error text, or empty.
QString iconSizes(const QStringList& _args, QVector<QSize>& _sizes)
{
    for (const QString& arg : _args) {
        bool ok = false;
        const int edge = arg.toInt(&ok);
        if (!ok || edge <= 0 || edge > 256)
            return QString("icon size %1 is not between 1 and 256").arg(arg);
        _sizes.append(QSize(edge, edge));
    }
    return _sizes.isEmpty() ? QString("ico needs at least one size") : QString();
}

} // namespace

int main(int argc, char* argv[])
{
    // Fonts and the raster engine need a GUI application, but no screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    const QStringList args = app.arguments();
    if (args.size() < 4 || (args[1] != "png" && args[1] != "ico"))
        return fail("usage: png <source.svg> <target.png> [<w>x<h>] | ico <source.svg> <target.ico> <size>...");
    const QString mode = args[1];
    const QString source = args[2];
    const QString target = args[3];

    QSvgRenderer renderer(source);
    if (!renderer.isValid())
        return fail(QString("cannot read %1").arg(source));

    QVector<QSize> sizes;
    if (mode == "png") {
        QSize size = renderer.defaultSize();
        if (args.size() > 5 || (args.size() == 5 && !parseSize(args[4], size)))
            return fail("png takes one size <width>x<height>");
        sizes.append(size);
    } else {
        const QString error = iconSizes(args.mid(4), sizes);
        if (!error.isEmpty())
            return fail(error);
    }

    QVector<QImage> images;
    for (const QSize& size : sizes) {
        const QImage image = render(renderer, size);
        // An SVG that Qt reads but cannot draw (unsupported elements only)
        // would otherwise end up as an invisible picture in the window.
        if (!hasVisiblePixel(image))
            return fail(QString("%1 renders empty at %2x%3").arg(source).arg(size.width()).arg(size.height()));
        images.append(image);
    }

    QByteArray data;
    if (mode == "png") {
        QBuffer buffer(&data);
        buffer.open(QIODevice::WriteOnly);
        if (!images.first().save(&buffer, "PNG"))
            return fail(QString("cannot encode %1").arg(target));
    } else {
        data = IcoFile::build(images);
        if (data.isEmpty())
            return fail(QString("cannot encode %1").arg(target));
    }
    if (!writeFile(target, data))
        return fail(QString("cannot write %1").arg(target));
    return 0;
}
