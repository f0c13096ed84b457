#pragma once

#include "maps/WorkingTrail.h"
#include "monitor/LiveGauges.h"
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

namespace tarvex::maps {
class TMapGrid;
}

namespace tarvex::monitor {

class TAnalogGauge;
class TLogPlot;

// A log played back beside its plots: the six gauges of the window and the
// fuel map in force with the working point's trail show the record under
// the plots' cursor, which moves as the log plays (0.5× to 16×), as the
// slider or a key moves it, or with the mouse over the plots while paused.
class TLogPlayback : public QWidget {
public:
    TLogPlayback(const LogData &log, TLogPlot *plot, QWidget *parent = nullptr);

    // The clock the playback runs by, in milliseconds; tests set their own.
    std::function<long long()> Now;

    std::array<TAnalogGauge *, kLiveGauges> Gauges{};
    maps::TMapGrid *Grid = nullptr;
    QLabel *MapLabel = nullptr;
    QPushButton *PlayButton = nullptr;
    QComboBox *SpeedBox = nullptr;
    QSlider *Slider = nullptr;
    QLabel *PositionLabel = nullptr;
    QLabel *KeysLabel = nullptr;
    QTimer *Timer = nullptr;

    void PlayPause();
    void SetSpeed(int index); // of PlaybackClock::kSpeeds
    void Seek(int record);
    void Step(int records);
    // The timer's tick: the record the clock has reached.
    void Tick();
    int Shown() const { return m_shown; }
    const PlaybackClock &Clock() const { return m_clock; }
    const maps::WorkingTrail &Trail() const { return m_trail; }

    // The fuel map the log was taken with, and where it comes from; none
    // leaves the grid empty.
    void SetBase(std::optional<LogMapTrack> base, const QString &source);
    void SetWideBand(bool wideBand);
    void SetLanguage(int language);

protected:
    // Space plays and pauses, the arrow keys step one record.
    void keyPressEvent(QKeyEvent *event) override;

private:
    void Show(int record);
    void ShowPlaying();

    const LogData &m_log;
    TLogPlot *m_plot;
    PlaybackClock m_clock;
    PlaybackTrail m_trails;
    maps::WorkingTrail m_trail;
    std::optional<LogMapTrack> m_base;
    QString m_baseSource;
    std::optional<FuelMap> m_mapShown;
    bool m_wideBand = false;
    int m_language = 0;
    int m_shown = -1;
};

} // namespace tarvex::monitor
