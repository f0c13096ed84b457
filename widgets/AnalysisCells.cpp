// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/AnalysisCells.h"
#include "lang/RunTimeTexts.h"
#include "maps/MapScale.h"
#include "monitor/LiveData.h"

#include <QAction>
#include <QComboBox>
#include <QHeaderView>
#include <QPainter>
#include <QStyledItemDelegate>
#include <cmath>

using namespace tarvex::monitor;

namespace tarvex::widgets {

using lang::runTimeText;
using lang::Text;

QColor paleColor(const QColor &color, double strength)
{
    const double s = std::clamp(strength, 0.0, 1.0) * 0.75;
    return QColor::fromRgbF(1 - (1 - color.redF()) * s, 1 - (1 - color.greenF()) * s, 1 - (1 - color.blueF()) * s);
}

namespace {

// The lambda gauge's colours for a suggested change: blue where the cell ran
// lean and gets more fuel, red where it ran rich, green where it stays; the
// further, the stronger.
QColor changeColor(int step)
{
    constexpr double kStrength[] = {0.3, 0.45, 0.6, 0.8, 1.0};
    const QColor gauge = step > 0 ? QColor(0, 0, 255) : step < 0 ? QColor(255, 0, 0) : QColor(0, 128, 0);
    return paleColor(gauge, kStrength[std::abs(step)]);
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
// A selected cell keeps its colour and gets a frame: the colour is what the
// cell view says.
class SelectionFrame : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QStyleOptionViewItem plain = option;
        plain.state &= ~QStyle::State_Selected;
        QStyledItemDelegate::paint(painter, plain, index);
        if (!(option.state & QStyle::State_Selected))
            return;
        painter->save();
        painter->setPen(QPen(option.palette.color(QPalette::Highlight).darker(130), 3));
        painter->drawRect(option.rect.adjusted(1, 1, -2, -2));
        painter->restore();
    }
};
} // namespace

TAnalysisCells::TAnalysisCells(QWidget *parent) : QTableWidget(16, 16, parent)
{
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    verticalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    QStringList speeds, rows;
    for (int i = 0; i < 16; ++i) {
        speeds << maps::speedCaption(i);
        rows << QString::number(i + 1);
        for (int column = 0; column < 16; ++column)
            setItem(i, column, new QTableWidgetItem);
    }
    setHorizontalHeaderLabels(speeds);
    setVerticalHeaderLabels(rows);
    setItemDelegate(new SelectionFrame(this));
    LockAction = new QAction(this);
    LockAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    UnlockAction = new QAction(this);
    UnlockAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_U));
    for (QAction *action : {LockAction, UnlockAction}) {
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        addAction(action);
    }
    setContextMenuPolicy(Qt::ActionsContextMenu);
    connect(LockAction, &QAction::triggered, this, [this] {
        if (OnLock)
            OnLock(SelectedCells(), true);
    });
    connect(UnlockAction, &QAction::triggered, this, [this] {
        if (OnLock)
            OnLock(SelectedCells(), false);
    });
    connect(this, &QTableWidget::cellDoubleClicked, this, [this](int row, int column) {
        if (OnToggleLock)
            OnToggleLock(row * 16 + column);
    });
}

void TAnalysisCells::SetLanguage(int language)
{
    LockAction->setText(lang::runTimeText(lang::Text::MenuLockCells, language));
    UnlockAction->setText(lang::runTimeText(lang::Text::MenuUnlockCells, language));
}

void TAnalysisCells::SetShowTexts(QComboBox *box, int language)
{
    while (box->count() < 3)
        box->addItem(QString());
    box->setItemText(int(Show::Records), lang::runTimeText(lang::Text::ShowRecords, language));
    box->setItemText(int(Show::Lambda), lang::runTimeText(lang::Text::ShowLambda, language));
    box->setItemText(int(Show::Suggestion), lang::runTimeText(lang::Text::ShowSuggestion, language));
}

QString TAnalysisCells::SummaryText(const Analysis &a, int language)
{
    return lang::runTimeText(lang::Text::AnalysisSummary, language)
        .arg(a.recordsUsed)
        .arg(a.coldRecords)
        .arg(a.throttleRecords)
        .arg(a.overrunRecords)
        .arg(a.peggedRecords)
        .arg(a.notReadyRecords)
        .arg(a.otherRecords)
        + (a.noMapRecords > 0 ? QStringLiteral(", ") + lang::runTimeText(lang::Text::AnalysisNoMap, language).arg(a.noMapRecords)
                              : QString());
}

std::vector<int> TAnalysisCells::SelectedCells() const
{
    std::vector<int> cells;
    for (const QTableWidgetSelectionRange &range : selectedRanges())
        for (int row = range.topRow(); row <= range.bottomRow(); ++row)
            for (int column = range.leftColumn(); column <= range.rightColumn(); ++column)
                cells.push_back(row * 16 + column);
    return cells;
}

void TAnalysisCells::Fill(const Analysis &analysis, Show show, int language, bool spans)
{
    const int l = language;
    int most = 1;
    for (const CellStats &c : analysis.cells)
        most = std::max(most, c.hits);
    const bool wide = analysis.sensor == SensorKind::WideBand;
    for (int cell = 0; cell < kCellCount; ++cell) {
        const CellStats &c = analysis.cells[size_t(cell)];
        QTableWidgetItem *cellItem = item(cell / 16, cell % 16);
        QString text;
        QColor fill = Qt::white;
        switch (show) {
        case Show::Records:
            text = c.hits ? QString::number(c.hits) : QString();
            fill = paleColor(QColor(0, 70, 200), c.hits ? 0.15 + 0.85 * std::log1p(c.hits) / std::log1p(most) : 0);
            break;
        case Show::Lambda:
            if (c.hits && wide) {
                text = QString::number(c.meanAfr, 'f', 1);
                fill = paleColor(lambdaDisplay(QByteArray::number(std::lround((c.meanAfr - 10) * 106)), true).face, 0.8);
            } else if (c.hits) {
                text = QStringLiteral("%1 %").arg(std::lround(c.richShare * 100));
                fill = paleColor(c.richShare > 0.5 ? QColor(255, 0, 0) : QColor(0, 0, 255), std::abs(c.richShare - 0.5) * 2);
            }
            break;
        case Show::Suggestion:
            if (c.suggested && c.current) {
                text = QString::number(*c.suggested);
                fill = changeColor(changeStep(*c.current, *c.suggested));
            } else if (c.current) {
                text = QString::number(*c.current);
                cellItem->setForeground(Qt::gray);
            }
            break;
        }
        if (show != Show::Suggestion || c.suggested)
            cellItem->setForeground(Qt::black);
        cellItem->setText(text);
        QFont font = cellItem->font();
        font.setItalic(c.locked);
        cellItem->setFont(font);
        cellItem->setBackground(c.locked ? QBrush(QColor(110, 110, 110), Qt::BDiagPattern) : QBrush(fill));
        QStringList tip{lang::runTimeText(lang::Text::TipCell, l).arg(cell + 1).arg(cell / 16 + 1).arg(maps::speedCaption(cell % 16)),
                        lang::runTimeText(lang::Text::TipRecords, l).arg(c.hits)};
        if (c.hits) {
            tip << lang::runTimeText(lang::Text::TipMeans, l).arg(std::lround(c.meanRpm)).arg(std::lround(c.meanLoad));
            tip << (wide ? lang::runTimeText(lang::Text::TipAfr, l).arg(c.meanAfr, 0, 'f', 2)
                         : lang::runTimeText(lang::Text::TipRich, l).arg(std::lround(c.richShare * 100)));
        }
        if (c.hits && wide && c.current)
            tip << lang::runTimeText(lang::Text::TipNeed, l).arg(c.meanNeed, 0, 'f', 1);
        if (c.current)
            tip << lang::runTimeText(lang::Text::TipCurrent, l).arg(*c.current);
        if (c.suggested)
            tip << lang::runTimeText(lang::Text::TipSuggested, l).arg(*c.suggested);
        if (c.locked)
            tip << lang::runTimeText(lang::Text::TipLocked, l);
        if (c.leftOut)
            tip << lang::runTimeText(lang::Text::TipLeftOut, l).arg(c.leftOut);
        if (spans && !c.spans.empty())
            tip << lang::runTimeText(lang::Text::TipSpans, l).arg(spansText(c.spans));
        cellItem->setToolTip(tip.join(QLatin1Char('\n')));
    }
}

} // namespace tarvex::widgets
