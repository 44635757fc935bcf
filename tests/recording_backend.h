#pragma once

#include "sound/midi_backend.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace piano::test {

// A MIDI output that keeps every short message with the time it was sent.
class RecordingBackend final : public MidiBackend {
public:
    struct Sent {
        std::int64_t atMs;
        std::uint32_t message;
        bool operator==(const Sent&) const = default;
    };

    explicit RecordingBackend(std::function<std::int64_t()> clock = [] { return 0; }, int devices = 1)
        : clock_(std::move(clock)), devices_(devices)
    {
    }

    int deviceCount() override { return devices_; }
    bool open(int index) override
    {
        ++opens;
        openIndex = index;
        isOpen = openSucceeds;
        return openSucceeds;
    }
    bool send(std::uint32_t message) override
    {
        if (!isOpen)
            ++sentWhileClosed;
        sent.push_back({clock_(), message});
        return acceptMessages;
    }
    void close() override
    {
        ++closes;
        isOpen = false;
    }

    std::vector<std::uint32_t> messages() const
    {
        std::vector<std::uint32_t> out;
        for (const Sent& s : sent)
            out.push_back(s.message);
        return out;
    }

    bool openSucceeds = true;
    bool acceptMessages = true;
    bool isOpen = false;
    int opens = 0;
    int closes = 0;
    int openIndex = -1;
    int sentWhileClosed = 0;
    std::vector<Sent> sent;

private:
    std::function<std::int64_t()> clock_;
    int devices_;
};

constexpr std::uint32_t noteOn(int note) { return 0x90u | static_cast<std::uint32_t>(note) << 8 | 127u << 16; }
constexpr std::uint32_t noteOff(int note) { return 0x80u | static_cast<std::uint32_t>(note) << 8; }

} // namespace piano::test
