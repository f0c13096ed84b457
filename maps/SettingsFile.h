// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <vector>

namespace tarvex::maps {

constexpr int kBandCount = 21;
using BandColors = std::array<int32_t, kBandCount>;

// The colour of the window background (the button face), as a system
// colour value; the file holds it as a negative number.
constexpr int32_t kButtonFaceColor = int32_t(0xFF00000F);

const BandColors &defaultBandColors();

struct SettingsRead {
    bool opened = false;          // false: the defaults apply, nothing to report
    std::vector<int32_t> colors;  // the bands read, in order, up to a bad line
    QString error;                // the conversion error of the first bad line
};

// Reads "tarvex.ini": 21 lines, one signed decimal colour each.
SettingsRead readSettingsFile(const QString &path);

// The colours of the file's bands, the defaults for any it does not hold:
// for programs that show the window's colours and leave its file alone.
BandColors readBandColors(const QString &path);

// Writes the 21 colours afresh, CR LF after each, never leaving a half file.
// Returns an error text, or an empty one on success.
QString writeSettingsFile(const QString &path, const BandColors &colors);

} // namespace tarvex::maps
