#include "key_codes.h"

#include <Qt>

namespace piano {

std::int32_t keyCodeFor(int qtKey)
{
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z)
        return 'A' + (qtKey - Qt::Key_A);
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)
        return '0' + (qtKey - Qt::Key_0);
    if (qtKey == Qt::Key_Return || qtKey == Qt::Key_Enter)
        return 13;
    if (qtKey == Qt::Key_Space)
        return 32;
    // Qt key values are below 0x02000000, so the shifted range never meets the codes above or 0 ("no key").
    constexpr std::int32_t kOtherKeys = 0x10000;
    return kOtherKeys + (qtKey & 0x01FFFFFF);
}

} // namespace piano
