// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "monitor/LogComparison.h"

#include <QWidget>
#include <optional>

class QComboBox;
class QHBoxLayout;
class QLabel;
class QTableWidget;

namespace tarvex::widgets {

// Two drives compared on the fuel map's cells: each cell's lambda error
// before and after, their difference, coloured by whether the cell got
// closer to the target or further from it, the cells changed between the
// drives outlined, the details in each cell's tooltip, and a summary line.
class TCompareCells : public QWidget {
public:
    enum class Show { Difference, Before, After };

    // What the drives are called and hold: a log's name or "this drive".
    struct Drives {
        QString before;
        int beforeRecords = 0;
        QString after;
        int afterRecords = 0;
        // Said when the changed cells are not known (the file or map missing).
        QString missingMap;
    };

    explicit TCompareCells(QWidget *parent = nullptr);

    void SetComparison(const monitor::LogComparison &comparison, const Drives &drives);
    void SetLanguage(int language);
    const std::optional<monitor::LogComparison> &Comparison() const { return m_comparison; }

    // The cells better, worse, the same, unvisited in one drive, and changed.
    static QString SummaryText(const monitor::LogComparison &comparison, int language);

    // Owners add their buttons beside the title.
    QHBoxLayout *TopRow = nullptr;
    QLabel *TitleLabel = nullptr;
    QLabel *ShowLabel = nullptr;
    QComboBox *ShowBox = nullptr;
    QTableWidget *Table = nullptr;
    QLabel *Legend = nullptr;
    QLabel *Summary = nullptr;

private:
    void Fill();

    std::optional<monitor::LogComparison> m_comparison;
    Drives m_drives;
    int m_language = 0;
};

} // namespace tarvex::widgets
