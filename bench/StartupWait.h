#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QWidget>
#include <QWindow>
#include <cstdio>
#include <cstdlib>

// Shared by the two start-up programs, so both stop at the same point: the
// window exposed on screen and painted once.
inline void WaitUntilExposed(QWidget* window)
{
    QElapsedTimer waited;
    waited.start();
    while (!(window->windowHandle() && window->windowHandle()->isExposed()) &&
           waited.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    // The first paint follows the expose.
    QCoreApplication::processEvents();
}

// The process's peak resident memory so far, in kB, as the kernel counts it.
inline long PeakResidentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return -1;
}

inline void PrintPeak()
{
    std::printf("VmHWM %ld\n", PeakResidentKb());
    std::fflush(stdout);
}

// Ends the process at once: start-up is over when the window is on screen,
// and how long each program takes to tear itself down is no part of it.
[[noreturn]] inline void ExitNow()
{
    std::fflush(stdout);
    std::_Exit(0);
}
