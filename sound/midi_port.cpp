#include "midi_port.h"

namespace piano {

namespace {
constexpr std::uint32_t kNoteOn = 0x90;
constexpr std::uint32_t kNoteOff = 0x80;
constexpr std::uint32_t kVelocity = 127;

std::uint32_t lowByte(std::int32_t note) { return static_cast<std::uint32_t>(note) & 0xFFu; }
} // namespace

MidiPort::MidiPort(MidiBackend& backend) : backend_(backend) {}

MidiPort::~MidiPort() { close(); }

int MidiPort::deviceCount() { return backend_.deviceCount(); }

bool MidiPort::open(int index)
{
    if (index < 0 || index >= backend_.deviceCount())
        return false;
    close();
    open_ = backend_.open(index);
    return open_;
}

std::uint32_t MidiPort::noteOnMessage(std::int32_t note) { return kNoteOn | lowByte(note) << 8 | kVelocity << 16; }

std::uint32_t MidiPort::noteOffMessage(std::int32_t note) { return kNoteOff | lowByte(note) << 8; }

void MidiPort::sendNoteOn(std::int32_t note)
{
    if (!open_)
        return;
    on_.set(lowByte(note));
    send(noteOnMessage(note));
}

void MidiPort::sendNoteOff(std::int32_t note)
{
    if (!open_)
        return;
    on_.reset(lowByte(note));
    send(noteOffMessage(note));
}

void MidiPort::close()
{
    if (!open_)
        return;
    for (std::size_t note = 0; note < on_.size(); ++note) {
        if (on_.test(note))
            sendNoteOff(static_cast<std::int32_t>(note));
    }
    backend_.close();
    open_ = false;
}

void MidiPort::send(std::uint32_t message)
{
    // A message the device rejects is dropped: nothing in a live performance can make use of the error.
    (void)backend_.send(message);
}

} // namespace piano
