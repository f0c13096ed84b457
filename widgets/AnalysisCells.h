// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "monitor/LogAnalysis.h"

#include <QTableWidget>
#include <functional>
#include <vector>

class QAction;
class QComboBox;

namespace tarvex::widgets {

// A pale version of a colour, 0 white to 1 three quarters of the way: the
// text stays readable on it.
QColor paleColor(const QColor &color, double strength);

// The fuel map's cells as an analysis sees them: records, mean lambda or
// the suggestion, coloured as the lambda gauge by how far a cell moves,
// locked cells hatched, the records behind a cell in its tooltip. Locks are
// asked for by a double-click or the selection's menu; the owner keeps them.
class TAnalysisCells : public QTableWidget {
public:
    enum class Show { Records, Lambda, Suggestion };

    explicit TAnalysisCells(QWidget *parent = nullptr);

    // `spans`: the tooltip lists the record numbers (a log's, not live data's).
    void Fill(const monitor::Analysis &analysis, Show show, int language, bool spans = true);
    void SetLanguage(int language);
    // The selected cells, 0 to 255.
    std::vector<int> SelectedCells() const;
    // The items of a box that chooses what the cells show.
    static void SetShowTexts(QComboBox *box, int language);
    // The records used and those each filter left out.
    static QString SummaryText(const monitor::Analysis &analysis, int language);

    QAction *LockAction = nullptr;
    QAction *UnlockAction = nullptr;
    std::function<void(const std::vector<int> &cells, bool lock)> OnLock;
    std::function<void(int cell)> OnToggleLock;
};

} // namespace tarvex::widgets
