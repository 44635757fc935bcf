#pragma once

#include "app_state.h"
#include "main_window.h"
#include "platform.h"
#include "qt_platform.h"
#include "recording_backend.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace piano::test {

class RecordingInfoBox final : public InfoBox {
public:
    void show(const std::string& text) override { shown.push_back(text); }
    std::vector<std::string> shown;
};

class RecordingShell final : public ShellOpener {
public:
    void open(const std::string& address) override { opened.push_back(address); }
    std::vector<std::string> opened;
};

inline std::int64_t steadyMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// The main window wired to a recording MIDI backend and the real Qt event pump.
struct WindowFixture {
    explicit WindowFixture(int devices = 1) : backend(steadyMs, devices) {}

    // Runs the created handler; the greeting is skipped unless asked for, to keep tests fast.
    void start(bool withGreeting = false)
    {
        if (!withGreeting)
            window.setGreetingEnabled(false);
        window.created();
    }

    template <typename T> T* child(const char* name) const
    {
        return window.findChild<T*>(QString::fromUtf8(name));
    }

    RecordingBackend backend;
    QtEventPump pump;
    RecordingInfoBox info;
    RecordingShell shell;
    AppState state{backend, pump};
    MainWindow window{state, info, shell};
};

} // namespace piano::test
