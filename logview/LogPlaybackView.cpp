// SPDX-License-Identifier: GPL-3.0-or-later
#include "logview/LogPlaybackView.h"
#include "lang/RunTimeTexts.h"
#include "widgets/MapGrid.h"
#include "widgets/AnalogGauge.h"
#include "widgets/LogPlot.h"

#include <QComboBox>
#include <QDateTime>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QTimer>
#include <QVBoxLayout>

using namespace tarvex::monitor;
using namespace tarvex::widgets;

namespace tarvex::logview {

namespace {
// The field each gauge shows, in the order of LiveGauge.
constexpr LogField kGaugeFields[kLiveGauges] = {LogField::Rpm, LogField::Volt,   LogField::Temp,
                                                LogField::Tps, LogField::Lambda, LogField::Map};
constexpr int kFrameMs = 30;
} // namespace

TLogPlayback::TLogPlayback(const LogData &log, TLogPlot *plot, QWidget *parent)
    : QWidget(parent), m_log(log), m_plot(plot), m_clock(int(log.records.size())), m_trails(log)
{
    Now = [] { return QDateTime::currentMSecsSinceEpoch(); };
    // The gauges as the window places them, three by two; the grid below.
    auto *gauges = new QGridLayout;
    gauges->setSpacing(7);
    for (int g = 0; g < kLiveGauges; ++g) {
        Gauges[size_t(g)] = makeLiveGauge(this, LiveGauge(g));
        Gauges[size_t(g)]->setFixedSize(113, 65);
        gauges->addWidget(Gauges[size_t(g)], g / 3, g % 3);
    }
    Grid = new widgets::TMapGrid(this);
    Grid->setFocusPolicy(Qt::NoFocus);
    Grid->SetTrail(&m_trail);
    MapLabel = new QLabel(this);
    MapLabel->setTextFormat(Qt::PlainText);
    MapLabel->setWordWrap(true);
    MapLabel->setMaximumWidth(Grid->width());
    auto *side = new QVBoxLayout;
    side->addLayout(gauges);
    side->addWidget(MapLabel);
    side->addWidget(Grid);
    side->addStretch();

    PlayButton = new QPushButton(this);
    PlayButton->setFocusPolicy(Qt::NoFocus);
    SpeedBox = new QComboBox(this);
    SpeedBox->setFocusPolicy(Qt::NoFocus);
    for (double speed : PlaybackClock::kSpeeds)
        SpeedBox->addItem(QLocale().toString(speed) + QStringLiteral("×"));
    SpeedBox->setCurrentIndex(1);
    Slider = new QSlider(Qt::Horizontal, this);
    Slider->setFocusPolicy(Qt::NoFocus);
    Slider->setRange(0, std::max(0, int(log.records.size()) - 1));
    PositionLabel = new QLabel(this);
    KeysLabel = new QLabel(this);
    KeysLabel->setStyleSheet(QStringLiteral("color: #606060"));
    auto *bar = new QHBoxLayout;
    bar->addWidget(PlayButton);
    bar->addWidget(SpeedBox);
    bar->addWidget(Slider, 1);
    bar->addWidget(PositionLabel);
    bar->addWidget(KeysLabel);

    auto *layout = new QGridLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(plot, 0, 0);
    layout->addLayout(side, 0, 1);
    layout->addLayout(bar, 1, 0, 1, 2);
    layout->setColumnStretch(0, 1);

    setFocusPolicy(Qt::StrongFocus);
    plot->setFocusPolicy(Qt::ClickFocus); // its keys come here
    Timer = new QTimer(this);
    Timer->setInterval(kFrameMs);
    connect(Timer, &QTimer::timeout, this, &TLogPlayback::Tick);
    connect(PlayButton, &QPushButton::clicked, this, &TLogPlayback::PlayPause);
    connect(SpeedBox, &QComboBox::currentIndexChanged, this, &TLogPlayback::SetSpeed);
    connect(Slider, &QSlider::valueChanged, this, &TLogPlayback::Seek);
    // While paused the cursor follows the mouse over the plots, and all
    // else follows the cursor.
    plot->OnCursorMoved = [this](int record) {
        if (!m_clock.playing())
            Seek(record);
    };
    SetLanguage(0);
    Show(0);
}

void TLogPlayback::SetLanguage(int language)
{
    m_language = language;
    KeysLabel->setText(lang::runTimeText(lang::Text::PlaybackKeys, language));
    SetBase(m_base, m_baseSource);
    ShowPlaying();
}

void TLogPlayback::SetBase(std::optional<LogMapTrack> base, const QString &source)
{
    m_base = std::move(base);
    m_baseSource = source;
    MapLabel->setText(m_base ? lang::runTimeText(lang::Text::PlaybackMapTrack, m_language).arg(source)
                             : lang::runTimeText(lang::Text::PlaybackNoMap, m_language));
    m_mapShown.reset();
    if (!m_base)
        Grid->ShowCells(QStringList(256, QString()));
    if (m_shown >= 0)
        Show(m_shown);
}

void TLogPlayback::SetWideBand(bool wideBand)
{
    m_wideBand = wideBand;
    if (m_shown >= 0)
        Show(m_shown);
}

void TLogPlayback::PlayPause()
{
    const long long now = Now();
    if (m_clock.playing()) {
        m_clock.pause(now);
        Timer->stop();
    } else {
        m_clock.seek(std::max(0, m_shown), now);
        m_clock.play(now);
        if (m_clock.playing())
            Timer->start();
    }
    Show(m_clock.record(now));
}

void TLogPlayback::SetSpeed(int index)
{
    m_clock.setSpeed(PlaybackClock::kSpeeds[size_t(std::clamp(index, 0, int(PlaybackClock::kSpeeds.size()) - 1))],
                     Now());
}

void TLogPlayback::Seek(int record)
{
    const long long now = Now();
    m_clock.seek(record, now);
    Show(m_clock.record(now));
}

void TLogPlayback::Step(int records)
{
    const long long now = Now();
    m_clock.step(records, now);
    Timer->stop();
    Show(m_clock.record(now));
}

void TLogPlayback::Tick()
{
    const int record = m_clock.record(Now());
    if (!m_clock.playing())
        Timer->stop();
    if (record != m_shown || !m_clock.playing())
        Show(record);
}

void TLogPlayback::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Space: PlayPause(); break;
    case Qt::Key_Left: Step(-1); break;
    case Qt::Key_Right: Step(1); break;
    default: QWidget::keyPressEvent(event); return;
    }
    event->accept();
}

void TLogPlayback::ShowPlaying()
{
    PlayButton->setText(lang::runTimeText(m_clock.playing() ? lang::Text::PlaybackPause : lang::Text::PlaybackPlay,
                                         m_language));
    const int shown = std::max(0, m_shown);
    PositionLabel->setText(lang::runTimeText(lang::Text::PlaybackPosition, m_language)
                               .arg(shown + 1)
                               .arg(m_log.records.size())
                               .arg(QLocale().toString(shown * PlaybackClock::kSecondsPerRecord, 'f', 1)));
}

void TLogPlayback::Show(int record)
{
    if (m_log.records.empty())
        return;
    m_shown = std::clamp(record, 0, int(m_log.records.size()) - 1);
    const LogRecord &r = m_log.records[size_t(m_shown)];
    // The plots' cursor, the view panned to keep it in sight.
    const double span = m_plot->ViewEnd() - m_plot->ViewStart();
    if (m_shown < m_plot->ViewStart() || m_shown > m_plot->ViewEnd())
        m_plot->SetView(m_shown - span * 0.1, m_shown - span * 0.1 + span);
    m_plot->SetCursorRecord(m_shown);
    m_plot->SetFollowMouse(!m_clock.playing());
    for (int g = 0; g < kLiveGauges; ++g) {
        const std::optional<QByteArray> &value = r[kGaugeFields[g]];
        const bool known = value && !value->isEmpty();
        Gauges[size_t(g)]->SetNoData(!known);
        if (known)
            showLiveValue(Gauges[size_t(g)], LiveGauge(g), *value, m_wideBand);
    }
    if (m_base) {
        const FuelMap map = m_base->mapAt(m_shown);
        if (map != m_mapShown) {
            QStringList cells;
            for (int value : map)
                cells << QString::number(value);
            Grid->ShowCells(cells);
            m_mapShown = map;
        }
    }
    m_trail.clear();
    for (int cell : m_trails.at(m_shown))
        m_trail.visit(cell);
    if (m_trail.newest() >= 0)
        Grid->setCurrentCell(m_trail.newest() / 16, m_trail.newest() % 16);
    Grid->viewport()->update();
    {
        const QSignalBlocker quiet(Slider);
        Slider->setValue(m_shown);
    }
    ShowPlaying();
}

} // namespace tarvex::logview
