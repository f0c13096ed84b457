// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/PlotGeometry.h"

#include <gtest/gtest.h>

using namespace tarvex::monitor;

namespace {

// Inside the bounds, never crowding: the view's end is kept over the labels before it.
TEST(AxisLabels, StayInsideAndApartKeepingTheLast)
{
    const auto none = std::nullopt;
    const struct {
        const char *name;
        std::vector<AxisLabel> labels;
        int left, right, gap;
        std::vector<std::optional<int>> lefts;
    } rows[] = {
        {"the end pulled in crowds its neighbour", {{781, 100}, {915, 100}, {1050, 100}, {1184, 100}}, 2, 1198, 8,
         {731, 865, none, 1098}},
        {"wider than the ticks' spacing", {{0, 60}, {50, 60}, {100, 60}, {150, 60}, {200, 60}}, 0, 200, 8,
         {0, none, 70, none, 140}},
        {"a wide last label leaves out two", {{0, 40}, {100, 40}, {160, 40}, {220, 150}}, 0, 230, 0, {0, none, none, 80}},
        {"no room for two: the first stays", {{0, 60}, {50, 60}}, 0, 100, 8, {0, none}},
    };
    for (const auto &row : rows)
        EXPECT_EQ(axisLabelLefts(row.labels, row.left, row.right, row.gap), row.lefts) << row.name;
}

} // namespace
