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
        "300 cde ededeg--d-- dcdcdf--c-- cbcbce--b-- abcb-a---\r\n"
        "z-abc-d-c-d-e--- edeg-e-d-c--- cdedc-b-a-b-c---\r\n"
        "cde ededeg--d-- dcdcdf--c-- cbcbce--b-- abcba-b-c-----",
        "200 e-g-h-j-h-g- e-g-d--- e-d-c-a-c-d- e-----\r\n"
        "g-h-j-h-g-e- g-e-d--- e-g-d-c-a-d- c-----",
        "240 g-e-g-h-j-h-g-e- g---e-d-c-d-e---\r\n"
        "e-g-h-j-h-g-h-g-e-d- c-d-e-g-d-----\r\n"
        "g-h-j-h-g-e-d-e-g- h-g-e-d-c-d-e---\r\n"
        "e-g-h-j-h-g-e-d- e-d-c-a-d-c-----",
        "200 e-g-h-j-h-g- e-g-d-e-g--- 0-\r\n"
        ">e-g-h-j-h-g-e-d-< e-d-c-a-c--- 0-\r\n"
        "h-h-j-h-g-e- g-h-g-e-d--- 0-\r\n"
        ">e-g-h-g-e-d-c-d-< e-g-d-c-a--- 0-\r\n"
        "a-c-d-e-g-e-d-c- d-e-c-a-c-----",
        "240 ggh-g-j-i--- ggh-g-k-j---\r\nggn-l-j-i-h--- 0-\r\nmml-j-k-j---",
        "120 h-g >ed<c--- e-d >ca<z--- z-a >zacd<e-g- h-g >ed<cd---\r\n"
        "h-h-g >ed<c--- e-d >ca<z--- z-a >zacd<e-g- h-g >ed<c-----",
        "240 e-g-h-g-e-d- c-d-e--- g-e-d-c-a-c- d-----\r\n"
        "e-g-h-j-h-g- e-g-h--- g-e-d-c-d-e- c-----\r\n"
        "h-j-h-g-e-g- h-j-k--- j-h-g-e-g-h- g-----\r\n"
        "e-g-h-g-e-d- c-d-e--- d-c-a-c-d-e- c-----",
        "240 z- c--e g-c- b--e g-g- h--i j-h- g----- e-d-\r\n"
        "c--c c-e-d- c--c c-d-e- d--c a-d-e- d----- z-\r\n"
        "c--e g-c- b--e g-g- h--i j-h- g----- e-d-\r\n"
        "c--c c-e-d- c--c c-d-e- d--a b-c-d- c----- 0-\r\n"
        "e--g e-d-c- g----- b-a-b- a-b-a-z- e----- 0-\r\n"
        "e--g e-d-c- g----- b-a-b-c- d--c a-b-d- d----- z-\r\n"
        "c--e g-c- b--e g-g- h--i j-h- g----- e-d-\r\n"
        "c--c c-e-d- c--c c-d-e- d--a b-c-d- c-------",
        "240 g-g-e-g-h-j-h-g- e-g-e-d-c-d-e--- 0-\r\n"
        "e-e-e-d-c-d-e- e-e-e-d-c-a-c--- >h-j-h-g-e-g-e-d-< c----- 0-\r\n"
        "g-g-e-g-h-j-h-g- j-h-g-e-d-c-d- e-g-d-c-a-d- c-----",
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
