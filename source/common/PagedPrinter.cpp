#include "PagedPrinter.h"

#include <QAbstractTextDocumentLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QTextDocument>

namespace {
void drawFooter(QPainter& _painter, const QRectF& _area, const QString& _text, int _page, int _pages, qreal _pointSize,
                int _resolution)
{
    _painter.save();
    QFont font("DejaVu Sans");
    font.setPointSizeF(_pointSize);
    _painter.setFont(font);
    _painter.setPen(QPen(QColor("#aab2bd"), _resolution / 150.0));
    _painter.drawLine(_area.topLeft(), _area.topRight());
    _painter.setPen(QColor("#4d5968"));
    const QRectF textArea = _area.adjusted(0, _area.height() / 3, 0, 0);
    _painter.drawText(textArea, Qt::AlignLeft | Qt::AlignTop, _text);
    _painter.drawText(textArea, Qt::AlignRight | Qt::AlignTop, QString("%1 / %2").arg(_page).arg(_pages));
    _painter.restore();
}
} // namespace

bool PagedPrinter::print(QTextDocument& _document, QPdfWriter& _writer, const QString& _footer, qreal _footerMm,
                         qreal _footerPointSize)
{
    _document.documentLayout()->setPaintDevice(&_writer);
    _document.setDocumentMargin(0);
    const qreal footerHeight = _footerMm / 25.4 * _writer.resolution();
    const QSizeF body(_writer.width(), _writer.height() - footerHeight);
    _document.setPageSize(body);

    QPainter painter;
    if (!painter.begin(&_writer))
        return false;
    const int pages = _document.pageCount();
    for (int page = 0; page < pages; ++page) {
        if (page > 0)
            _writer.newPage();
        const QRectF pageRect(0, page * body.height(), body.width(), body.height());
        painter.save();
        painter.translate(0, -pageRect.top());
        _document.drawContents(&painter, pageRect);
        painter.restore();
        drawFooter(painter, QRectF(0, body.height(), body.width(), footerHeight), _footer, page + 1, pages,
                   _footerPointSize, _writer.resolution());
    }
    return painter.end();
}
