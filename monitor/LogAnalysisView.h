#pragma once

#include "monitor/LogAnalysis.h"

#include <QWidget>
#include <functional>
#include <memory>

class QAction;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QTableWidget;

namespace tarvex::app {
class Dialogs;
}

namespace tarvex::monitor {

// The fuel map's cells as a recorded drive saw them: records, mean lambda
// and a suggested new value per cell, with the filters and settings that
// make them, and the suggestion saved as a fuel map file. The base is the
// fuel map beside the log, or the map the fitter chooses; the lambda delay
// and the locked cells are kept in the user's settings.
class TLogAnalysisView : public QWidget {
public:
    TLogAnalysisView(const LogData &log, const QString &logPath, std::shared_ptr<app::Dialogs> dialogs,
                     QWidget *parent = nullptr);

    // The records analysed, first to last (the plots' zoom).
    void SetRange(int first, int last);
    void SetLanguage(int language);
    const Analysis &Result() const { return m_analysis; }
    SensorKind Sensor() const;
    // Reads a fuel map file as the current map (or as the target map, AFR ×
    // 10 per cell); false with the file's error shown when it fails.
    bool LoadCurrentMap(const QString &path);
    bool LoadTargetMap(const QString &path);
    void ChooseCurrentMapClick();
    // Locks or unlocks the selected cells.
    void LockSelectionClick(bool lock);
    void ToggleLock(int cell);
    const std::array<bool, kCellCount> &Locked() const { return m_locked; }
    void ChooseTargetMapClick();
    void SaveSuggestionClick();
    // Analyses again with what the controls say.
    void Analyse();
    // The fuel map in force at each record, and the file it comes from;
    // none when there is neither a map beside the log nor one chosen.
    std::optional<LogMapTrack> Base() const;
    QString BaseFile() const;

    enum class Show { Records, Lambda, Suggestion };

    QComboBox *SensorBox = nullptr;
    QLabel *SensorNote = nullptr;
    QLabel *FilterLabel = nullptr;
    QDoubleSpinBox *CoolantBox = nullptr;
    QLabel *ThrottleLabel = nullptr;
    QDoubleSpinBox *ThrottleBox = nullptr;
    QCheckBox *OverrunBox = nullptr;
    QLabel *MinRecordsLabel = nullptr;
    QSpinBox *MinRecordsBox = nullptr;
    QLabel *RangeLabel = nullptr;
    QLabel *TargetLabel = nullptr;
    QDoubleSpinBox *TargetBox = nullptr;
    QPushButton *TargetMapButton = nullptr;
    QLabel *TargetMapLabel = nullptr;
    QLabel *DelayLabel = nullptr;
    QSpinBox *DelayBox = nullptr;
    QLabel *MaxChangeLabel = nullptr;
    QDoubleSpinBox *MaxChangeBox = nullptr;
    QPushButton *CurrentMapButton = nullptr;
    QLabel *CurrentMapLabel = nullptr;
    QLabel *ShowLabel = nullptr;
    QComboBox *ShowBox = nullptr;
    QTableWidget *Cells = nullptr;
    QAction *LockAction = nullptr;
    QAction *UnlockAction = nullptr;
    QLabel *LockHintLabel = nullptr;
    QLabel *Summary = nullptr;
    QPushButton *SaveButton = nullptr;

    // Told when the sensor choice changes (the scatter colours by it).
    std::function<void(SensorKind)> OnSensorChanged;
    // Told when the fitter chose another current map.
    std::function<void()> OnBaseChanged;

private:
    void UpdateCaptions();
    void FillCells();
    void Message(const QString &text);
    void ReadSettings();
    void WriteSettings() const;

    const LogData &m_log;
    QString m_logPath;
    std::shared_ptr<app::Dialogs> m_dialogs;
    int m_language = 0;
    bool m_sensorGuessed = true;
    int m_first = 0;
    int m_last = -1;
    // The fuel map beside the log, and the one the fitter chose instead.
    QString m_trackPath;
    LogMapTrackRead m_track;
    std::optional<std::array<int, kCellCount>> m_current;
    QString m_currentPath;
    std::array<bool, kCellCount> m_locked{};
    std::optional<std::array<double, kCellCount>> m_targets;
    QString m_targetPath;
    Analysis m_analysis;
};

} // namespace tarvex::monitor
