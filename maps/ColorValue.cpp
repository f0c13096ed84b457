// SPDX-License-Identifier: GPL-3.0-or-later
#include "maps/ColorValue.h"

namespace tarvex::maps {

QColor colorFromValue(int32_t value, const QPalette &palette)
{
    const auto v = uint32_t(value);
    if ((v >> 24) == 0xFF) {
        switch (v & 0xFF) {
        case 0x05: return palette.color(QPalette::Base);         // window
        case 0x08: return palette.color(QPalette::Text);         // window text
        case 0x0D: return palette.color(QPalette::Highlight);    // selection
        case 0x0E: return palette.color(QPalette::HighlightedText);
        case 0x12: return palette.color(QPalette::ButtonText);
        case 0x0F:                                               // button face
        default: return palette.color(QPalette::Button);
        }
    }
    return QColor(int(v & 0xFF), int((v >> 8) & 0xFF), int((v >> 16) & 0xFF));
}

int32_t valueFromColor(const QColor &color)
{
    return int32_t(uint32_t(color.red()) | uint32_t(color.green()) << 8 | uint32_t(color.blue()) << 16);
}

} // namespace tarvex::maps
