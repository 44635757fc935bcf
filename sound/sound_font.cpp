#include "sound_font.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace piano {

namespace {
constexpr const char* kRelativePath = "sounds/sf2/default-GM.sf2";

bool isFile(const std::filesystem::path& path)
{
    std::error_code error;
    return std::filesystem::is_regular_file(path, error);
}
} // namespace

std::string findDefaultSoundFont()
{
    // The XDG data dirs first, so a prefix install can bring its own; /usr/share is the usual home.
    const char* xdg = std::getenv("XDG_DATA_DIRS");
    std::string dirs = xdg && *xdg ? xdg : "/usr/local/share:/usr/share";
    dirs += ":/usr/share";
    std::size_t start = 0;
    while (start < dirs.size()) {
        std::size_t end = dirs.find(':', start);
        if (end == std::string::npos)
            end = dirs.size();
        if (end > start) {
            const std::filesystem::path candidate = std::filesystem::path(dirs.substr(start, end - start)) / kRelativePath;
            if (isFile(candidate))
                return candidate.string();
        }
        start = end + 1;
    }
    return {};
}

} // namespace piano
