// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "logview/LogComparePlot.h"
#include "monitor/LogComparison.h"
#include "monitor/LogMapTrack.h"

#include <QWidget>
#include <optional>

class QLabel;
class QPushButton;
class QSpinBox;

namespace tarvex::widgets {
class TCompareCells;
}

namespace tarvex::logview {

class TLogAnalysisView;

// The log open in the viewer against another drive: by default the one open
// is before and the other after. The cells (shown by `cells`, a tab of the
// window) are analysed with the cell view's filters, lambda delay, sensor
// and targets; this page plots both logs on one time axis, aligned at their
// starts or at a moment the fitter picks in each.
class TLogCompareView : public QWidget {
public:
    TLogCompareView(const monitor::LogData &opened, const QString &openedPath, TLogAnalysisView *analysis,
                    widgets::TCompareCells *cells, QWidget *parent = nullptr);

    // The other drive, its map read from beside it.
    void SetOther(monitor::LogData log, const QString &path);
    void SwapClick();
    bool Swapped() const { return m_swapped; }
    // Both logs analysed again and compared.
    void Update();
    void AlignAtStarts();
    void SetMoment(TLogComparePlot::Which which, int record);
    void SetLanguage(int language);
    const std::optional<monitor::LogComparison> &Result() const { return m_result; }

    TLogComparePlot *Plot = nullptr;
    QLabel *AlignLabel = nullptr;
    QPushButton *StartsButton = nullptr;
    QLabel *BeforeLabel = nullptr;
    QSpinBox *BeforeMoment = nullptr; // from 1, as the plots number records
    QLabel *AfterLabel = nullptr;
    QSpinBox *AfterMoment = nullptr;
    QLabel *HintLabel = nullptr;
    QPushButton *SwapButton = nullptr; // beside the cells' title

private:
    struct Drive {
        const monitor::LogData *log;
        QString path;
        std::optional<monitor::LogMapTrack> base;
    };
    Drive Side(TLogComparePlot::Which which) const;
    void ShowLogs();

    const monitor::LogData &m_opened;
    QString m_openedPath;
    TLogAnalysisView *m_analysis;
    widgets::TCompareCells *m_cells;
    monitor::LogData m_other;
    QString m_otherPath;
    std::optional<monitor::LogMapTrack> m_otherTrack;
    bool m_swapped = false;
    int m_language = 0;
    std::optional<monitor::LogComparison> m_result;
};

} // namespace tarvex::logview
