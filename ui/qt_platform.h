#pragma once

#include "platform.h"
#include "sound/event_pump.h"

#include <vector>

class QEventLoop;

namespace piano {

// Dispatches Qt events; delays wait on a precise timer instead of spinning.
class QtEventPump final : public EventPump {
public:
    void processPending() override;
    void delay(int ms) override;
    void stopWaiting() override;

private:
    std::vector<QEventLoop*> waits_;
    bool stopped_ = false;
};

// "信息：" message box with no owner, no icon and an OK button.
class QtInfoBox final : public InfoBox {
public:
    void show(const std::string& text) override;
};

class QtShellOpener final : public ShellOpener {
public:
    void open(const std::string& address) override;
};

} // namespace piano
