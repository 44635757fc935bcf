#include "rtmidi_outputs.h"

#include <rtmidi/RtMidi.h>

#ifndef _WIN32
#include <alsa/asoundlib.h>
#include <unistd.h>
#endif

#include <iostream>

namespace piano {

namespace {
#ifdef _WIN32
constexpr RtMidi::Api kApi = RtMidi::WINDOWS_MM;
#else
constexpr RtMidi::Api kApi = RtMidi::LINUX_ALSA;

void discardAlsaError(const char*, int, const char*, int, const char*, ...) {}
#endif

// Errors after construction only mark the operation as failed.
void noteRtMidiError(RtMidiError::Type type, const std::string&, void* failed)
{
    if (type != RtMidiError::WARNING && type != RtMidiError::DEBUG_WARNING)
        *static_cast<bool*>(failed) = true;
}

bool sequencerAvailable()
{
#ifdef _WIN32
    return true;
#else
    // ALSA would complain on the console about a missing sequencer, so do not even ask it.
    return ::access("/dev/snd/seq", R_OK | W_OK) == 0;
#endif
}

// RtMidi reports errors from its constructor on std::cerr before a callback can be set.
class MutedCerr {
public:
    MutedCerr() : saved_(std::cerr.rdbuf(nullptr)) {}
    ~MutedCerr()
    {
        std::cerr.rdbuf(saved_);
        std::cerr.clear();
    }
    MutedCerr(const MutedCerr&) = delete;
    MutedCerr& operator=(const MutedCerr&) = delete;

private:
    std::streambuf* saved_;
};
} // namespace

int shortMessageLength(std::uint32_t shortMessage)
{
    const std::uint32_t status = shortMessage & 0xFFu;
    const std::uint32_t data1 = shortMessage >> 8 & 0xFFu;
    const std::uint32_t data2 = shortMessage >> 16 & 0xFFu;
    int length = 0;
    if (status < 0x80 || status == 0xF0 || status == 0xF7)
        return 0;
    if (status < 0xF0)
        length = (status & 0xF0) == 0xC0 || (status & 0xF0) == 0xD0 ? 2 : 3;
    else if (status == 0xF1 || status == 0xF3)
        length = 2;
    else if (status == 0xF2)
        length = 3;
    else
        length = 1;
    if ((length > 1 && data1 >= 0x80) || (length > 2 && data2 >= 0x80))
        return 0;
    return length;
}

RtMidiOutputs::RtMidiOutputs()
{
    if (!sequencerAvailable())
        return;
#ifndef _WIN32
    snd_lib_error_set_handler(discardAlsaError);
#endif
    try {
        MutedCerr muted;
        out_ = std::make_unique<RtMidiOut>(kApi, "Keyboard piano");
        out_->setErrorCallback(noteRtMidiError, &failed_);
    } catch (...) {
        out_.reset();
    }
}

RtMidiOutputs::~RtMidiOutputs() { close(); }

int RtMidiOutputs::count()
{
    if (!out_)
        return 0;
    try {
        return static_cast<int>(out_->getPortCount());
    } catch (...) {
        return 0;
    }
}

bool RtMidiOutputs::open(int index)
{
    close();
    if (!out_ || index < 0 || index >= count())
        return false;
    try {
        out_->openPort(static_cast<unsigned int>(index), "Keyboard piano");
        open_ = out_->isPortOpen();
    } catch (...) {
        open_ = false;
    }
    return open_;
}

bool RtMidiOutputs::send(std::uint32_t shortMessage)
{
    const int length = shortMessageLength(shortMessage);
    if (!open_ || length == 0)
        return false;
    const unsigned char bytes[3] = {static_cast<unsigned char>(shortMessage & 0xFFu),
                                    static_cast<unsigned char>(shortMessage >> 8 & 0xFFu),
                                    static_cast<unsigned char>(shortMessage >> 16 & 0xFFu)};
    failed_ = false;
    try {
        out_->sendMessage(bytes, static_cast<std::size_t>(length));
        return !failed_;
    } catch (...) {
        return false;
    }
}

void RtMidiOutputs::close()
{
    if (!open_)
        return;
    open_ = false;
    try {
        out_->closePort();
    } catch (...) {
    }
}

} // namespace piano
