#pragma once

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

// Runs the event loop until _done() holds or _timeoutMs passed; false on the
// timeout. The loop keeps running in between, so a simulator sharing this
// thread keeps its pace; the benchmarks take their times in the slots they
// watch, not from this wait.
template <typename Done> bool waitFor(Done _done, int _timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!_done()) {
        if (clock.elapsed() > _timeoutMs)
            return false;
        QEventLoop loop;
        QTimer::singleShot(5, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}
