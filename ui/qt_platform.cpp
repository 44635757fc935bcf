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
    if (ms <= 0 || stopped_)
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
        waits_.push_back(&loop);
        loop.exec();
        waits_.pop_back();
        // Closing or quitting: waiting on would hold up the exit.
        if (!fired || stopped_)
            return;
    }
}

void QtEventPump::stopWaiting()
{
    stopped_ = true;
    for (QEventLoop* loop : waits_)
        loop->quit();
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
