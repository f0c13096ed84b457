// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CompareWindow.h"
#include "lang/RunTimeTexts.h"
#include "maps/MapScale.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QVBoxLayout>

namespace tarvex::app {

TCompareWindow::TCompareWindow(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("CompareWindow"));
    Summary = new QLabel(this);
    Summary->setTextFormat(Qt::PlainText);
    List = new QTableWidget(0, 5, this);
    List->setEditTriggers(QAbstractItemView::NoEditTriggers);
    List->setSelectionBehavior(QAbstractItemView::SelectRows);
    List->verticalHeader()->hide();
    WriteSelected = new QPushButton(this);
    WriteAll = new QPushButton(this);
    CloseButton = new QPushButton(this);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(WriteSelected);
    buttons->addWidget(WriteAll);
    buttons->addStretch();
    buttons->addWidget(CloseButton);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Summary);
    layout->addWidget(List);
    layout->addLayout(buttons);
    resize(440, 420);
    connect(WriteSelected, &QPushButton::clicked, this, [this] {
        if (OnWrite)
            OnWrite(SelectedCells());
    });
    connect(WriteAll, &QPushButton::clicked, this, [this] {
        if (OnWrite)
            OnWrite(m_cells);
    });
    connect(CloseButton, &QPushButton::clicked, this, &QWidget::close);
}

void TCompareWindow::Update(const QString &title, const std::vector<maps::CellDifference> &differences,
                            bool canWrite, bool ofWindow, int language)
{
    setWindowTitle(title);
    Summary->setText(differences.empty() ? lang::runTimeText(OfFile ? lang::Text::CompareSameMap : lang::Text::CompareSame, language)
                                         : lang::runTimeText(ofWindow ? lang::Text::CompareCountWindow
                                                                      : lang::Text::CompareCount,
                                                             language)
                                               .arg(differences.size()));
    List->setHorizontalHeaderLabels(
        {lang::runTimeText(lang::Text::CompareCell, language), lang::runTimeText(lang::Text::CompareRow, language),
         lang::runTimeText(lang::Text::CompareSpeed, language), lang::runTimeText(OfFile ? lang::Text::CompareMap : lang::Text::CompareEcu, language),
         lang::runTimeText(ofWindow ? lang::Text::CompareWindowColumn : lang::Text::CompareFile, language)});
    const std::vector<int> selected = SelectedCells();
    const int scroll = List->verticalScrollBar()->value();
    std::vector<int> cells;
    for (const maps::CellDifference &d : differences)
        cells.push_back(d.cell);
    List->setRowCount(int(differences.size()));
    for (int i = 0; i < int(differences.size()); ++i) {
        const maps::CellDifference &d = differences[size_t(i)];
        const QString texts[5] = {QString::number(d.cell + 1), QString::number(d.cell / 16 + 1),
                                  maps::speedCaption(d.cell % 16), d.ecu, d.file};
        for (int column = 0; column < 5; ++column) {
            if (QTableWidgetItem *item = List->item(i, column))
                item->setText(texts[column]);
            else
                List->setItem(i, column, new QTableWidgetItem(texts[column]));
        }
    }
    if (cells != m_cells) {
        m_cells = std::move(cells);
        List->clearSelection();
        for (int i = 0; i < int(m_cells.size()); ++i)
            if (std::find(selected.begin(), selected.end(), m_cells[size_t(i)]) != selected.end())
                List->selectionModel()->select(List->model()->index(i, 0),
                                               QItemSelectionModel::Select | QItemSelectionModel::Rows);
        List->resizeColumnsToContents();
    }
    List->verticalScrollBar()->setValue(scroll);
    WriteSelected->setText(lang::runTimeText(lang::Text::CompareWriteSelected, language));
    WriteAll->setText(lang::runTimeText(lang::Text::CompareWriteAll, language));
    CloseButton->setText(lang::runTimeText(lang::Text::CompareClose, language));
    const QString why = canWrite ? QString() : lang::runTimeText(lang::Text::CompareNeedsEditing, language);
    for (QPushButton *write : {WriteSelected, WriteAll}) {
        write->setEnabled(canWrite && !differences.empty());
        write->setToolTip(why);
    }
}

std::vector<int> TCompareWindow::SelectedCells() const
{
    std::vector<int> cells;
    for (const QModelIndex &row : List->selectionModel()->selectedRows())
        cells.push_back(m_cells[size_t(row.row())]);
    std::sort(cells.begin(), cells.end());
    return cells;
}

void TCompareWindow::closeEvent(QCloseEvent *event)
{
    event->accept();
    if (OnClose)
        OnClose();
}

} // namespace tarvex::app
