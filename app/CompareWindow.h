// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "maps/MapCompare.h"

#include <QWidget>
#include <functional>
#include <vector>

class QLabel;
class QPushButton;
class QTableWidget;

namespace tarvex::app {

// The cells in which a map and a file differ, listed in a window of its own,
// with buttons that write the file's values into the chosen cells.
class TCompareWindow : public QWidget {
public:
    explicit TCompareWindow(QWidget *parent);

    // Fills the list in place, the selected cells kept selected; `canWrite`
    // enables the write buttons (the map's page is in edit mode), `ofWindow`
    // names the other side the window's own values, `language` as the
    // language box's index. Neither shows nor raises the window.
    void Update(const QString &title, const std::vector<maps::CellDifference> &differences, bool canWrite,
                bool ofWindow, int language);
    // The cells (0 to 255) of the rows the fitter selected.
    std::vector<int> SelectedCells() const;
    // The map compared is a file's, not the ECU's.
    bool OfFile = false;

    QLabel *Summary = nullptr;
    QTableWidget *List = nullptr;
    QPushButton *WriteSelected = nullptr;
    QPushButton *WriteAll = nullptr;
    QPushButton *CloseButton = nullptr;

    std::function<void(const std::vector<int> &cells)> OnWrite;
    std::function<void()> OnClose;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    std::vector<int> m_cells;
};

} // namespace tarvex::app
