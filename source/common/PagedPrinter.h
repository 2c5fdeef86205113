#pragma once

#include <QtGlobal>

class QPdfWriter;
class QString;
class QTextDocument;

// Prints a rich-text document to a PDF writer page by page, with a thin rule
// and a footer line on every page: the footer text on the left, "page / pages"
// on the right. Used by the run reports and by the manual's build tool, so
// that both kinds of paper the tool hands out look alike.
class PagedPrinter
{
public:
    // Lays _document out for _writer (so that point sizes come out right),
    // keeps a strip of _footerMm at the bottom of every page for the footer
    // in _footerPointSize, and prints every page. False when the writer
    // cannot be painted on or finished.
    static bool print(QTextDocument& _document, QPdfWriter& _writer, const QString& _footer, qreal _footerMm,
                      qreal _footerPointSize);
};
