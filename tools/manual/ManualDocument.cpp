#include "ManualDocument.h"

#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <QTextBlock>
#include <QTextCursor>
#include <QUrl>
#include <QVector>

namespace {
// Print resolution of the pictures: four times the window's pixels gives about
// 380 dpi at the size they are printed.
constexpr int kPictureScale = 4;
const QString kPicturePrefix = QStringLiteral("qrc:/pic/");
} // namespace

ManualDocument::ManualDocument(const QDir& _pictureDir, const QDir& _manualDir, QObject* _parent)
    : QTextDocument(_parent), m_pictureDir(_pictureDir), m_manualDir(_manualDir)
{}

QString ManualDocument::svgPath(const QString& _address) const
{
    if (_address.startsWith(kPicturePrefix) && _address.endsWith(".png")) {
        const QString name = _address.mid(kPicturePrefix.size()).chopped(4);
        return m_pictureDir.filePath(name + ".svg");
    }
    if (_address.endsWith(".svg") && !_address.contains(':'))
        return m_manualDir.filePath(_address);
    return QString();
}

QStringList ManualDocument::setManualHtml(const QString& _html)
{
    setHtml(_html);

    struct Picture
    {
        int position;
        int length;
        QTextImageFormat format;
    };
    QVector<Picture> pictures;
    QStringList missing;
    for (QTextBlock block = begin(); block.isValid(); block = block.next()) {
        for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!fragment.charFormat().isImageFormat())
                continue;
            QTextImageFormat format = fragment.charFormat().toImageFormat();
            const QString path = svgPath(format.name());
            if (!QFileInfo::exists(path)) {
                missing.append(format.name());
                continue;
            }
            QSvgRenderer renderer(path);
            if (!renderer.isValid()) {
                missing.append(format.name());
                continue;
            }
            const QSizeF size = renderer.defaultSize();
            if (format.width() <= 0 && format.height() <= 0) {
                format.setWidth(size.width());
                format.setHeight(size.height());
            } else if (format.height() <= 0) {
                format.setHeight(format.width() * size.height() / size.width());
            } else if (format.width() <= 0) {
                format.setWidth(format.height() * size.width() / size.height());
            }
            pictures.append({fragment.position(), fragment.length(), format});
        }
    }
    for (const Picture& picture : pictures) {
        QTextCursor cursor(this);
        cursor.setPosition(picture.position);
        cursor.setPosition(picture.position + picture.length, QTextCursor::KeepAnchor);
        cursor.setCharFormat(picture.format);
    }
    return missing;
}

QVariant ManualDocument::loadResource(int _type, const QUrl& _name)
{
    if (_type != QTextDocument::ImageResource)
        return QTextDocument::loadResource(_type, _name);
    const QString path = svgPath(_name.toString());
    if (!QFileInfo::exists(path))
        return QVariant();
    QSvgRenderer renderer(path);
    if (!renderer.isValid())
        return QVariant();
    QImage image(renderer.defaultSize() * kPictureScale, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter);
    painter.end();
    return image;
}
