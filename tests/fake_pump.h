#pragma once

#include "sound/event_pump.h"

#include <cstdint>
#include <functional>
#include <map>

namespace piano::test {

// An event pump on a fake clock: delays advance time instantly, and actions
// scheduled for a moment run from the first processPending or delay that reaches it.
class FakePump final : public EventPump {
public:
    void processPending() override
    {
        ++pendingCalls;
        runDue();
    }
    void delay(int ms) override
    {
        ++delayCalls;
        if (ms <= 0)
            return;
        const std::int64_t end = nowMs + ms;
        while (!actions.empty() && actions.begin()->first <= end) {
            nowMs = std::max(nowMs, actions.begin()->first);
            runDue();
        }
        nowMs = end;
    }

    void at(std::int64_t ms, std::function<void()> action) { actions.emplace(ms, std::move(action)); }
    std::function<std::int64_t()> clock()
    {
        return [this] { return nowMs; };
    }

    std::int64_t nowMs = 0;
    int pendingCalls = 0;
    int delayCalls = 0;
    std::multimap<std::int64_t, std::function<void()>> actions;

private:
    void runDue()
    {
        while (!actions.empty() && actions.begin()->first <= nowMs) {
            auto action = std::move(actions.begin()->second);
            actions.erase(actions.begin());
            action();
        }
    }
};

} // namespace piano::test
