#pragma once

#include <QTableWidget>

namespace tarvex::maps {

// A 16 × 16 map of cells, 32 × 19 pixels each with 1-pixel lines, all of it
// visible without scrolling.
class TMapGrid : public QTableWidget {
public:
    static constexpr int kSize = 16;
    static constexpr int kCellWidth = 32;
    static constexpr int kCellHeight = 19;

    explicit TMapGrid(QWidget *parent = nullptr);

    QString Cell(int column, int row) const;
    void SetCell(int column, int row, const QString &text);
};

} // namespace tarvex::maps
