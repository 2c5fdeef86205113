#include <QtTest>

#include <qt_windows.h>

#include "common/TerminationWatcher.h"

// A console's Ctrl+Break ends the tool as closing its window does: the
// event loop quits. (On POSIX systems tst_application sends the signals to
// the real tool.)
class tst_TerminationWatcher : public QObject
{
    Q_OBJECT
private slots:
    void consoleBreakQuitsTheEventLoop();
};

void tst_TerminationWatcher::consoleBreakQuitsTheEventLoop()
{
    TerminationWatcher watcher;
    QEventLoop loop;
    QTimer::singleShot(5000, &loop, [&loop] { loop.exit(1); });
    // A console of its own when started without one; the event goes to
    // every process of the console, this test's own among them.
    if (!GetConsoleWindow())
        AllocConsole();
    if (!GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, 0))
        QSKIP("this process has no console");
    QCOMPARE(loop.exec(), 0);
}

QTEST_GUILESS_MAIN(tst_TerminationWatcher)
#include "tst_terminationwatcher.moc"
