// SPDX-License-Identifier: GPL-3.0-or-later
#include "logview/LogAnalysisView.h"
#include "widgets/Dialogs.h"
#include "lang/RunTimeTexts.h"
#include "maps/MapFile.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

using namespace tarvex::monitor;
using namespace tarvex::widgets;

namespace tarvex::logview {

using lang::runTimeText;
using lang::Text;

TLogAnalysisView::TLogAnalysisView(const LogData &log, const QString &logPath, std::shared_ptr<widgets::Dialogs> dialogs,
                                   QWidget *parent)
    : QWidget(parent), Controls(this, dialogs), m_log(log), m_logPath(logPath), m_dialogs(std::move(dialogs)),
      m_trackPath(logMapTrackPath(logPath)), m_track(readLogMapTrackFile(m_trackPath)),
      m_kept(readKeptAnalysis(keptAnalysisPath()))
{
    SensorBox = new QComboBox(this);
    SensorBox->addItems({QString(), QString()});
    SensorBox->setCurrentIndex(guessSensor(log) == SensorKind::WideBand ? 0 : 1);
    SensorNote = new QLabel(this);
    RangeLabel = new QLabel(this);
    CurrentMapButton = new QPushButton(this);
    CurrentMapLabel = new QLabel(this);
    ShowLabel = new QLabel(this);
    ShowBox = new QComboBox(this);
    Cells = new TAnalysisCells(this);
    LockHintLabel = new QLabel(this);
    Summary = new QLabel(this);
    Summary->setWordWrap(true);
    SaveButton = new QPushButton(this);
    for (QLabel *label : findChildren<QLabel *>())
        label->setTextFormat(Qt::PlainText);
    {
        const QSignalBlocker quiet(Controls.DelayBox);
        Controls.DelayBox->setValue(m_kept.lambdaDelayMs);
    }

    auto *settingsGrid = new QGridLayout;
    settingsGrid->addWidget(SensorBox, 0, 0);
    settingsGrid->addWidget(SensorNote, 0, 1);
    settingsGrid->addWidget(ShowLabel, 0, 2);
    settingsGrid->addWidget(ShowBox, 0, 3);
    Controls.Place(settingsGrid, 1);
    settingsGrid->addWidget(CurrentMapButton, 5, 0);
    settingsGrid->addWidget(CurrentMapLabel, 5, 1, 1, 5);
    CurrentMapLabel->setWordWrap(true);
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(Summary, 1);
    bottom->addWidget(SaveButton);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(settingsGrid);
    layout->addWidget(RangeLabel);
    layout->addWidget(Cells, 1);
    layout->addWidget(LockHintLabel);
    layout->addLayout(bottom);

    connect(SensorBox, &QComboBox::currentIndexChanged, this, [this] {
        m_sensorGuessed = false;
        Analyse();
        if (OnSensorChanged)
            OnSensorChanged(Sensor());
    });
    Controls.OnChanged = [this] {
        if (m_kept.lambdaDelayMs != Controls.DelayBox->value()) {
            m_kept.lambdaDelayMs = Controls.DelayBox->value();
            writeKeptAnalysis(keptAnalysisPath(), m_kept);
        }
        Analyse();
    };
    Cells->OnLock = [this](const std::vector<int> &, bool lock) { LockSelectionClick(lock); };
    Cells->OnToggleLock = [this](int cell) { ToggleLock(cell); };
    connect(ShowBox, &QComboBox::currentIndexChanged, this, [this] { FillCells(); });
    connect(CurrentMapButton, &QPushButton::clicked, this, [this] { ChooseCurrentMapClick(); });
    connect(SaveButton, &QPushButton::clicked, this, [this] { SaveSuggestionClick(); });

    TAnalysisCells::SetShowTexts(ShowBox, 0);
    ShowBox->setCurrentIndex(Base() && Sensor() == SensorKind::WideBand ? int(Show::Suggestion) : int(Show::Lambda));
    SetLanguage(0);
}

SensorKind TLogAnalysisView::Sensor() const
{
    return SensorBox->currentIndex() == 0 ? SensorKind::WideBand : SensorKind::NarrowBand;
}

void TLogAnalysisView::SetRange(int first, int last)
{
    m_first = first;
    m_last = last;
    Analyse();
}

void TLogAnalysisView::SetLanguage(int language)
{
    m_language = language;
    UpdateCaptions();
    Analyse();
}

void TLogAnalysisView::UpdateCaptions()
{
    const int l = m_language;
    SensorBox->setItemText(0, lang::runTimeText(lang::Text::SensorWide, l));
    SensorBox->setItemText(1, lang::runTimeText(lang::Text::SensorNarrow, l));
    Controls.SetLanguage(l);
    Cells->SetLanguage(l);
    LockHintLabel->setText(lang::runTimeText(lang::Text::LockHint, l));
    CurrentMapButton->setText(lang::runTimeText(lang::Text::CurrentMap, l));
    ShowLabel->setText(lang::runTimeText(lang::Text::ShowLabel, l));
    TAnalysisCells::SetShowTexts(ShowBox, l);
    SaveButton->setText(lang::runTimeText(lang::Text::SaveSuggestion, l));
}

void TLogAnalysisView::Message(const QString &text)
{
    m_dialogs->message(this, widgets::Dialogs::Icon::Information, QCoreApplication::applicationName(), text);
}

bool TLogAnalysisView::LoadCurrentMap(const QString &path)
{
    QString error;
    const std::optional<std::array<int, kCellCount>> values = maps::readMapValues(path, m_language, &error);
    if (!values) {
        Message(error);
        return false;
    }
    m_current = values;
    m_currentPath = path;
    Analyse();
    if (OnBaseChanged)
        OnBaseChanged();
    return true;
}

void TLogAnalysisView::ChooseCurrentMapClick()
{
    const QString folder = QFileInfo(m_logPath).dir().filePath(QStringLiteral("backups"));
    const QString path = m_dialogs->openFileName(this, QStringLiteral("injection table"), QStringLiteral("*.inj"),
                                                 QStringLiteral("inj"), QDir(folder).exists() ? folder : QString());
    if (!path.isEmpty())
        LoadCurrentMap(path);
}

std::optional<LogMapTrack> TLogAnalysisView::Base() const
{
    if (m_current)
        return LogMapTrack(*m_current);
    return m_track.track;
}

QString TLogAnalysisView::BaseFile() const
{
    return QFileInfo(m_current ? m_currentPath : m_trackPath).fileName();
}

void TLogAnalysisView::LockSelectionClick(bool lock)
{
    for (int cell : Cells->SelectedCells())
        m_kept.locked[size_t(cell)] = lock;
    writeKeptAnalysis(keptAnalysisPath(), m_kept);
    Analyse();
}

void TLogAnalysisView::ToggleLock(int cell)
{
    if (cell < 0 || cell >= kCellCount)
        return;
    m_kept.locked[size_t(cell)] = !m_kept.locked[size_t(cell)];
    writeKeptAnalysis(keptAnalysisPath(), m_kept);
    Analyse();
}

void TLogAnalysisView::SaveSuggestionClick()
{
    const std::optional<LogMapTrack> base = Base();
    if (!base)
        return;
    const QString path =
        m_dialogs->saveFileName(this, QStringLiteral("Injection Table "), QStringLiteral("*.inj"), QStringLiteral("inj"));
    if (path.isEmpty())
        return;
    QStringList cells;
    for (int value : suggestedMap(m_analysis, base->endMap()))
        cells << QString::number(value);
    if (const QString error = maps::writeMapFile(path, cells); !error.isEmpty()) {
        Message(error);
        return;
    }
    Message(lang::runTimeText(lang::Text::SuggestionSaved, m_language).arg(path));
}

void TLogAnalysisView::Analyse()
{
    AnalysisFilters filters = Controls.Filters();
    filters.firstRecord = m_first;
    filters.lastRecord = m_last;
    SuggestionSettings settings = Controls.Settings();
    settings.locked = m_kept.locked;
    const std::optional<LogMapTrack> base = Base();
    m_analysis = analyseLog(m_log, Sensor(), filters, base, settings);

    const int l = m_language;
    SensorNote->setText(lang::runTimeText(m_sensorGuessed ? lang::Text::SensorGuessed : lang::Text::SensorChosen, l));
    const int last = m_last < 0 ? int(m_log.records.size()) : std::min(m_last + 1, int(m_log.records.size()));
    RangeLabel->setText(lang::runTimeText(lang::Text::FilterRange, l).arg(std::max(0, m_first) + 1).arg(last));
    const QString trackName = QFileInfo(m_trackPath).fileName();
    QString baseText;
    if (m_current)
        baseText = lang::runTimeText(lang::Text::CurrentMapFrom, l).arg(QDir::toNativeSeparators(m_currentPath));
    else if (m_track.track)
        baseText = lang::runTimeText(lang::Text::CurrentMapTrack, l).arg(trackName).arg(m_track.track->changes().size())
                 + (m_track.badLines ? lang::runTimeText(lang::Text::SkippedLines, l).arg(m_track.badLines).arg(m_track.firstBadLine)
                                     : QString());
    else if (!m_track.error.isEmpty())
        baseText = lang::runTimeText(lang::Text::CurrentMapBadTrack, l).arg(trackName, m_track.error.text(l));
    else
        baseText = lang::runTimeText(lang::Text::CurrentMapNoTrack, l).arg(trackName);
    CurrentMapLabel->setText(baseText);
    QString summary = TAnalysisCells::SummaryText(m_analysis, l);
    if (Sensor() == SensorKind::NarrowBand)
        summary += QLatin1Char('\n') + lang::runTimeText(lang::Text::NarrowNoSuggestion, l);
    Summary->setText(summary);
    SaveButton->setEnabled(base && Sensor() == SensorKind::WideBand);
    FillCells();
    if (OnAnalysed)
        OnAnalysed();
}

void TLogAnalysisView::FillCells()
{
    Cells->Fill(m_analysis, Show(ShowBox->currentIndex()), m_language);
}

} // namespace tarvex::logview
