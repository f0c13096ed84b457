// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "widgets/AnalysisCells.h"
#include "widgets/AnalysisControls.h"
#include "monitor/LiveAnalysis.h"
#include "monitor/LogMapTrack.h"

#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

class QComboBox;
class QLabel;
class QPushButton;
class QTimer;

namespace tarvex::widgets {
class Dialogs;
class TCompareCells;
}

namespace tarvex::app {

// "Анализ": the fuel map's cells as the wide-band sensor sees them while
// driving, from the window's live data as it arrives (or from a log opened
// here), and the suggestion written to the ECU from here. It only reads
// what the window's ticks bring; writing is the window's, asked for by the
// fitter.
class TLiveAnalysisWindow : public QWidget {
public:
    // `keptPath`: where the lambda delay and the locked cells are kept (empty:
    // nowhere).
    TLiveAnalysisWindow(std::shared_ptr<widgets::Dialogs> dialogs, const QString &keptPath, QWidget *parent);

    // The window's ticks: a sensor reply, then the next tick's state reply.
    void SensorReply(const QByteArray &reply, double nowMs);
    void StateReply(const QByteArray &reply, double nowMs, const monitor::LiveAnalysis::ValueInForce &valueInForce);
    // No live data is taken now.
    void Pause() { m_live.pause(); }

    void ResetClick();
    void OpenLogClick();
    bool OpenLog(const QString &path);
    void BackToLiveClick();
    // A saved log as the drive before the one the window analyses: the
    // cells compared in a window of their own, followed as records arrive.
    void CompareClick();
    bool CompareWith(const QString &path);
    void WriteChosenClick();
    void WriteAllClick();
    void SetLanguage(int language);
    // Analyses again and shows it: the cells, the counts, the state.
    void Refresh();

    const monitor::Analysis &Result() const { return m_analysis; }
    int LiveRecords() const { return m_live.records(); }
    bool ShowingLog() const { return m_log.has_value(); }

    // What the window says: the fuel map the ECU holds (none when not
    // known), why no live data is taken (empty while it is), whether the
    // fuel map can be written now.
    std::function<std::optional<monitor::FuelMap>()> CurrentMap;
    std::function<QString(int language)> PauseReason;
    std::function<bool()> CanWrite;
    // Writes cells (0 to 255) to values as one batch; the cells written.
    std::function<std::vector<int>(const std::vector<std::pair<int, int>> &cells)> OnWrite;

    QLabel *StatusLabel = nullptr;
    QPushButton *ResetButton = nullptr;
    QPushButton *OpenLogButton = nullptr;
    QPushButton *LiveButton = nullptr;
    QPushButton *CompareButton = nullptr;
    widgets::TCompareCells *CompareWindow = nullptr; // once a log before is chosen
    widgets::TAnalysisControls Controls;
    QLabel *ShowLabel = nullptr;
    QComboBox *ShowBox = nullptr;
    widgets::TAnalysisCells *Cells = nullptr;
    QLabel *LockHintLabel = nullptr;
    QLabel *Summary = nullptr;
    QPushButton *WriteChosenButton = nullptr;
    QPushButton *WriteAllButton = nullptr;
    QTimer *RefreshTimer = nullptr; // the view follows the data twice a second while shown

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void Configure();
    void Lock(const std::vector<int> &cells, bool lock);
    void Write(const std::vector<int> &cells);
    void Message(const QString &text);
    void ShowComparison();

    std::shared_ptr<widgets::Dialogs> m_dialogs;
    QString m_keptPath;
    monitor::KeptAnalysis m_kept;
    int m_language = 0;
    monitor::LiveAnalysis m_live;
    // A log opened here: its records against the map beside it.
    struct OpenedLog {
        QString path;
        monitor::LogData data;
        monitor::LogMapTrack track;
        monitor::SensorKind sensor;
        std::optional<monitor::CellAccumulator> cells;
        std::vector<int> written; // cells written from it since it was opened
    };
    std::optional<OpenedLog> m_log;
    // The drive before, analysed with the window's filters and settings.
    struct BeforeLog {
        QString path;
        monitor::LogData data;
        std::optional<monitor::LogMapTrack> track;
        monitor::Analysis analysis;
    };
    std::optional<BeforeLog> m_before;
    monitor::Analysis m_analysis;
    bool m_haveCurrent = false;
    // What the cells last showed: they are filled again only when it changed.
    std::optional<std::pair<int, std::optional<monitor::FuelMap>>> m_shown;
};

} // namespace tarvex::app
