#include "monitor/LogAnalysisView.h"
#include "app/Dialogs.h"
#include "app/RunTimeTexts.h"
#include "link/Protocol.h"
#include "maps/MapFile.h"
#include "maps/MapScale.h"
#include "monitor/LiveData.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>
#include <cmath>

namespace tarvex::monitor {

using app::runTimeText;
using app::Text;

namespace {
QDoubleSpinBox *spin(QWidget *parent, double lowest, double highest, double value, int decimals)
{
    auto *box = new QDoubleSpinBox(parent);
    box->setRange(lowest, highest);
    box->setDecimals(decimals);
    box->setValue(value);
    return box;
}

// A pale version of a colour: the text stays readable on it.
QColor pale(const QColor &color, double strength)
{
    const double s = std::clamp(strength, 0.0, 1.0) * 0.75;
    return QColor::fromRgbF(1 - (1 - color.redF()) * s, 1 - (1 - color.greenF()) * s, 1 - (1 - color.blueF()) * s);
}

// The lambda gauge's colours for a suggested change: blue where the cell ran
// lean and gets more fuel, red where it ran rich, green where it stays; the
// further, the stronger.
QColor changeColor(int step)
{
    constexpr double kStrength[] = {0.3, 0.45, 0.6, 0.8, 1.0};
    const QColor gauge = step > 0 ? QColor(0, 0, 255) : step < 0 ? QColor(255, 0, 0) : QColor(0, 128, 0);
    return pale(gauge, kStrength[std::abs(step)]);
}

// Record numbers as the plots show them, span by span.
QString spansText(const std::vector<std::pair<int, int>> &spans)
{
    constexpr size_t kShown = 6;
    QStringList parts;
    for (size_t i = 0; i < std::min(spans.size(), kShown); ++i) {
        const auto &[first, last] = spans[i];
        parts << (first == last ? QString::number(first + 1) : QStringLiteral("%1–%2").arg(first + 1).arg(last + 1));
    }
    if (spans.size() > kShown)
        parts << QStringLiteral("…");
    return parts.join(QStringLiteral(", "));
}

const char kSettingsDelay[] = "analysis/lambdaDelayMs";
const char kSettingsLocked[] = "analysis/lockedCells";
} // namespace

TLogAnalysisView::TLogAnalysisView(const LogData &log, const QString &logPath, std::shared_ptr<app::Dialogs> dialogs,
                                   QWidget *parent)
    : QWidget(parent), m_log(log), m_logPath(logPath), m_dialogs(std::move(dialogs)),
      m_trackPath(logMapTrackPath(logPath)), m_track(readLogMapTrackFile(m_trackPath))
{
    const AnalysisFilters filters;
    const SuggestionSettings settings;
    SensorBox = new QComboBox(this);
    SensorBox->addItems({QString(), QString()});
    SensorBox->setCurrentIndex(guessSensor(log) == SensorKind::WideBand ? 0 : 1);
    SensorNote = new QLabel(this);
    FilterLabel = new QLabel(this);
    CoolantBox = spin(this, -40, 130, filters.minCoolantC, 0);
    ThrottleLabel = new QLabel(this);
    ThrottleBox = spin(this, 1, 10000, filters.maxThrottlePerS, 0);
    OverrunBox = new QCheckBox(this);
    OverrunBox->setChecked(filters.skipNoInjection);
    MinRecordsLabel = new QLabel(this);
    MinRecordsBox = new QSpinBox(this);
    MinRecordsBox->setRange(1, 100000);
    MinRecordsBox->setValue(filters.minRecords);
    RangeLabel = new QLabel(this);
    TargetLabel = new QLabel(this);
    TargetBox = spin(this, 8, 22, settings.targetAfr, 1);
    TargetMapButton = new QPushButton(this);
    TargetMapLabel = new QLabel(this);
    DelayLabel = new QLabel(this);
    DelayBox = new QSpinBox(this);
    DelayBox->setRange(0, kMaxLambdaDelayMs);
    DelayBox->setSingleStep(100);
    DelayBox->setValue(filters.lambdaDelayMs);
    MaxChangeLabel = new QLabel(this);
    MaxChangeBox = spin(this, 1, 100, settings.maxChangePercent, 0);
    CurrentMapButton = new QPushButton(this);
    CurrentMapLabel = new QLabel(this);
    ShowLabel = new QLabel(this);
    ShowBox = new QComboBox(this);
    ShowBox->addItems({QString(), QString(), QString()});
    Cells = new QTableWidget(16, 16, this);
    Cells->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Cells->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    Cells->verticalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    QStringList speeds, rows;
    for (int i = 0; i < 16; ++i) {
        speeds << maps::speedCaption(i);
        rows << QString::number(i + 1);
        for (int column = 0; column < 16; ++column)
            Cells->setItem(i, column, new QTableWidgetItem);
    }
    Cells->setHorizontalHeaderLabels(speeds);
    Cells->setVerticalHeaderLabels(rows);
    LockAction = new QAction(this);
    LockAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    UnlockAction = new QAction(this);
    UnlockAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_U));
    for (QAction *action : {LockAction, UnlockAction}) {
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        Cells->addAction(action);
    }
    Cells->setContextMenuPolicy(Qt::ActionsContextMenu);
    LockHintLabel = new QLabel(this);
    Summary = new QLabel(this);
    Summary->setWordWrap(true);
    SaveButton = new QPushButton(this);
    for (QLabel *label : findChildren<QLabel *>())
        label->setTextFormat(Qt::PlainText);

    auto *settingsGrid = new QGridLayout;
    settingsGrid->addWidget(SensorBox, 0, 0);
    settingsGrid->addWidget(SensorNote, 0, 1);
    settingsGrid->addWidget(ShowLabel, 0, 2);
    settingsGrid->addWidget(ShowBox, 0, 3);
    settingsGrid->addWidget(FilterLabel, 1, 0);
    settingsGrid->addWidget(CoolantBox, 1, 1);
    settingsGrid->addWidget(ThrottleLabel, 1, 2);
    settingsGrid->addWidget(ThrottleBox, 1, 3);
    settingsGrid->addWidget(OverrunBox, 2, 0);
    settingsGrid->addWidget(MinRecordsLabel, 2, 2);
    settingsGrid->addWidget(MinRecordsBox, 2, 3);
    settingsGrid->addWidget(TargetLabel, 3, 0);
    settingsGrid->addWidget(TargetBox, 3, 1);
    settingsGrid->addWidget(MaxChangeLabel, 3, 2);
    settingsGrid->addWidget(MaxChangeBox, 3, 3);
    settingsGrid->addWidget(DelayLabel, 2, 4);
    settingsGrid->addWidget(DelayBox, 2, 5);
    settingsGrid->addWidget(TargetMapButton, 4, 0);
    settingsGrid->addWidget(TargetMapLabel, 4, 1, 1, 5);
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

    auto again = [this] { Analyse(); };
    connect(SensorBox, &QComboBox::currentIndexChanged, this, [this] {
        m_sensorGuessed = false;
        Analyse();
        if (OnSensorChanged)
            OnSensorChanged(Sensor());
    });
    for (QDoubleSpinBox *box : {CoolantBox, ThrottleBox, TargetBox, MaxChangeBox})
        connect(box, &QDoubleSpinBox::valueChanged, this, again);
    connect(MinRecordsBox, &QSpinBox::valueChanged, this, again);
    connect(DelayBox, &QSpinBox::valueChanged, this, [this] {
        WriteSettings();
        Analyse();
    });
    connect(LockAction, &QAction::triggered, this, [this] { LockSelectionClick(true); });
    connect(UnlockAction, &QAction::triggered, this, [this] { LockSelectionClick(false); });
    connect(Cells, &QTableWidget::cellDoubleClicked, this, [this](int row, int column) { ToggleLock(row * 16 + column); });
    connect(OverrunBox, &QCheckBox::toggled, this, again);
    connect(ShowBox, &QComboBox::currentIndexChanged, this, [this] { FillCells(); });
    connect(CurrentMapButton, &QPushButton::clicked, this, [this] { ChooseCurrentMapClick(); });
    connect(TargetMapButton, &QPushButton::clicked, this, [this] { ChooseTargetMapClick(); });
    connect(SaveButton, &QPushButton::clicked, this, [this] { SaveSuggestionClick(); });

    ReadSettings();
    ShowBox->setCurrentIndex(Base() && Sensor() == SensorKind::WideBand ? int(Show::Suggestion) : int(Show::Lambda));
    SetLanguage(QLocale::system().language() == QLocale::Russian ? 0 : 1);
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
    SensorBox->setItemText(0, runTimeText(Text::SensorWide, l));
    SensorBox->setItemText(1, runTimeText(Text::SensorNarrow, l));
    FilterLabel->setText(runTimeText(Text::FilterCoolant, l));
    ThrottleLabel->setText(runTimeText(Text::FilterThrottle, l));
    OverrunBox->setText(runTimeText(Text::FilterOverrun, l));
    MinRecordsLabel->setText(runTimeText(Text::FilterMinRecords, l));
    TargetLabel->setText(runTimeText(Text::TargetAfr, l));
    TargetMapButton->setText(runTimeText(Text::TargetMap, l));
    MaxChangeLabel->setText(runTimeText(Text::MaxChange, l));
    DelayLabel->setText(runTimeText(Text::FilterDelay, l));
    DelayBox->setToolTip(runTimeText(Text::FilterDelayTip, l));
    LockAction->setText(runTimeText(Text::MenuLockCells, l));
    UnlockAction->setText(runTimeText(Text::MenuUnlockCells, l));
    LockHintLabel->setText(runTimeText(Text::LockHint, l));
    CurrentMapButton->setText(runTimeText(Text::CurrentMap, l));
    ShowLabel->setText(runTimeText(Text::ShowLabel, l));
    ShowBox->setItemText(int(Show::Records), runTimeText(Text::ShowRecords, l));
    ShowBox->setItemText(int(Show::Lambda), runTimeText(Text::ShowLambda, l));
    ShowBox->setItemText(int(Show::Suggestion), runTimeText(Text::ShowSuggestion, l));
    SaveButton->setText(runTimeText(Text::SaveSuggestion, l));
}

void TLogAnalysisView::Message(const QString &text)
{
    m_dialogs->message(this, app::Dialogs::Icon::Information, QCoreApplication::applicationName(), text);
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

bool TLogAnalysisView::LoadTargetMap(const QString &path)
{
    QString error;
    const std::optional<std::array<int, kCellCount>> values = maps::readMapValues(path, m_language, &error);
    if (!values) {
        Message(error);
        return false;
    }
    std::array<double, kCellCount> targets{};
    for (int cell = 0; cell < kCellCount; ++cell)
        targets[size_t(cell)] = (*values)[size_t(cell)] / 10.0; // the file holds AFR × 10
    m_targets = targets;
    m_targetPath = path;
    Analyse();
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

void TLogAnalysisView::ChooseTargetMapClick()
{
    const QString path = m_dialogs->openFileName(this, QStringLiteral("injection table"), QStringLiteral("*.inj"),
                                                 QStringLiteral("inj"), QString());
    if (!path.isEmpty())
        LoadTargetMap(path);
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

void TLogAnalysisView::ReadSettings()
{
    const QSettings settings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("tarvex"),
                             QStringLiteral("tarvex-logview"));
    const QSignalBlocker quiet(DelayBox);
    DelayBox->setValue(settings.value(QLatin1String(kSettingsDelay), 0).toInt());
    m_locked.fill(false);
    for (const QString &cell : settings.value(QLatin1String(kSettingsLocked)).toString().split(QLatin1Char(','))) {
        bool ok = false;
        const int n = cell.toInt(&ok);
        if (ok && n >= 1 && n <= kCellCount)
            m_locked[size_t(n - 1)] = true;
    }
}

void TLogAnalysisView::WriteSettings() const
{
    QSettings settings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("tarvex"),
                       QStringLiteral("tarvex-logview"));
    settings.setValue(QLatin1String(kSettingsDelay), DelayBox->value());
    QStringList cells;
    for (int cell = 0; cell < kCellCount; ++cell)
        if (m_locked[size_t(cell)])
            cells << QString::number(cell + 1);
    settings.setValue(QLatin1String(kSettingsLocked), cells.join(QLatin1Char(',')));
}

void TLogAnalysisView::LockSelectionClick(bool lock)
{
    for (const QTableWidgetSelectionRange &range : Cells->selectedRanges())
        for (int row = range.topRow(); row <= range.bottomRow(); ++row)
            for (int column = range.leftColumn(); column <= range.rightColumn(); ++column)
                m_locked[size_t(row * 16 + column)] = lock;
    WriteSettings();
    Analyse();
}

void TLogAnalysisView::ToggleLock(int cell)
{
    if (cell < 0 || cell >= kCellCount)
        return;
    m_locked[size_t(cell)] = !m_locked[size_t(cell)];
    WriteSettings();
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
    Message(runTimeText(Text::SuggestionSaved, m_language).arg(path));
}

void TLogAnalysisView::Analyse()
{
    AnalysisFilters filters;
    filters.minCoolantC = CoolantBox->value();
    filters.maxThrottlePerS = ThrottleBox->value();
    filters.skipNoInjection = OverrunBox->isChecked();
    filters.minRecords = MinRecordsBox->value();
    filters.firstRecord = m_first;
    filters.lastRecord = m_last;
    filters.lambdaDelayMs = DelayBox->value();
    SuggestionSettings settings;
    settings.locked = m_locked;
    settings.targetAfr = TargetBox->value();
    settings.targetMap = m_targets;
    settings.maxChangePercent = MaxChangeBox->value();
    const std::optional<LogMapTrack> base = Base();
    m_analysis = analyseLog(m_log, Sensor(), filters, base, settings);

    const int l = m_language;
    SensorNote->setText(runTimeText(m_sensorGuessed ? Text::SensorGuessed : Text::SensorChosen, l));
    const int last = m_last < 0 ? int(m_log.records.size()) : std::min(m_last + 1, int(m_log.records.size()));
    RangeLabel->setText(runTimeText(Text::FilterRange, l).arg(std::max(0, m_first) + 1).arg(last));
    TargetMapLabel->setText(m_targets ? QFileInfo(m_targetPath).fileName() : runTimeText(Text::TargetOneValue, l));
    TargetBox->setEnabled(!m_targets);
    const QString trackName = QFileInfo(m_trackPath).fileName();
    QString baseText;
    if (m_current)
        baseText = runTimeText(Text::CurrentMapFrom, l).arg(QDir::toNativeSeparators(m_currentPath));
    else if (m_track.track)
        baseText = runTimeText(Text::CurrentMapTrack, l).arg(trackName).arg(m_track.track->changes().size())
                 + (m_track.badLines ? runTimeText(Text::SkippedLines, l).arg(m_track.badLines).arg(m_track.firstBadLine)
                                     : QString());
    else if (!m_track.error.isEmpty())
        baseText = runTimeText(Text::CurrentMapBadTrack, l).arg(trackName, m_track.error);
    else
        baseText = runTimeText(Text::CurrentMapNoTrack, l).arg(trackName);
    CurrentMapLabel->setText(baseText);
    QString summary = runTimeText(Text::AnalysisSummary, l)
                          .arg(m_analysis.recordsUsed)
                          .arg(m_analysis.coldRecords)
                          .arg(m_analysis.throttleRecords)
                          .arg(m_analysis.overrunRecords)
                          .arg(m_analysis.peggedRecords)
                          .arg(m_analysis.notReadyRecords)
                          .arg(m_analysis.otherRecords);
    if (Sensor() == SensorKind::NarrowBand)
        summary += QLatin1Char('\n') + runTimeText(Text::NarrowNoSuggestion, l);
    Summary->setText(summary);
    SaveButton->setEnabled(base && Sensor() == SensorKind::WideBand);
    FillCells();
}

void TLogAnalysisView::FillCells()
{
    const Show show = Show(ShowBox->currentIndex());
    const int l = m_language;
    int most = 1;
    for (const CellStats &c : m_analysis.cells)
        most = std::max(most, c.hits);
    const bool wide = m_analysis.sensor == SensorKind::WideBand;
    for (int cell = 0; cell < kCellCount; ++cell) {
        const CellStats &c = m_analysis.cells[size_t(cell)];
        QTableWidgetItem *item = Cells->item(cell / 16, cell % 16);
        QString text;
        QColor fill = Qt::white;
        switch (show) {
        case Show::Records:
            text = c.hits ? QString::number(c.hits) : QString();
            fill = pale(QColor(0, 70, 200), c.hits ? 0.15 + 0.85 * std::log1p(c.hits) / std::log1p(most) : 0);
            break;
        case Show::Lambda:
            if (c.hits && wide) {
                text = QString::number(c.meanAfr, 'f', 1);
                fill = pale(lambdaDisplay(QByteArray::number(std::lround((c.meanAfr - 10) * 106)), true).face, 0.8);
            } else if (c.hits) {
                text = QStringLiteral("%1 %").arg(std::lround(c.richShare * 100));
                fill = pale(c.richShare > 0.5 ? QColor(255, 0, 0) : QColor(0, 0, 255), std::abs(c.richShare - 0.5) * 2);
            }
            break;
        case Show::Suggestion:
            if (c.suggested && c.current) {
                text = QString::number(*c.suggested);
                fill = changeColor(changeStep(*c.current, *c.suggested));
            } else if (c.current) {
                text = QString::number(*c.current);
                item->setForeground(Qt::gray);
            }
            break;
        }
        if (show != Show::Suggestion || c.suggested)
            item->setForeground(Qt::black);
        item->setText(text);
        QFont font = item->font();
        font.setItalic(c.locked);
        item->setFont(font);
        item->setBackground(c.locked ? QBrush(QColor(110, 110, 110), Qt::BDiagPattern) : QBrush(fill));
        QStringList tip{runTimeText(Text::TipCell, l).arg(cell + 1).arg(cell / 16 + 1).arg(maps::speedCaption(cell % 16)),
                        runTimeText(Text::TipRecords, l).arg(c.hits)};
        if (c.hits) {
            tip << runTimeText(Text::TipMeans, l).arg(std::lround(c.meanRpm)).arg(std::lround(c.meanLoad));
            tip << (wide ? runTimeText(Text::TipAfr, l).arg(c.meanAfr, 0, 'f', 2)
                         : runTimeText(Text::TipRich, l).arg(std::lround(c.richShare * 100)));
        }
        if (c.hits && wide && c.current)
            tip << runTimeText(Text::TipNeed, l).arg(c.meanNeed, 0, 'f', 1);
        if (c.current)
            tip << runTimeText(Text::TipCurrent, l).arg(*c.current);
        if (c.suggested)
            tip << runTimeText(Text::TipSuggested, l).arg(*c.suggested);
        if (c.locked)
            tip << runTimeText(Text::TipLocked, l);
        if (c.leftOut)
            tip << runTimeText(Text::TipLeftOut, l).arg(c.leftOut);
        if (!c.spans.empty())
            tip << runTimeText(Text::TipSpans, l).arg(spansText(c.spans));
        item->setToolTip(tip.join(QLatin1Char('\n')));
    }
}

} // namespace tarvex::monitor
