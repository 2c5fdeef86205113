#pragma once

#include <QDir>
#include <QStringList>
#include <QTextDocument>

// The user manual as a rich-text document. Its pictures are drawn from the SVG
// sources at several times their size, so that they stay sharp in print:
// "qrc:/pic/<name>.png" (the address the window uses) is taken from
// <pictureDir>/<name>.svg, any other "<name>.svg" from the manual's own folder.
// A picture without width and height in the HTML gets the size its SVG
// declares, the size it has in the window.
class ManualDocument : public QTextDocument
{
public:
    ManualDocument(const QDir& _pictureDir, const QDir& _manualDir, QObject* _parent = nullptr);

    // Sets the HTML and sizes its pictures. Returns the picture addresses that
    // have no SVG source; the document is incomplete when the list is not empty.
    QStringList setManualHtml(const QString& _html);

protected:
    QVariant loadResource(int _type, const QUrl& _name) override;

private:
    QString svgPath(const QString& _address) const;

    QDir m_pictureDir;
    QDir m_manualDir;
};
