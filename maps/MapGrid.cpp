#include "maps/MapGrid.h"

#include <QHeaderView>

namespace tarvex::maps {

TMapGrid::TMapGrid(QWidget *parent) : QTableWidget(kSize, kSize, parent)
{
    horizontalHeader()->hide();
    verticalHeader()->hide();
    horizontalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setMinimumSectionSize(1);
    horizontalHeader()->setDefaultSectionSize(kCellWidth + 1);
    verticalHeader()->setDefaultSectionSize(kCellHeight + 1);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setShowGrid(true);
    setSelectionMode(QAbstractItemView::ContiguousSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setFrameShape(QFrame::Box);
    setLineWidth(1);
    setFixedSize(531, 325);
    for (int r = 0; r < kSize; ++r)
        for (int c = 0; c < kSize; ++c)
            setItem(r, c, new QTableWidgetItem());
}

QString TMapGrid::Cell(int column, int row) const
{
    const QTableWidgetItem *it = item(row, column);
    return it ? it->text() : QString();
}

void TMapGrid::SetCell(int column, int row, const QString &text)
{
    if (QTableWidgetItem *it = item(row, column))
        it->setText(text);
}

} // namespace tarvex::maps
