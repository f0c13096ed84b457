// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/PlotGeometry.h"

#include <algorithm>

namespace tarvex::monitor {

std::vector<std::optional<int>> axisLabelLefts(const std::vector<AxisLabel> &labels, int left, int right, int gap)
{
    std::vector<std::optional<int>> lefts(labels.size());
    std::vector<size_t> kept;
    const auto apart = [&](size_t before, size_t after) {
        return *lefts[before] + labels[before].width + gap <= *lefts[after];
    };
    for (size_t i = 0; i < labels.size(); ++i) {
        const AxisLabel &label = labels[i];
        lefts[i] = std::clamp(label.centre - label.width / 2, left, std::max(left, right - label.width));
        const bool last = i + 1 == labels.size();
        while (last && kept.size() > 1 && !apart(kept.back(), i)) {
            lefts[kept.back()].reset();
            kept.pop_back();
        }
        if (!kept.empty() && !apart(kept.back(), i)) {
            lefts[i].reset();
            continue;
        }
        kept.push_back(i);
    }
    return lefts;
}

} // namespace tarvex::monitor
