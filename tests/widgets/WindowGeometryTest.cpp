// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/ProgramStart.h"

#include <gtest/gtest.h>

namespace {

// Inside the screen's free area, frame included; never below the minimum.
TEST(OpeningGeometry, FitsTheScreensFreeArea)
{
    const struct {
        const char *name;
        QSize minimum;
        QRect available, opened;
    } rows[] = {
        {"1366 × 768 with a panel on top", {800, 600}, {0, 27, 1366, 741}, {0, 27, 1358, 705}},
        {"a second screen, narrower", {800, 600}, {1920, 0, 1280, 1024}, {1920, 64, 1272, 860}},
        {"the minimum wins", {1000, 800}, {0, 0, 1024, 768}, {0, 0, 1016, 800}},
    };
    for (const auto &row : rows)
        EXPECT_EQ(tarvex::widgets::openingGeometry({1400, 860}, row.minimum, row.available), row.opened) << row.name;
}

} // namespace
