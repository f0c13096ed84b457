// SPDX-License-Identifier: GPL-3.0-or-later
#include "logview/LogCompareView.h"
#include "lang/RunTimeTexts.h"
#include "logview/LogAnalysisView.h"
#include "logview/LogViewWindow.h"
#include "widgets/CompareCells.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

using namespace tarvex::monitor;

namespace tarvex::logview {

using lang::runTimeText;
using lang::Text;
using Which = TLogComparePlot::Which;

TLogCompareView::TLogCompareView(const LogData &opened, const QString &openedPath, TLogAnalysisView *analysis,
                                 widgets::TCompareCells *cells, QWidget *parent)
    : QWidget(parent), m_opened(opened), m_openedPath(openedPath), m_analysis(analysis), m_cells(cells)
{
    Plot = new TLogComparePlot(this);
    AlignLabel = new QLabel(this);
    StartsButton = new QPushButton(this);
    BeforeLabel = new QLabel(this);
    BeforeMoment = new QSpinBox(this);
    AfterLabel = new QLabel(this);
    AfterMoment = new QSpinBox(this);
    HintLabel = new QLabel(this);
    SwapButton = new QPushButton(cells);
    cells->TopRow->addWidget(SwapButton);
    for (QSpinBox *box : {BeforeMoment, AfterMoment})
        box->setMinimum(1);

    auto *bar = new QHBoxLayout;
    for (QWidget *w : std::initializer_list<QWidget *>{AlignLabel, StartsButton, BeforeLabel, BeforeMoment, AfterLabel,
                                                      AfterMoment, HintLabel})
        bar->addWidget(w);
    bar->addStretch(1);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(Plot, 1);

    connect(StartsButton, &QPushButton::clicked, this, [this] { AlignAtStarts(); });
    connect(SwapButton, &QPushButton::clicked, this, [this] { SwapClick(); });
    connect(BeforeMoment, &QSpinBox::valueChanged, this, [this](int record) { SetMoment(TLogComparePlot::Before, record - 1); });
    connect(AfterMoment, &QSpinBox::valueChanged, this, [this](int record) { SetMoment(TLogComparePlot::After, record - 1); });
    Plot->OnMoment = [this](Which which, int record) { SetMoment(which, record); };
    Plot->OnStarts = [this] { AlignAtStarts(); };
}

TLogCompareView::Drive TLogCompareView::Side(Which which) const
{
    const bool opened = (which == TLogComparePlot::Before) != m_swapped;
    if (opened)
        return {&m_opened, m_openedPath, m_analysis->Base()};
    return {&m_other, m_otherPath, m_otherTrack};
}

void TLogCompareView::SetOther(LogData log, const QString &path)
{
    m_other = std::move(log);
    m_otherPath = path;
    m_otherTrack = readLogMapTrackFile(logMapTrackPath(path)).track;
    m_swapped = false;
    ShowLogs();
}

void TLogCompareView::SwapClick()
{
    m_swapped = !m_swapped;
    ShowLogs();
}

void TLogCompareView::ShowLogs()
{
    const Drive before = Side(TLogComparePlot::Before);
    const Drive after = Side(TLogComparePlot::After);
    Plot->SetLogs(before.log, after.log);
    BeforeMoment->setMaximum(std::max(1, int(before.log->records.size())));
    AfterMoment->setMaximum(std::max(1, int(after.log->records.size())));
    AlignAtStarts();
    SetLanguage(m_language);
}

void TLogCompareView::AlignAtStarts()
{
    SetMoment(TLogComparePlot::Before, 0);
    SetMoment(TLogComparePlot::After, 0);
    Plot->ShowAll();
}

void TLogCompareView::SetMoment(Which which, int record)
{
    QSpinBox *box = which == TLogComparePlot::Before ? BeforeMoment : AfterMoment;
    {
        const QSignalBlocker quiet(box);
        box->setValue(record + 1);
    }
    const int before = which == TLogComparePlot::Before ? record : Plot->Moment(TLogComparePlot::Before);
    const int after = which == TLogComparePlot::After ? record : Plot->Moment(TLogComparePlot::After);
    Plot->SetMoments(before, after);
}

void TLogCompareView::Update()
{
    if (m_otherPath.isEmpty())
        return;
    const Drive before = Side(TLogComparePlot::Before);
    const Drive after = Side(TLogComparePlot::After);
    m_result = compareLogs(*before.log, before.base, *after.log, after.base, m_analysis->Sensor(),
                           m_analysis->Controls.Filters(), m_analysis->Controls.Settings());
    widgets::TCompareCells::Drives drives{QFileInfo(before.path).fileName(), int(before.log->records.size()),
                                          QFileInfo(after.path).fileName(), int(after.log->records.size()), QString()};
    if (!before.base || !after.base)
        drives.missingMap = runTimeText(Text::CompareMapsUnknown, m_language)
                                .arg(QFileInfo(logMapTrackPath(before.base ? after.path : before.path)).fileName());
    m_cells->SetComparison(*m_result, drives);
}

void TLogCompareView::SetLanguage(int language)
{
    m_language = language;
    const int l = language;
    AlignLabel->setText(runTimeText(Text::CompareAlign, l));
    StartsButton->setText(runTimeText(Text::CompareAlignStarts, l));
    BeforeLabel->setText(runTimeText(Text::CompareMomentBefore, l));
    AfterLabel->setText(runTimeText(Text::CompareMomentAfter, l));
    HintLabel->setText(runTimeText(Text::CompareAlignHint, l));
    SwapButton->setText(runTimeText(Text::CompareSwap, l));
    m_cells->SetLanguage(l);
    if (m_otherPath.isEmpty())
        return;
    ComparePlotTexts texts{TLogViewWindow::PlotTextsFor(l),
                           runTimeText(Text::CompareReadout, l),
                           runTimeText(Text::CompareBeforeName, l).arg(QFileInfo(Side(TLogComparePlot::Before).path).fileName()),
                           runTimeText(Text::CompareAfterName, l).arg(QFileInfo(Side(TLogComparePlot::After).path).fileName()),
                           runTimeText(Text::CompareMenuMomentBefore, l),
                           runTimeText(Text::CompareMenuMomentAfter, l),
                           runTimeText(Text::CompareAlignStarts, l)};
    Plot->SetTexts(std::move(texts));
    Update();
}

} // namespace tarvex::logview
