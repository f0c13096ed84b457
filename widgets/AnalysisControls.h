// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "monitor/LogAnalysis.h"

#include <QString>
#include <functional>
#include <memory>

class QCheckBox;
class QDoubleSpinBox;
class QGridLayout;
class QLabel;
class QPushButton;
class QSpinBox;
class QWidget;

namespace tarvex::widgets {

class Dialogs;

// The filters and settings of a cell analysis as controls of the window
// that holds them (the log viewer's cells, the window's live analysis):
// coolant, throttle, fuel cut, records a cell needs, lambda delay, target
// (one value or a map file) and the largest change.
class TAnalysisControls {
public:
    TAnalysisControls(QWidget *parent, std::shared_ptr<Dialogs> dialogs);

    // Four rows of the owner's grid from `row` on, six columns wide.
    void Place(QGridLayout *grid, int row);
    void SetLanguage(int language);
    // The time range is the owner's; so are the locked cells.
    monitor::AnalysisFilters Filters() const;
    monitor::SuggestionSettings Settings() const;
    // A map file of AFR × 10 per cell as the targets; false with the file's
    // error shown when it cannot be read.
    bool LoadTargetMap(const QString &path);
    void ChooseTargetMapClick();

    QLabel *FilterLabel = nullptr;
    QDoubleSpinBox *CoolantBox = nullptr;
    QLabel *ThrottleLabel = nullptr;
    QDoubleSpinBox *ThrottleBox = nullptr;
    QCheckBox *OverrunBox = nullptr;
    QLabel *MinRecordsLabel = nullptr;
    QSpinBox *MinRecordsBox = nullptr;
    QLabel *DelayLabel = nullptr;
    QSpinBox *DelayBox = nullptr;
    QLabel *TargetLabel = nullptr;
    QDoubleSpinBox *TargetBox = nullptr;
    QLabel *MaxChangeLabel = nullptr;
    QDoubleSpinBox *MaxChangeBox = nullptr;
    QPushButton *TargetMapButton = nullptr;
    QLabel *TargetMapLabel = nullptr;

    // Any of them changed.
    std::function<void()> OnChanged;

private:
    void Changed();

    QWidget *m_parent;
    std::shared_ptr<Dialogs> m_dialogs;
    int m_language = 0;
    std::optional<std::array<int, monitor::kCellCount>> m_targets;
    QString m_targetPath;
};

} // namespace tarvex::widgets
