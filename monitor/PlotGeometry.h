// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <vector>

namespace tarvex::monitor {

// A label of a plot's axis: the x of its tick and its text's width.
struct AxisLabel {
    int centre = 0;
    int width = 0;
};

// Where the labels of an axis go, left to right: each centred under its
// tick, moved inside [left, right], none closer than `gap` to the one before.
// A label that would crowd the one before it is left out; the last one
// (the view's end) stays and leaves out those before it instead. The left
// edge of each label, or none for one left out.
std::vector<std::optional<int>> axisLabelLefts(const std::vector<AxisLabel> &labels, int left, int right, int gap);

} // namespace tarvex::monitor
