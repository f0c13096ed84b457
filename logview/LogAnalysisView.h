// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "widgets/AnalysisCells.h"
#include "widgets/AnalysisControls.h"
#include "monitor/LogAnalysis.h"

#include <QWidget>
#include <functional>
#include <memory>

class QComboBox;
class QLabel;
class QPushButton;

namespace tarvex::app {
class Dialogs;
}

namespace tarvex::logview {

// The fuel map's cells as a recorded drive saw them: records, mean lambda
// and a suggested new value per cell, with the filters and settings that
// make them, and the suggestion saved as a fuel map file. The base is the
// fuel map beside the log, or the map the fitter chooses; the lambda delay
// and the locked cells are kept in the user's settings.
class TLogAnalysisView : public QWidget {
public:
    TLogAnalysisView(const monitor::LogData &log, const QString &logPath, std::shared_ptr<widgets::Dialogs> dialogs,
                     QWidget *parent = nullptr);

    // The records analysed, first to last (the plots' zoom).
    void SetRange(int first, int last);
    void SetLanguage(int language);
    const monitor::Analysis &Result() const { return m_analysis; }
    monitor::SensorKind Sensor() const;
    // Reads a fuel map file as the current map (or as the target map, AFR ×
    // 10 per cell); false with the file's error shown when it fails.
    bool LoadCurrentMap(const QString &path);
    bool LoadTargetMap(const QString &path) { return Controls.LoadTargetMap(path); }
    void ChooseCurrentMapClick();
    // Locks or unlocks the selected cells.
    void LockSelectionClick(bool lock);
    void ToggleLock(int cell);
    const std::array<bool, monitor::kCellCount> &Locked() const { return m_kept.locked; }
    void ChooseTargetMapClick() { Controls.ChooseTargetMapClick(); }
    void SaveSuggestionClick();
    // Analyses again with what the controls say.
    void Analyse();

    using Show = widgets::TAnalysisCells::Show;

    QComboBox *SensorBox = nullptr;
    QLabel *SensorNote = nullptr;
    widgets::TAnalysisControls Controls;
    QLabel *RangeLabel = nullptr;
    QPushButton *CurrentMapButton = nullptr;
    QLabel *CurrentMapLabel = nullptr;
    QLabel *ShowLabel = nullptr;
    QComboBox *ShowBox = nullptr;
    widgets::TAnalysisCells *Cells = nullptr;
    QLabel *LockHintLabel = nullptr;
    QLabel *Summary = nullptr;
    QPushButton *SaveButton = nullptr;

    // The fuel map in force at each record, and the file it comes from;
    // none when there is neither a map beside the log nor one chosen.
    std::optional<monitor::LogMapTrack> Base() const;
    QString BaseFile() const;

    // Told when the sensor choice changes (the scatter colours by it).
    std::function<void(monitor::SensorKind)> OnSensorChanged;
    // Told when the fitter chose another current map.
    std::function<void()> OnBaseChanged;
    // Told after each analysis: other filters, settings or sensor.
    std::function<void()> OnAnalysed;

private:
    void UpdateCaptions();
    void FillCells();
    void Message(const QString &text);

    const monitor::LogData &m_log;
    QString m_logPath;
    std::shared_ptr<widgets::Dialogs> m_dialogs;
    int m_language = 0;
    bool m_sensorGuessed = true;
    int m_first = 0;
    int m_last = -1;
    // The fuel map beside the log, and the one the fitter chose instead.
    QString m_trackPath;
    monitor::LogMapTrackRead m_track;
    std::optional<std::array<int, monitor::kCellCount>> m_current;
    QString m_currentPath;
    // The lambda delay and the locked cells, kept in the user's settings.
    monitor::KeptAnalysis m_kept;
    monitor::Analysis m_analysis;
};

} // namespace tarvex::logview
