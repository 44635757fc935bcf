#include "qt_platform.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QEventLoop>
#include <QMessageBox>
#include <QTimer>
#include <QUrl>

#include <chrono>

namespace piano {

void QtEventPump::processPending() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void QtEventPump::delay(int ms)
{
    if (ms <= 0)
        return;
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        const auto now = Clock::now();
        if (now >= deadline)
            return;
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now);
        QEventLoop loop;
        QTimer timer;
        timer.setTimerType(Qt::PreciseTimer);
        timer.setSingleShot(true);
        bool fired = false;
        QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
            fired = true;
            loop.quit();
        });
        timer.start(left);
        loop.exec();
        // The application is quitting: every event loop is told to end, and waiting on would hang the exit.
        if (!fired)
            return;
    }
}

void QtInfoBox::show(const std::string& text)
{
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("信息："), QString::fromStdString(text), QMessageBox::Ok);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

void QtShellOpener::open(const std::string& address)
{
    QDesktopServices::openUrl(QUrl(QString::fromStdString(address), QUrl::StrictMode));
}

} // namespace piano
