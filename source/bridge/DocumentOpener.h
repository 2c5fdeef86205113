#pragma once

#include <functional>

class QUrl;

// Opens a document (a report, the manual) or a folder with the desktop's
// program for it. False when the desktop has none or it does not start.
// Replaceable, so that tests see what would be opened and can play a
// desktop without a program for PDF files.
class DocumentOpener
{
public:
    using OpenFunction = std::function<bool(const QUrl&)>;

    static bool open(const QUrl& _url);
    // A function in place of QDesktopServices::openUrl; none restores it.
    static void setOpenFunction(OpenFunction _function);

private:
    static OpenFunction s_openFunction;
};
