// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <vector>

namespace tarvex::lang {

// One control's captions. The Russian switch sets `russian` where given,
// else the design caption; controls outside the first four groups are set
// only by the English switch (and restored to their design by ours).
struct CaptionRow {
    const char *name;
    const char *design;
    const char *english;
    const char *russian; // nullptr: the design caption
    bool russianSwitch;  // false for the group set by the English switch only
};

const std::vector<CaptionRow> &captionTable();

} // namespace tarvex::lang
