#pragma once

namespace piano {

// Lets the single user-interface thread keep handling events while music waits.
class EventPump {
public:
    virtual ~EventPump() = default;
    // Dispatches what is queued now, then returns; never waits for more.
    virtual void processPending() = 0;
    // Returns at once for 0 or less; otherwise dispatches events for at least ms milliseconds.
    virtual void delay(int ms) = 0;
    // The program is closing: every delay under way ends now, and later ones return at once.
    virtual void stopWaiting() {}
};

} // namespace piano
