#include "key_note_table.h"

#include <cctype>

namespace piano {

namespace {
struct Row {
    const char* letter;
    std::int32_t note;
    const char* label;
};

// Ascending pitch; the alphabet wraps from Z to A so neighbouring letters are neighbouring white keys.
constexpr Row kRows[] = {
    {"s", 43, "..5"}, {"t", 45, "..6"}, {"u", 47, "..7"}, {"v", 48, ".1"}, {"w", 50, ".2"},
    {"x", 52, ".3"},  {"y", 53, ".4"},  {"z", 55, ".5"},  {"a", 57, ".6"}, {"b", 59, ".7"},
    {"c", 60, "1"},   {"d", 62, "2"},   {"e", 64, "3"},   {"f", 65, "4"},  {"g", 67, "5"},
    {"h", 69, "6"},   {"i", 71, "7"},   {"j", 72, "1."},  {"k", 74, "2."}, {"l", 76, "3."},
    {"m", 77, "4."},  {"n", 79, "5."},  {"o", 81, "6."},  {"p", 83, "7."}, {"q", 84, "1.."},
    {"r", 86, "2.."},
};
} // namespace

void KeyNoteTable::add(std::int32_t keyCode, std::int32_t note, std::string label)
{
    entries_[keyCode] = KeyNoteEntry{note, std::move(label)};
}

void KeyNoteTable::build()
{
    for (const Row& row : kRows) {
        const auto upper = static_cast<unsigned char>(std::toupper(static_cast<unsigned char>(row.letter[0])));
        add(upper, row.note, row.label);
    }
}

KeyNoteEntry KeyNoteTable::lookUp(std::int32_t keyCode) const
{
    const auto found = entries_.find(keyCode);
    return found == entries_.end() ? KeyNoteEntry{} : found->second;
}

} // namespace piano
