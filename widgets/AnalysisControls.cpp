// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/AnalysisControls.h"
#include "widgets/Dialogs.h"
#include "lang/RunTimeTexts.h"
#include "maps/MapFile.h"
#include "maps/MapOperations.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

using namespace tarvex::monitor;

namespace tarvex::widgets {

using lang::runTimeText;
using lang::Text;

namespace {
QDoubleSpinBox *spin(QWidget *parent, double lowest, double highest, double value, int decimals)
{
    auto *box = new QDoubleSpinBox(parent);
    box->setRange(lowest, highest);
    box->setDecimals(decimals);
    box->setValue(value);
    return box;
}
} // namespace

TAnalysisControls::TAnalysisControls(QWidget *parent, std::shared_ptr<Dialogs> dialogs)
    : m_parent(parent), m_dialogs(std::move(dialogs))
{
    const AnalysisFilters filters;
    const SuggestionSettings settings;
    FilterLabel = new QLabel(parent);
    CoolantBox = spin(parent, -40, 130, filters.minCoolantC, 0);
    ThrottleLabel = new QLabel(parent);
    ThrottleBox = spin(parent, 1, 10000, filters.maxThrottlePerS, 0);
    OverrunBox = new QCheckBox(parent);
    OverrunBox->setChecked(filters.skipNoInjection);
    MinRecordsLabel = new QLabel(parent);
    MinRecordsBox = new QSpinBox(parent);
    MinRecordsBox->setRange(1, 100000);
    MinRecordsBox->setValue(filters.minRecords);
    DelayLabel = new QLabel(parent);
    DelayBox = new QSpinBox(parent);
    DelayBox->setRange(0, kMaxLambdaDelayMs);
    DelayBox->setSingleStep(100);
    DelayBox->setValue(filters.lambdaDelayMs);
    TargetLabel = new QLabel(parent);
    TargetBox = spin(parent, 8, 22, settings.targetAfrTenths / 10.0, 1);
    MaxChangeLabel = new QLabel(parent);
    MaxChangeBox = spin(parent, 1, 100, settings.maxChangePerMille / 10.0, 0);
    TargetMapButton = new QPushButton(parent);
    TargetMapLabel = new QLabel(parent);
    for (QLabel *label : {FilterLabel, ThrottleLabel, MinRecordsLabel, DelayLabel, TargetLabel, MaxChangeLabel,
                          TargetMapLabel})
        label->setTextFormat(Qt::PlainText);

    auto changed = [this] { Changed(); };
    for (QDoubleSpinBox *box : {CoolantBox, ThrottleBox, TargetBox, MaxChangeBox})
        QObject::connect(box, &QDoubleSpinBox::valueChanged, parent, changed);
    for (QSpinBox *box : {MinRecordsBox, DelayBox})
        QObject::connect(box, &QSpinBox::valueChanged, parent, changed);
    QObject::connect(OverrunBox, &QCheckBox::toggled, parent, changed);
    QObject::connect(TargetMapButton, &QPushButton::clicked, parent, [this] { ChooseTargetMapClick(); });
}

void TAnalysisControls::Place(QGridLayout *grid, int row)
{
    grid->addWidget(FilterLabel, row, 0);
    grid->addWidget(CoolantBox, row, 1);
    grid->addWidget(ThrottleLabel, row, 2);
    grid->addWidget(ThrottleBox, row, 3);
    grid->addWidget(OverrunBox, row + 1, 0);
    grid->addWidget(MinRecordsLabel, row + 1, 2);
    grid->addWidget(MinRecordsBox, row + 1, 3);
    grid->addWidget(DelayLabel, row + 1, 4);
    grid->addWidget(DelayBox, row + 1, 5);
    grid->addWidget(TargetLabel, row + 2, 0);
    grid->addWidget(TargetBox, row + 2, 1);
    grid->addWidget(MaxChangeLabel, row + 2, 2);
    grid->addWidget(MaxChangeBox, row + 2, 3);
    grid->addWidget(TargetMapButton, row + 3, 0);
    grid->addWidget(TargetMapLabel, row + 3, 1, 1, 5);
}

void TAnalysisControls::SetLanguage(int language)
{
    m_language = language;
    const int l = language;
    FilterLabel->setText(lang::runTimeText(lang::Text::FilterCoolant, l));
    ThrottleLabel->setText(lang::runTimeText(lang::Text::FilterThrottle, l));
    OverrunBox->setText(lang::runTimeText(lang::Text::FilterOverrun, l));
    MinRecordsLabel->setText(lang::runTimeText(lang::Text::FilterMinRecords, l));
    TargetLabel->setText(lang::runTimeText(lang::Text::TargetAfr, l));
    TargetMapButton->setText(lang::runTimeText(lang::Text::TargetMap, l));
    MaxChangeLabel->setText(lang::runTimeText(lang::Text::MaxChange, l));
    DelayLabel->setText(lang::runTimeText(lang::Text::FilterDelay, l));
    DelayBox->setToolTip(lang::runTimeText(lang::Text::FilterDelayTip, l));
    TargetMapLabel->setText(m_targets ? QFileInfo(m_targetPath).fileName() : lang::runTimeText(lang::Text::TargetOneValue, l));
}

AnalysisFilters TAnalysisControls::Filters() const
{
    AnalysisFilters filters;
    filters.minCoolantC = CoolantBox->value();
    filters.maxThrottlePerS = ThrottleBox->value();
    filters.skipNoInjection = OverrunBox->isChecked();
    filters.minRecords = MinRecordsBox->value();
    filters.lambdaDelayMs = DelayBox->value();
    return filters;
}

SuggestionSettings TAnalysisControls::Settings() const
{
    SuggestionSettings settings;
    // The boxes show one decimal and none: their values in tenths are whole.
    settings.targetAfrTenths = maps::roundHalfAway(TargetBox->value() * 10);
    settings.targetMap = m_targets;
    settings.maxChangePerMille = maps::roundHalfAway(MaxChangeBox->value() * 10);
    return settings;
}

void TAnalysisControls::Changed()
{
    TargetBox->setEnabled(!m_targets);
    if (OnChanged)
        OnChanged();
}

bool TAnalysisControls::LoadTargetMap(const QString &path)
{
    QString error;
    const std::optional<std::array<int, kCellCount>> values = maps::readMapValues(path, m_language, &error);
    if (!values) {
        m_dialogs->message(m_parent, Dialogs::Icon::Information, QCoreApplication::applicationName(), error);
        return false;
    }
    m_targets = values;
    m_targetPath = path;
    TargetMapLabel->setText(QFileInfo(m_targetPath).fileName());
    Changed();
    return true;
}

void TAnalysisControls::ChooseTargetMapClick()
{
    const QString path = m_dialogs->openFileName(m_parent, QStringLiteral("injection table"), QStringLiteral("*.inj"),
                                                 QStringLiteral("inj"), QString());
    if (!path.isEmpty())
        LoadTargetMap(path);
}

} // namespace tarvex::widgets
