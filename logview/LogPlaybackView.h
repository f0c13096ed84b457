// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "maps/WorkingTrail.h"
#include "widgets/LiveGauges.h"
#include "monitor/LogMapTrack.h"
#include "monitor/LogPlayback.h"

#include <QWidget>
#include <array>
#include <functional>
#include <optional>

class QComboBox;
class QLabel;
class QPushButton;
class QSlider;
class QTimer;

namespace tarvex::widgets {
class TAnalogGauge;
class TLogPlot;
class TMapGrid;
}

namespace tarvex::logview {

// A log played back beside its plots: the six gauges of the window and the
// fuel map in force with the working point's trail show the record under
// the plots' cursor, which moves as the log plays (0.5× to 16×), as the
// slider or a key moves it, or with the mouse over the plots while paused.
class TLogPlayback : public QWidget {
public:
    TLogPlayback(const monitor::LogData &log, widgets::TLogPlot *plot, QWidget *parent = nullptr);

    // The clock the playback runs by, in milliseconds; tests set their own.
    std::function<long long()> Now;

    std::array<widgets::TAnalogGauge *, widgets::kLiveGauges> Gauges{};
    widgets::TMapGrid *Grid = nullptr;
    QLabel *MapLabel = nullptr;
    QPushButton *PlayButton = nullptr;
    QComboBox *SpeedBox = nullptr;
    QSlider *Slider = nullptr;
    QLabel *PositionLabel = nullptr;
    QLabel *KeysLabel = nullptr;
    QTimer *Timer = nullptr;

    void PlayPause();
    void SetSpeed(int index); // of monitor::PlaybackClock::kSpeeds
    void Seek(int record);
    void Step(int records);
    // The timer's tick: the record the clock has reached.
    void Tick();
    int Shown() const { return m_shown; }
    const monitor::PlaybackClock &Clock() const { return m_clock; }
    const maps::WorkingTrail &Trail() const { return m_trail; }

    // The fuel map the log was taken with, and where it comes from; none
    // leaves the grid empty.
    void SetBase(std::optional<monitor::LogMapTrack> base, const QString &source);
    void SetWideBand(bool wideBand);
    void SetLanguage(int language);

protected:
    // Space plays and pauses, the arrow keys step one record.
    void keyPressEvent(QKeyEvent *event) override;

private:
    void Show(int record);
    void ShowPlaying();

    const monitor::LogData &m_log;
    widgets::TLogPlot *m_plot;
    monitor::PlaybackClock m_clock;
    monitor::PlaybackTrail m_trails;
    maps::WorkingTrail m_trail;
    std::optional<monitor::LogMapTrack> m_base;
    QString m_baseSource;
    std::optional<monitor::FuelMap> m_mapShown;
    bool m_wideBand = false;
    int m_language = 0;
    int m_shown = -1;
};

} // namespace tarvex::logview
