#include "app/ColorValue.h"
#include "maps/CellColors.h"
#include "maps/MapGrid.h"

namespace tarvex::app {

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

void paintMapGrid(maps::TMapGrid *grid, maps::MapPage kind, std::function<BandColors()> bands)
{
    if (kind == maps::MapPage::Fuel) {
        grid->SetTextColor(Qt::red);
        grid->CellFill = [grid, bands](const QString &text) -> std::optional<QColor> {
            const std::optional<int> band = maps::fuelBand(maps::paintValue(text));
            if (!band)
                return std::nullopt;
            return colorFromValue(bands()[size_t(*band - 1)], grid->palette());
        };
        return;
    }
    grid->SetTextColor(grid->palette().color(QPalette::WindowText));
    grid->CellFill = [grid](const QString &text) -> std::optional<QColor> {
        const std::optional<int32_t> color = maps::ignitionColor(maps::paintValue(text));
        if (!color)
            return std::nullopt;
        return colorFromValue(*color, grid->palette());
    };
}

} // namespace tarvex::app
