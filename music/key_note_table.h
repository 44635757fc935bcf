#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace piano {

struct KeyNoteEntry {
    std::int32_t 音符 = 0;  // MIDI note number, 0 = no note
    std::string 简谱;        // numbered-notation name, dots for octaves below/above
};

// Which letter key is which note: the 26 white keys from G2 (S) to D6 (R).
class KeyNoteTable {
public:
    void add(std::int32_t keyCode, std::int32_t note, std::string label);
    void build();
    // Note 0 and an empty label for any key without a note.
    KeyNoteEntry lookUp(std::int32_t keyCode) const;
    std::size_t size() const { return entries_.size(); }

private:
    std::map<std::int32_t, KeyNoteEntry> entries_;
};

} // namespace piano
