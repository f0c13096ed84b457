// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/MapPage.h"
#include "app/CompareWindow.h"
#include "maps/MapFile.h"
#include "widgets/MapGrid.h"
#include "maps/MapScale.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QTabBar>
#include <QTabWidget>

namespace tarvex::app {

namespace {
using link::CommandId;

const MapPageTable kPages[2] = {
    {maps::MapPage::Fuel, 1, CommandId::FuelRead, CommandId::FuelStore, CommandId::FuelCellWrite,
     CommandId::FuelFileCellWrite, CommandId::FuelTemplate, lang::Text::MapNameFuel, lang::Text::FuelUnstored, ".inj",
     "Injection Table ", "injection table", "*.inj", "inj", "Топливная карта сохранена в файл.",
     "Загружен шаблон топливной карты."},
    {maps::MapPage::Ignition, 2, CommandId::IgnRead, CommandId::IgnStore, CommandId::IgnCellWrite,
     CommandId::IgnFileCellWrite, CommandId::IgnTemplate, lang::Text::MapNameIgnition, lang::Text::IgnitionUnstored, ".ign",
     "dwell table", "Dwell table", "*.ign", "ign", "Карта УОЗ сохранена в файл.", "Загружен шаблон карты зажигания."},
};

// Cells named in one message about writes that did not land.
constexpr size_t kMissingNamed = 8;

} // namespace

const MapPageTable &mapPageTable(int map)
{
    return kPages[map == 0 ? 0 : 1];
}

TMapPage::TMapPage(int map, Controls c, bool file)
    : table(mapPageTable(map)), controls(c), fileBacked(file), session(table.kind)
{
}

void TMapPage::Show(int language)
{
    controls.grid->ShowCells(session.shownCells());
    controls.grid->SetPending(session.pendingCells());
    controls.grid->SetStale(session.hasMap() && !session.known());
    ShowStatus(language);
}

void TMapPage::ShowStatus(int language)
{
    QStringList parts;
    QString source;
    if (note)
        parts << note(language);
    const int unstored = session.hasMap() ? session.unstoredCount() : 0;
    // A refusal's note may say it already.
    auto add = [&parts](const QString &part) {
        if (!parts.contains(part))
            parts << part;
    };
    if (session.readLost())
        add(lang::runTimeText(lang::Text::PageReadFailed, language));
    else if (session.needsCompare())
        add(lang::runTimeText(lang::Text::PageNotRead, language));
    else if (unstored > 0)
        parts << lang::runTimeText(fileBacked ? lang::Text::FileUnsaved : lang::Text::PageUnstored, language)
                     .arg(unstored);
    else if (session.storedSinceChange())
        parts << lang::runTimeText(fileBacked ? lang::Text::FileSaved : lang::Text::PageStored, language);
    if (const std::optional<maps::Comparison> &comparison = session.comparison()) {
        parts << lang::runTimeText(comparison->path.isEmpty() ? lang::Text::CompareCountWindow : lang::Text::CompareCount,
                                   language)
                     .arg(session.comparisonDifferences().size());
        source = comparison->path;
    } else if (backupDiffers > 0) {
        parts << lang::runTimeText(lang::Text::BackupDiffers, language).arg(backupDiffers);
        source = backupEarlier;
    }
    // One line: what does not fit is in the tooltip, with the file named.
    const QString text = parts.join(QStringLiteral("; "));
    QLabel *status = controls.status;
    status->setText(text.isEmpty() ? QStringLiteral(" ")
                                   : status->fontMetrics().elidedText(text, Qt::ElideRight, status->width()));
    status->setToolTip(source.isEmpty() ? text : text + QLatin1Char('\n') + QDir::toNativeSeparators(source));
    if (!controls.tabs)
        return;
    // The tab's caption in orange, not an icon: the tabs keep their size.
    controls.tabs->tabBar()->setTabTextColor(table.tab, unstored > 0 ? QColor(210, 100, 0) : QColor());
    controls.tabs->setTabToolTip(table.tab, unstored > 0
                                                ? lang::runTimeText(lang::Text::PageUnstored, language).arg(unstored)
                                                : QString());
}

void TMapPage::ShowComparison(TCompareWindow *window, bool canWrite, int language)
{
    const std::optional<maps::Comparison> &comparison = session.comparison();
    if (!comparison) {
        controls.grid->SetMarks({});
        return;
    }
    const std::vector<maps::CellDifference> differences = session.comparisonDifferences();
    std::map<int, QString> marks;
    for (const maps::CellDifference &d : differences)
        marks[d.cell] = d.file;
    controls.grid->SetMarks(std::move(marks));
    if (!window)
        return;
    const QString name = lang::runTimeText(table.name, language);
    window->Update(comparison->path.isEmpty()
                       ? lang::runTimeText(lang::Text::CompareTitleWindow, language).arg(name)
                       : lang::runTimeText(lang::Text::CompareTitle, language)
                             .arg(name, QFileInfo(comparison->path).fileName()),
                   differences, canWrite, comparison->path.isEmpty(), language);
}

void TMapPage::NoteBackupDifference(const QString &folder, int language)
{
    backupDiffers = 0;
    backupEarlier.clear();
    const QString earlier = maps::newestMapFile(folder, QLatin1String(table.extension), session.lastBackup());
    if (earlier.isEmpty())
        return;
    const maps::MapFileRead file = maps::readMapFile(earlier, language);
    if (!file.error.isEmpty())
        return;
    const size_t differ = maps::mapDifferences(session.ecu(), file.cells).size();
    if (differ == 0)
        return;
    backupDiffers = int(differ);
    backupEarlier = earlier;
}

QString missingCellsText(const std::vector<maps::CellDifference> &missing, int language)
{
    QStringList items;
    for (size_t i = 0; i < missing.size() && i < kMissingNamed; ++i) {
        const maps::CellDifference &d = missing[i];
        items << lang::runTimeText(lang::Text::CellMissingItem, language)
                     .arg(QString::number(d.cell + 1), QString::number(d.cell / 16 + 1),
                          maps::speedCaption(d.cell % 16), d.ecu, d.file);
    }
    if (missing.size() > kMissingNamed)
        items << lang::runTimeText(lang::Text::AndMore, language).arg(missing.size() - kMissingNamed);
    return items.join(QStringLiteral(", "));
}

} // namespace tarvex::app
