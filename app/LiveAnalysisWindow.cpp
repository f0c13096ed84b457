// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/LiveAnalysisWindow.h"
#include "widgets/CompareCells.h"
#include "widgets/Dialogs.h"
#include "lang/RunTimeTexts.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

namespace tarvex::app {

using widgets::TAnalysisCells;

namespace {
constexpr int kRefreshMs = 500;
} // namespace

TLiveAnalysisWindow::TLiveAnalysisWindow(std::shared_ptr<widgets::Dialogs> dialogs, const QString &keptPath, QWidget *parent)
    : QWidget(parent, Qt::Window), Controls(this, dialogs), m_dialogs(std::move(dialogs)), m_keptPath(keptPath),
      m_kept(monitor::readKeptAnalysis(keptPath))
{
    setObjectName(QStringLiteral("LiveAnalysisWindow"));
    StatusLabel = new QLabel(this);
    ResetButton = new QPushButton(this);
    OpenLogButton = new QPushButton(this);
    LiveButton = new QPushButton(this);
    LiveButton->hide();
    CompareButton = new QPushButton(this);
    ShowLabel = new QLabel(this);
    ShowBox = new QComboBox(this);
    TAnalysisCells::SetShowTexts(ShowBox, 0);
    ShowBox->setCurrentIndex(int(TAnalysisCells::Show::Suggestion));
    Cells = new TAnalysisCells(this);
    LockHintLabel = new QLabel(this);
    Summary = new QLabel(this);
    Summary->setWordWrap(true);
    WriteChosenButton = new QPushButton(this);
    WriteAllButton = new QPushButton(this);
    RefreshTimer = new QTimer(this);
    RefreshTimer->setInterval(kRefreshMs);
    for (QLabel *label : findChildren<QLabel *>())
        label->setTextFormat(Qt::PlainText);
    {
        const QSignalBlocker quiet(Controls.DelayBox);
        Controls.DelayBox->setValue(m_kept.lambdaDelayMs);
    }

    auto *top = new QHBoxLayout;
    top->addWidget(StatusLabel, 1);
    top->addWidget(ResetButton);
    top->addWidget(OpenLogButton);
    top->addWidget(LiveButton);
    top->addWidget(CompareButton);
    auto *settings = new QGridLayout;
    settings->addWidget(ShowLabel, 0, 2);
    settings->addWidget(ShowBox, 0, 3);
    Controls.Place(settings, 1);
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(Summary, 1);
    bottom->addWidget(WriteChosenButton);
    bottom->addWidget(WriteAllButton);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(settings);
    layout->addWidget(Cells, 1);
    layout->addWidget(LockHintLabel);
    layout->addLayout(bottom);

    Controls.OnChanged = [this] {
        if (m_kept.lambdaDelayMs != Controls.DelayBox->value()) {
            m_kept.lambdaDelayMs = Controls.DelayBox->value();
            monitor::writeKeptAnalysis(m_keptPath, m_kept);
        }
        Configure();
    };
    Cells->OnLock = [this](const std::vector<int> &cells, bool lock) { Lock(cells, lock); };
    Cells->OnToggleLock = [this](int cell) { Lock({cell}, !m_kept.locked[size_t(cell)]); };
    connect(ShowBox, &QComboBox::currentIndexChanged, this, [this] {
        m_shown.reset();
        Refresh();
    });
    connect(ResetButton, &QPushButton::clicked, this, [this] { ResetClick(); });
    connect(OpenLogButton, &QPushButton::clicked, this, [this] { OpenLogClick(); });
    connect(LiveButton, &QPushButton::clicked, this, [this] { BackToLiveClick(); });
    connect(CompareButton, &QPushButton::clicked, this, [this] { CompareClick(); });
    connect(WriteChosenButton, &QPushButton::clicked, this, [this] { WriteChosenClick(); });
    connect(WriteAllButton, &QPushButton::clicked, this, [this] { WriteAllClick(); });
    connect(RefreshTimer, &QTimer::timeout, this, [this] { Refresh(); });

    Configure();
    SetLanguage(0);
    resize(980, 700);
}

void TLiveAnalysisWindow::SensorReply(const QByteArray &reply, double nowMs)
{
    if (m_log)
        return;
    m_live.sensorReply(reply, nowMs);
}

void TLiveAnalysisWindow::StateReply(const QByteArray &reply, double nowMs,
                                     const monitor::LiveAnalysis::ValueInForce &valueInForce)
{
    if (m_log)
        return;
    m_live.stateReply(reply, nowMs, valueInForce);
}

void TLiveAnalysisWindow::SetLanguage(int language)
{
    m_language = language;
    const int l = language;
    setWindowTitle(lang::runTimeText(lang::Text::AnalysisTitle, l));
    ResetButton->setText(lang::runTimeText(lang::Text::LiveReset, l));
    OpenLogButton->setText(lang::runTimeText(lang::Text::LiveOpenLog, l));
    LiveButton->setText(lang::runTimeText(lang::Text::LiveBackToLive, l));
    CompareButton->setText(lang::runTimeText(lang::Text::MenuCompareLog, l));
    if (CompareWindow) {
        CompareWindow->setWindowTitle(lang::runTimeText(lang::Text::LiveCompareTitle, l));
        CompareWindow->SetLanguage(l);
    }
    Controls.SetLanguage(l);
    Cells->SetLanguage(l);
    ShowLabel->setText(lang::runTimeText(lang::Text::ShowLabel, l));
    TAnalysisCells::SetShowTexts(ShowBox, l);
    LockHintLabel->setText(lang::runTimeText(lang::Text::LockHint, l));
    WriteChosenButton->setText(lang::runTimeText(lang::Text::LiveWriteChosen, l));
    for (QPushButton *button : {WriteChosenButton, WriteAllButton})
        button->setToolTip(lang::runTimeText(lang::Text::LiveWriteTip, l));
    m_shown.reset();
    Refresh();
}

void TLiveAnalysisWindow::Configure()
{
    monitor::SuggestionSettings settings = Controls.Settings();
    settings.locked = m_kept.locked;
    m_live.configure(Controls.Filters(), settings);
    if (m_log) {
        m_log->cells = monitor::accumulateLog(m_log->data, m_log->sensor, Controls.Filters(), m_log->track, settings);
        m_log->cells->forget(m_log->written);
    }
    if (m_before) {
        m_before->analysis = monitor::analyseLog(m_before->data, m_log ? m_log->sensor : monitor::SensorKind::WideBand,
                                                 Controls.Filters(), m_before->track, settings);
    }
    m_shown.reset();
    Refresh();
}

void TLiveAnalysisWindow::Lock(const std::vector<int> &cells, bool lock)
{
    for (int cell : cells)
        if (cell >= 0 && cell < monitor::kCellCount)
            m_kept.locked[size_t(cell)] = lock;
    monitor::writeKeptAnalysis(m_keptPath, m_kept);
    Configure();
}

void TLiveAnalysisWindow::ResetClick()
{
    if (m_log)
        m_log->written.clear();
    m_live.reset();
    Configure();
}

void TLiveAnalysisWindow::Message(const QString &text)
{
    m_dialogs->message(this, widgets::Dialogs::Icon::Information, QCoreApplication::applicationName(), text);
}

void TLiveAnalysisWindow::OpenLogClick()
{
    const QString path = m_dialogs->openFileName(this, QStringLiteral("Tarvex log"), QStringLiteral("*.log"),
                                                 QStringLiteral("log"), QString());
    if (!path.isEmpty())
        OpenLog(path);
}

bool TLiveAnalysisWindow::OpenLog(const QString &path)
{
    monitor::LogData data = monitor::readLogFile(path);
    if (!data.error.isEmpty()) {
        Message(data.error.text(m_language));
        return false;
    }
    // Each record counts against the value in force then: without the map
    // beside the log there is nothing to count against.
    const QString trackPath = monitor::logMapTrackPath(path);
    const monitor::LogMapTrackRead track = monitor::readLogMapTrackFile(trackPath);
    if (!track.track) {
        Message(track.error.isEmpty() ? lang::runTimeText(lang::Text::LiveLogNoTrack, m_language).arg(QFileInfo(trackPath).fileName())
                                      : lang::runTimeText(lang::Text::CurrentMapBadTrack, m_language)
                                            .arg(QFileInfo(trackPath).fileName(), track.error.text(m_language)));
        return false;
    }
    const monitor::SensorKind sensor = monitor::guessSensor(data);
    m_log = OpenedLog{path, std::move(data), *track.track, sensor, std::nullopt, {}};
    m_live.pause();
    LiveButton->show();
    Configure();
    return true;
}

void TLiveAnalysisWindow::BackToLiveClick()
{
    m_log.reset();
    LiveButton->hide();
    Configure();
}

void TLiveAnalysisWindow::CompareClick()
{
    const QString path = m_dialogs->openFileName(this, QStringLiteral("Tarvex log"), QStringLiteral("*.log"),
                                                 QStringLiteral("log"), QString());
    if (!path.isEmpty())
        CompareWith(path);
}

bool TLiveAnalysisWindow::CompareWith(const QString &path)
{
    monitor::LogData data = monitor::readLogFile(path);
    if (!data.error.isEmpty()) {
        Message(data.error.text(m_language));
        return false;
    }
    // Without the map beside it the changed cells are not known; the cells
    // are compared all the same.
    m_before = BeforeLog{path, std::move(data), monitor::readLogMapTrackFile(monitor::logMapTrackPath(path)).track, {}};
    if (!CompareWindow) {
        CompareWindow = new widgets::TCompareCells(this);
        CompareWindow->setWindowFlag(Qt::Window);
        CompareWindow->resize(900, 640);
    }
    SetLanguage(m_language);
    Configure();
    CompareWindow->show();
    return true;
}

void TLiveAnalysisWindow::ShowComparison()
{
    if (!m_before || !CompareWindow)
        return;
    const int l = m_language;
    const monitor::LogComparison comparison(m_before->analysis, m_analysis, Controls.Settings(),
                                            Controls.Filters().minRecords);
    widgets::TCompareCells::Drives drives{
        QFileInfo(m_before->path).fileName(), int(m_before->data.records.size()),
        m_log ? QFileInfo(m_log->path).fileName() : lang::runTimeText(lang::Text::LiveCompareThisDrive, l),
        m_log ? int(m_log->data.records.size()) : m_live.records(), QString()};
    if (!m_before->track)
        drives.missingMap = lang::runTimeText(lang::Text::CompareMapsUnknown, l)
                                .arg(QFileInfo(monitor::logMapTrackPath(m_before->path)).fileName());
    else if (!comparison.mapsKnown())
        drives.missingMap = lang::runTimeText(lang::Text::LiveCompareNoEcuMap, l);
    CompareWindow->SetComparison(comparison, drives);
}

void TLiveAnalysisWindow::WriteChosenClick()
{
    Write(Cells->SelectedCells());
}

void TLiveAnalysisWindow::WriteAllClick()
{
    std::vector<int> all(monitor::kCellCount);
    for (int cell = 0; cell < monitor::kCellCount; ++cell)
        all[size_t(cell)] = cell;
    Write(all);
}

void TLiveAnalysisWindow::Write(const std::vector<int> &cells)
{
    Refresh();
    std::vector<std::pair<int, int>> writes;
    for (int cell : cells) {
        const monitor::CellStats &c = m_analysis.cells[size_t(cell)];
        if (c.suggested && c.current && *c.suggested != *c.current)
            writes.emplace_back(cell, *c.suggested);
    }
    if (writes.empty()) {
        Message(lang::runTimeText(lang::Text::LiveNothingChosen, m_language));
        return;
    }
    if (!OnWrite)
        return;
    const std::vector<int> written = OnWrite(writes);
    // The cells written start afresh: their next suggestion must come from
    // records taken with the new values.
    if (m_log) {
        m_log->written.insert(m_log->written.end(), written.begin(), written.end());
        m_log->cells->forget(written);
    } else {
        m_live.forget(written);
        m_live.pause();
    }
    m_shown.reset();
    Refresh();
}

void TLiveAnalysisWindow::Refresh()
{
    const std::optional<monitor::FuelMap> current = CurrentMap ? CurrentMap() : std::nullopt;
    const int records = m_log ? int(m_log->data.records.size()) : m_live.records();
    const int l = m_language;
    if (m_log)
        StatusLabel->setText(lang::runTimeText(lang::Text::LiveShowingLog, l).arg(QFileInfo(m_log->path).fileName()).arg(records));
    else if (const QString why = PauseReason ? PauseReason(l) : QString(); !why.isEmpty())
        StatusLabel->setText(lang::runTimeText(lang::Text::LivePaused, l).arg(why).arg(records));
    else
        StatusLabel->setText(lang::runTimeText(lang::Text::LiveReceiving, l).arg(records));
    const bool canWrite = CanWrite && CanWrite();
    // Twice a second: the cells only when their records or the ECU's map changed.
    if (!m_shown || m_shown->first != records || m_shown->second != current) {
        m_analysis = m_log ? m_log->cells->result(current) : m_live.result(current);
        m_shown = std::pair(records, current);
        Cells->Fill(m_analysis, TAnalysisCells::Show(ShowBox->currentIndex()), l, m_log.has_value());
        QString summary = TAnalysisCells::SummaryText(m_analysis, l);
        if (m_analysis.sensor == monitor::SensorKind::NarrowBand)
            summary += QLatin1Char('\n') + lang::runTimeText(lang::Text::NarrowNoSuggestion, l);
        else if (!current)
            summary += QLatin1Char('\n') + lang::runTimeText(lang::Text::LiveNoMap, l);
        Summary->setText(summary);
        ShowComparison();
    }
    int changed = 0;
    for (const monitor::CellStats &c : m_analysis.cells)
        changed += c.suggested && c.current && *c.suggested != *c.current ? 1 : 0;
    WriteAllButton->setText(lang::runTimeText(lang::Text::LiveWriteAll, l).arg(changed));
    WriteAllButton->setEnabled(canWrite && changed > 0);
    WriteChosenButton->setEnabled(canWrite && changed > 0);
}

void TLiveAnalysisWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    RefreshTimer->start();
    Refresh();
}

void TLiveAnalysisWindow::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    RefreshTimer->stop();
    m_live.pause();
}

} // namespace tarvex::app
