// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "widgets/Dialogs.h"
#include "app/MapPage.h"
#include "maps/MapFile.h"

#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>
#include <optional>

class QAction;
class QMenu;

namespace tarvex::widgets {
class TMapSurface;
}

namespace tarvex::app {

class TCompareWindow;

enum class MapOperation { SetValue, Add, Scale, InterpolateRows, InterpolateColumns, InterpolateBoth, Smooth,
                          Increment, Decrement };

// What a batch of writes came to.
struct BatchResult {
    size_t written = 0;
    bool cancelled = false;
    std::vector<maps::CellDifference> missing; // cells that did not land
};
// Puts one write where the map lives: on the line, or into a file's map.
using CellSender = std::function<void(const maps::CellChange &change)>;

// The editing of one map page, the same whether the ECU or a file holds the
// map: the grid's menu and keys, typing, operations on a selection, paste,
// undo and redo, the surface and the comparison. Every change is planned by
// the page's session and handed to the host, which sends it its own way.
class TMapEditor : public QObject {
public:
    struct Host {
        QWidget *window = nullptr; // parent of the boxes and windows
        std::shared_ptr<widgets::Dialogs> dialogs;
        std::function<int()> language;
        // Changes may be made now: the session's rules and the host's.
        std::function<bool()> editable;
        std::function<BatchResult(const maps::Plan &plan)> send;
        // The page shows its session again.
        std::function<void()> show;
        // Runs a handler under the host's error report.
        std::function<void(const std::function<void()> &handler)> guarded;
        std::function<int()> workingPoint; // a cell, -1 for none
        std::function<QString()> compareFolder; // where the comparison's dialog starts
        // The service report (Ctrl+P), where the host makes one.
        std::function<void()> report;
    };
    TMapEditor(TMapPage &page, Host host);
    ~TMapEditor() override;

    struct Actions {
        QAction *copy = nullptr, *paste = nullptr, *undo = nullptr, *redo = nullptr;
        QAction *setValue = nullptr, *add = nullptr, *scale = nullptr;
        QAction *interpolateRows = nullptr, *interpolateColumns = nullptr, *interpolateBoth = nullptr;
        QAction *smooth = nullptr, *increment = nullptr, *decrement = nullptr;
        QAction *surface = nullptr, *compare = nullptr, *endCompare = nullptr;
        QAction *report = nullptr;
    };
    Actions actions;
    // Windows of their own, made when first asked for.
    QPointer<widgets::TMapSurface> surface;
    QPointer<TCompareWindow> compareWindow;

    // The grid's context menu as it would open now.
    std::unique_ptr<QMenu> MakeMenu();
    void UpdateCaptions();

    void Operation(MapOperation operation);
    void Copy();
    void Paste();
    void PasteText(const QString &text);
    void Undo();
    void Redo();
    // "+" and "-" on the grid (not in its editor): true when it was one.
    bool StepKey(int key);

    void ShowSurface();
    // The page's open dialog, starting among the copies, then the comparison.
    void Compare();
    void CompareWith(maps::Comparison comparison);
    void ShowCompareWindow();
    void EndComparison();
    // The compared values into these cells (0 to 255), as the comparison's
    // source.
    void WriteCompared(const std::vector<int> &cells);
    // The comparison's marks and list, in place.
    void RefreshComparison();

    // Tells why a change was refused; the refused cell shows the map's value.
    void Refuse(const maps::Plan &plan);
    // Sends the writes of a plan the session has not refused, telling the
    // session of each; `paced` shows each cell as it goes and a cancelable
    // progress window for more than one. An error ends the batch and is
    // thrown on once the session knows what was sent.
    BatchResult Run(const maps::Plan &plan, const CellSender &send, bool paced);

    // The page's open dialog and the file's check, against the page's
    // range too; none when cancelled or refused (the refusal told).
    std::optional<maps::MapFileRead> ChooseFile(const QString &folder, QString *path = nullptr);

private:
    void Warn(const QString &text);
    int Language() const { return m_host.language(); }

    TMapPage &m_page;
    Host m_host;
};

} // namespace tarvex::app
