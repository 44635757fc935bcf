#include "song_book.h"

#include "text_number.h"

namespace piano {

const std::array<std::string_view, kSongCount>& songLabels()
{
    static constexpr std::array<std::string_view, kSongCount> kLabels = {
        "1 - 致爱丽丝", "2 - 雨的印记",       "3 - 祈祷",       "4 - 同一首歌",       "5 - 男儿当自强",
        "6 - 祝你生日快乐", "7 - 沧海一声笑", "8 - 小城故事", "9 - 月亮代表我的心", "10 - 水手",
    };
    return kLabels;
}

const std::array<std::string_view, kSongCount>& songEntries()
{
    static constexpr std::array<std::string_view, kSongCount> kEntries = {
        "200 lklklikjh-- cehi-- egij-- elklklikch-- cehi-- ejih-- 0lklklikjh-- cehi-- egij-- elklklikjh-- cehi-- "
        "ejih-- ijkl-- gmlk-- flkj-- ekji--",
        "300 TODO",
        "200 TODO",
        "240 TODO",
        "200 TODO",
        "240 ggh-g-j-i--- ggh-g-k-j---\r\nggn-l-j-i-h--- 0-\r\nmml-j-k-j---",
        "120 TODO",
        "240 TODO",
        "240 TODO",
        "240 TODO",
    };
    return kEntries;
}

Song loadSong(int row)
{
    if (row < 1 || row > kSongCount)
        return {};
    const std::string_view entry = songEntries()[static_cast<std::size_t>(row - 1)];
    if (entry.size() < 4)
        return {};
    return Song{std::string(entry.substr(4)), textToInt(entry.substr(0, 3))};
}

} // namespace piano
