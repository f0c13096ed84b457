// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/CompareCells.h"
#include "lang/RunTimeTexts.h"
#include "maps/MapScale.h"
#include "widgets/AnalysisCells.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QVBoxLayout>
#include <cmath>

using namespace tarvex::monitor;

namespace tarvex::widgets {

using lang::runTimeText;
using lang::Text;

namespace {
constexpr int kChangedRole = Qt::UserRole;

// A cell changed between the drives gets a frame over its colour.
class ChangedFrame : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QStyleOptionViewItem plain = option;
        plain.state &= ~(QStyle::State_Selected | QStyle::State_HasFocus);
        QStyledItemDelegate::paint(painter, plain, index);
        if (!index.data(kChangedRole).toBool())
            return;
        painter->save();
        painter->setPen(QPen(QColor(20, 20, 90), 3));
        painter->drawRect(option.rect.adjusted(1, 1, -2, -2));
        painter->restore();
    }
};

// The verdict's colour: green closer, red further, stronger the further the
// distance moved (from 1, 3, 6 and 10 times the band of "the same").
QColor verdictColor(const CellComparison &c, SensorKind sensor)
{
    switch (c.verdict) {
    case Verdict::Better:
    case Verdict::Worse: {
        constexpr double kStrength[] = {0.3, 0.45, 0.6, 0.8, 1.0};
        const double moved = std::abs(std::abs(*c.errorAfter) - std::abs(*c.errorBefore)) / LogComparison::sameWithin(sensor);
        int step = 0;
        for (double from : {1.0, 3.0, 6.0, 10.0})
            step += moved > from ? 1 : 0;
        return paleColor(c.verdict == Verdict::Better ? QColor(0, 150, 0) : QColor(230, 0, 0), kStrength[step]);
    }
    case Verdict::Same: return QColor(225, 225, 225);
    case Verdict::OnlyBefore:
    case Verdict::OnlyAfter: return QColor(248, 246, 236);
    case Verdict::Unvisited: break;
    }
    return Qt::white;
}

// An error or a difference as the cells show it: a sign always, one decimal.
QString signedText(double value)
{
    const double shown = std::round(value * 10) / 10;
    const QString digits = QString::number(std::abs(shown), 'f', 1);
    return shown > 0 ? QStringLiteral("+") + digits : shown < 0 ? QStringLiteral("−") + digits : digits;
}

const Text kVerdictTips[] = {Text::CompareTipBetter,     Text::CompareTipWorse,     Text::CompareTipSame,
                             Text::CompareTipOnlyBefore, Text::CompareTipOnlyAfter, Text::CompareTipUnvisited};
} // namespace

TCompareCells::TCompareCells(QWidget *parent) : QWidget(parent)
{
    TitleLabel = new QLabel(this);
    TitleLabel->setWordWrap(true);
    ShowLabel = new QLabel(this);
    ShowBox = new QComboBox(this);
    ShowBox->addItems({QString(), QString(), QString()});
    Table = new QTableWidget(16, 16, this);
    Table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Table->setSelectionMode(QAbstractItemView::NoSelection);
    Table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    Table->verticalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    QStringList speeds, rows;
    for (int i = 0; i < 16; ++i) {
        speeds << maps::speedCaption(i);
        rows << QString::number(i + 1);
        for (int column = 0; column < 16; ++column) {
            auto *item = new QTableWidgetItem;
            item->setTextAlignment(Qt::AlignCenter);
            Table->setItem(i, column, item);
        }
    }
    Table->setHorizontalHeaderLabels(speeds);
    Table->setVerticalHeaderLabels(rows);
    Table->setItemDelegate(new ChangedFrame(Table));
    Legend = new QLabel(this);
    Legend->setWordWrap(true);
    Summary = new QLabel(this);
    Summary->setWordWrap(true);
    for (QLabel *label : {TitleLabel, ShowLabel, Legend, Summary})
        label->setTextFormat(Qt::PlainText);

    TopRow = new QHBoxLayout;
    TopRow->addWidget(TitleLabel, 1);
    auto *showRow = new QHBoxLayout;
    showRow->addWidget(ShowLabel);
    showRow->addWidget(ShowBox);
    showRow->addStretch(1);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(TopRow);
    layout->addLayout(showRow);
    layout->addWidget(Table, 1);
    layout->addWidget(Legend);
    layout->addWidget(Summary);
    connect(ShowBox, &QComboBox::currentIndexChanged, this, [this] { Fill(); });
    SetLanguage(0);
}

void TCompareCells::SetComparison(const LogComparison &comparison, const Drives &drives)
{
    m_comparison = comparison;
    m_drives = drives;
    Fill();
}

void TCompareCells::SetLanguage(int language)
{
    m_language = language;
    ShowLabel->setText(runTimeText(Text::ShowLabel, language));
    ShowBox->setItemText(int(Show::Difference), runTimeText(Text::CompareShowDifference, language));
    ShowBox->setItemText(int(Show::Before), runTimeText(Text::CompareShowBefore, language));
    ShowBox->setItemText(int(Show::After), runTimeText(Text::CompareShowAfter, language));
    Fill();
}

QString TCompareCells::SummaryText(const LogComparison &c, int language)
{
    const int onlyBefore = c.count(Verdict::OnlyBefore);
    const int onlyAfter = c.count(Verdict::OnlyAfter);
    return runTimeText(Text::CompareSummary, language)
        .arg(c.count(Verdict::Better))
        .arg(c.count(Verdict::Worse))
        .arg(c.count(Verdict::Same))
        .arg(onlyBefore + onlyAfter)
        .arg(onlyBefore)
        .arg(onlyAfter)
        .arg(c.changedCells());
}

void TCompareCells::Fill()
{
    if (!m_comparison)
        return;
    const LogComparison &comparison = *m_comparison;
    const int l = m_language;
    const SensorKind sensor = comparison.sensor();
    TitleLabel->setText(runTimeText(Text::CompareLogs, l)
                            .arg(m_drives.before, QString::number(m_drives.beforeRecords), m_drives.after,
                                 QString::number(m_drives.afterRecords)));
    Legend->setText(runTimeText(Text::CompareLegend, l)
                        .arg(QStringLiteral("%1 %").arg(LogComparison::sameWithin(sensor)))
                        .arg(comparison.minRecords())
                    + QLatin1Char(' ')
                    + runTimeText(sensor == SensorKind::WideBand ? Text::CompareErrorWide : Text::CompareErrorNarrow, l));
    QString summary = SummaryText(comparison, l);
    if (!comparison.mapsKnown() && !m_drives.missingMap.isEmpty())
        summary += QLatin1Char('\n') + m_drives.missingMap;
    Summary->setText(summary);
    const Show show = Show(ShowBox->currentIndex());
    auto errorText = [l](const std::optional<double> &error) {
        return error ? signedText(*error) + QStringLiteral(" %") : runTimeText(Text::CompareTipFewRecords, l);
    };
    for (int cell = 0; cell < kCellCount; ++cell) {
        const CellComparison &c = comparison.cell(cell);
        QTableWidgetItem *item = Table->item(cell / 16, cell % 16);
        QString text;
        const std::optional<double> shown =
            show == Show::Before ? c.errorBefore : show == Show::After ? c.errorAfter : c.difference();
        if (shown)
            text = signedText(*shown);
        else if (show == Show::Difference && c.verdict == Verdict::OnlyBefore)
            text = runTimeText(Text::CompareOnlyBefore, l);
        else if (show == Show::Difference && c.verdict == Verdict::OnlyAfter)
            text = runTimeText(Text::CompareOnlyAfter, l);
        item->setText(text);
        item->setForeground(shown ? QColor(Qt::black) : QColor(Qt::darkGray));
        item->setBackground(verdictColor(c, sensor));
        item->setData(kChangedRole, c.changed());
        QStringList tip{runTimeText(Text::TipCell, l).arg(cell + 1).arg(cell / 16 + 1).arg(maps::speedCaption(cell % 16)),
                        runTimeText(kVerdictTips[int(c.verdict)], l),
                        runTimeText(Text::CompareTipBefore, l).arg(c.recordsBefore).arg(errorText(c.errorBefore)),
                        runTimeText(Text::CompareTipAfter, l).arg(c.recordsAfter).arg(errorText(c.errorAfter))};
        if (const std::optional<double> difference = c.difference())
            tip << runTimeText(Text::CompareTipDifference, l).arg(signedText(*difference));
        if (c.changed())
            tip << runTimeText(Text::CompareTipChanged, l).arg(*c.valueBefore).arg(*c.valueAfter);
        else if (c.valueBefore && c.valueAfter)
            tip << runTimeText(Text::CompareTipKept, l).arg(*c.valueBefore);
        item->setToolTip(tip.join(QLatin1Char('\n')));
    }
}

} // namespace tarvex::widgets
