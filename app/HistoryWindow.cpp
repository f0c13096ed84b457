// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/HistoryWindow.h"
#include "lang/RunTimeTexts.h"
#include "maps/MapCompare.h"
#include "maps/MapFile.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace tarvex::app {

namespace {
enum Column { TimeColumn, MapColumn, SourceColumn, DiffersColumn, NoteColumn, Columns };

// The texts of the sources, in the order of maps::BackupSource.
constexpr lang::Text kSourceTexts[] = {lang::Text::SourceUnknown,  lang::Text::SourceFirstRead, lang::Text::SourceFileLoad,
                                 lang::Text::SourceTemplate, lang::Text::SourceStore,     lang::Text::SourceReconnect,
                                 lang::Text::SourceMapEditor};
} // namespace

THistoryWindow::THistoryWindow(QString folder, QWidget *parent) : QWidget(parent, Qt::Window), m_folder(std::move(folder))
{
    setObjectName(QStringLiteral("HistoryWindow"));
    Summary = new QLabel(this);
    Summary->setTextFormat(Qt::PlainText);
    Summary->setWordWrap(true);
    List = new QTableWidget(0, Columns, this);
    List->setSelectionBehavior(QAbstractItemView::SelectRows);
    List->setSelectionMode(QAbstractItemView::SingleSelection);
    List->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    List->verticalHeader()->hide();
    List->verticalHeader()->setDefaultSectionSize(List->fontMetrics().height() + 6);
    List->horizontalHeader()->setStretchLastSection(true);
    CompareButton = new QPushButton(this);
    CloseButton = new QPushButton(this);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(CompareButton);
    buttons->addStretch();
    buttons->addWidget(CloseButton);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Summary);
    layout->addWidget(List);
    layout->addLayout(buttons);
    resize(720, 420);
    connect(CompareButton, &QPushButton::clicked, this, &THistoryWindow::Choose);
    connect(CloseButton, &QPushButton::clicked, this, &QWidget::close);
    connect(List, &QTableWidget::cellDoubleClicked, this, [this](int, int column) {
        if (column != NoteColumn)
            Choose();
    });
    connect(List, &QTableWidget::itemChanged, this, [this](QTableWidgetItem *item) {
        if (m_filling || item->column() != NoteColumn || size_t(item->row()) >= m_copies.size())
            return;
        maps::BackupEntry &copy = m_copies[size_t(item->row())];
        copy.note = item->text();
        if (OnNote)
            OnNote(copy, copy.note);
    });
}

std::optional<int> THistoryWindow::Differences(int row) const
{
    return row >= 0 && size_t(row) < m_differences.size() ? m_differences[size_t(row)] : std::nullopt;
}

void THistoryWindow::Update(const std::array<std::optional<QStringList>, 2> &ecu, int language)
{
    m_language = language;
    m_copies = maps::listBackups(m_folder);
    m_differences.clear();
    for (const maps::BackupEntry &copy : m_copies) {
        auto read = m_read.find(copy.path);
        if (read == m_read.end()) {
            const maps::MapFileRead file = maps::readMapFile(copy.path, language);
            read = m_read.emplace(copy.path, file.error.isEmpty() ? file.cells : QStringList()).first;
        }
        const std::optional<QStringList> &now = ecu[copy.page == maps::MapPage::Fuel ? 0 : 1];
        m_differences.push_back(now && !read->second.isEmpty()
                                    ? std::optional<int>(int(maps::mapDifferences(*now, read->second).size()))
                                    : std::nullopt);
    }
    Fill();
}

void THistoryWindow::SetLanguage(int language)
{
    m_language = language;
    Fill();
}

void THistoryWindow::Fill()
{
    const int l = m_language;
    m_filling = true;
    setWindowTitle(lang::runTimeText(lang::Text::HistoryTitle, l));
    Summary->setText(lang::runTimeText(lang::Text::HistorySummary, l).arg(m_copies.size()).arg(QDir::toNativeSeparators(m_folder)));
    List->setHorizontalHeaderLabels({lang::runTimeText(lang::Text::HistoryTime, l), lang::runTimeText(lang::Text::CompareMap, l),
                                     lang::runTimeText(lang::Text::HistorySource, l), lang::runTimeText(lang::Text::HistoryDiffers, l),
                                     lang::runTimeText(lang::Text::HistoryNote, l)});
    const int selected = List->currentRow();
    List->setRowCount(int(m_copies.size()));
    for (int row = 0; row < int(m_copies.size()); ++row) {
        const maps::BackupEntry &copy = m_copies[size_t(row)];
        const std::optional<int> differ = m_differences[size_t(row)];
        const QString texts[Columns] = {
            copy.time.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss")),
            lang::runTimeText(copy.page == maps::MapPage::Fuel ? lang::Text::MapNameFuel : lang::Text::MapNameIgnition, l),
            lang::runTimeText(kSourceTexts[size_t(copy.source)], l),
            differ ? QString::number(*differ) : QStringLiteral("—"),
            copy.note,
        };
        for (int column = 0; column < Columns; ++column) {
            auto *item = new QTableWidgetItem(texts[column]);
            if (column != NoteColumn)
                item->setFlags(item->flags() & ~Qt::ItemIsEditable);
            else
                item->setToolTip(QFileInfo(copy.path).fileName());
            List->setItem(row, column, item);
        }
    }
    List->resizeColumnsToContents();
    if (selected >= 0 && selected < List->rowCount())
        List->selectRow(selected);
    CompareButton->setText(lang::runTimeText(lang::Text::HistoryCompare, l));
    CloseButton->setText(lang::runTimeText(lang::Text::CompareClose, l));
    m_filling = false;
}

void THistoryWindow::Choose()
{
    const int row = List->currentRow();
    if (row >= 0 && size_t(row) < m_copies.size() && OnChoose)
        OnChoose(m_copies[size_t(row)]);
}

} // namespace tarvex::app
