// Any bytes as a score: the first four give the tempo, the rest is the score text.
#include "score_rig.h"
#include "score_model.h"

#include <cstring>

using namespace piano;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 4)
        return 0;
    std::int32_t tempo = 0;
    std::memcpy(&tempo, data, sizeof tempo);
    const std::string_view score(reinterpret_cast<const char*>(data + 4), size - 4);

    test::ScoreRig rig;
    rig.player.playScore(score, tempo, true);

    const std::int32_t left = fuzz::checkOneVoice(rig.backend.sent);
    if (left != rig.notes.soundingNote())
        fuzz::fail("the log and the note player disagree on the sounding note", rig.backend.sent.size());
    // Events are dispatched at most once per byte, so work stays linear in the score's length.
    if (static_cast<std::size_t>(rig.pump.pendingCalls) > score.size())
        fuzz::fail("more event passes than bytes", 0);

    fuzz::ScoreModel model;
    model.play(score, tempo);
    if (model.log.size() != rig.backend.sent.size())
        fuzz::fail("message count differs from the notation", std::min(model.log.size(), rig.backend.sent.size()));
    for (std::size_t i = 0; i < model.log.size(); ++i) {
        if (!(model.log[i] == rig.backend.sent[i]))
            fuzz::fail("message or its time differs from the notation", i);
    }
    if (model.now != rig.pump.nowMs)
        fuzz::fail("total time differs from the notation", model.log.size());

    // Closing the port leaves nothing on.
    rig.port.close();
    if (fuzz::checkOneVoice(rig.backend.sent) != 0 || rig.backend.sentWhileClosed != 0)
        fuzz::fail("a note survived the port closing", rig.backend.sent.size());
    return 0;
}
