// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "widgets/LogPlot.h"
#include "monitor/LogReader.h"

#include <QWidget>
#include <memory>

class QAction;
class QComboBox;
class QLabel;
class QMenu;
class QMenuBar;
class QTabWidget;

namespace tarvex::widgets {
class Dialogs;
class TCompareCells;
class TLogScatter;
class TLogPlot;
}

namespace tarvex::logview {

class TLogAnalysisView;
class TLogCompareView;
class TLogPlayback;

// tarvex-logview's window: the plots of a log played back on the window's
// gauges and fuel map, its cells with a suggested fuel map, and its records
// as a scatter; the cells and the scatter take the records the plots show.
// The language box chooses the new texts. Nothing here opens a port.
class TLogViewWindow : public QWidget {
public:
    TLogViewWindow(monitor::LogData log, const QString &path, std::shared_ptr<widgets::Dialogs> dialogs,
                   QWidget *parent = nullptr);

    QTabWidget *Views = nullptr;
    QComboBox *LanguageBox = nullptr;
    QLabel *BadLinesLabel = nullptr; // shown when lines of the log were skipped
    widgets::TLogPlot *Plot = nullptr;
    // The plots' tab: the plots, and the log played back beside them.
    TLogPlayback *Playback = nullptr;
    TLogAnalysisView *CellView = nullptr;
    widgets::TLogScatter *Scatter = nullptr;
    // Before and after: "Сравнить с записью…" in the menu opens two tabs,
    // the cells and the plots of this log against another.
    QMenuBar *MenuBar = nullptr;
    QMenu *LogMenu = nullptr;
    QAction *CompareAction = nullptr;
    widgets::TCompareCells *CompareCells = nullptr;
    TLogCompareView *Compare = nullptr;

    // The plots' zoom, into the cells and the scatter.
    void TakeRange();
    void SetLanguage(int language);
    // Compares this log with another, chosen or read already; false when
    // it cannot be read (the box says why).
    void CompareClick();
    bool CompareWith(const QString &path);
    void CompareWith(monitor::LogData other, const QString &path);
    // The plots' words in a language of the box.
    static widgets::PlotTexts PlotTextsFor(int language);

private:
    monitor::LogData m_log;
    QString m_path;
    std::shared_ptr<widgets::Dialogs> m_dialogs;
    int m_language = 0;
};

} // namespace tarvex::logview
