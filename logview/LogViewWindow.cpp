// SPDX-License-Identifier: GPL-3.0-or-later
#include "logview/LogViewWindow.h"
#include "lang/RunTimeTexts.h"
#include "link/Protocol.h"
#include "logview/LogAnalysisView.h"
#include "logview/LogCompareView.h"
#include "logview/LogPlaybackView.h"
#include "widgets/LogPlot.h"
#include "widgets/CompareCells.h"
#include "widgets/Dialogs.h"
#include "widgets/LogScatter.h"
#include "widgets/ProgramStart.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QScreen>
#include <QTabWidget>
#include <QVBoxLayout>
#include <cmath>

using namespace tarvex::monitor;
using namespace tarvex::widgets;

namespace tarvex::logview {

TLogViewWindow::TLogViewWindow(LogData log, const QString &path, std::shared_ptr<widgets::Dialogs> dialogs,
                               QWidget *parent)
    : QWidget(parent), m_log(std::move(log)), m_path(path), m_dialogs(dialogs)
{
    setWindowTitle(QStringLiteral("tarvex-logview — ") + path);
    Views = new QTabWidget(this);
    Plot = new TLogPlot(m_log);
    CellView = new TLogAnalysisView(m_log, path, std::move(dialogs));
    Scatter = new TLogScatter(m_log);
    Scatter->SetSensor(CellView->Sensor());
    Playback = new TLogPlayback(m_log, Plot);
    Views->addTab(Playback, QString());
    Views->addTab(CellView, QString());
    Views->addTab(Scatter, QString());
    LanguageBox = new QComboBox(this);
    LanguageBox->addItems({QStringLiteral("RUS"), QStringLiteral("ENG")});
    Views->setCornerWidget(LanguageBox);
    BadLinesLabel = new QLabel(this);
    BadLinesLabel->setTextFormat(Qt::PlainText);
    BadLinesLabel->setStyleSheet(QStringLiteral("color: #b00000"));
    BadLinesLabel->setVisible(m_log.badLines > 0);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(BadLinesLabel);
    layout->addWidget(Views);
    MenuBar = new QMenuBar(this);
    LogMenu = MenuBar->addMenu(QString());
    CompareAction = LogMenu->addAction(QString());
    CompareAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_K));
    connect(CompareAction, &QAction::triggered, this, [this] { CompareClick(); });
    layout->setMenuBar(MenuBar);
    auto takeBase = [this] { Playback->SetBase(CellView->Base(), CellView->BaseFile()); };
    takeBase();
    Playback->SetWideBand(CellView->Sensor() == SensorKind::WideBand);
    CellView->OnBaseChanged = takeBase;
    CellView->OnSensorChanged = [this](SensorKind sensor) {
        Scatter->SetSensor(sensor);
        Playback->SetWideBand(sensor == SensorKind::WideBand);
    };
    connect(Views, &QTabWidget::currentChanged, this, [this](int tab) {
        if (tab > 0)
            TakeRange();
        else
            Playback->setFocus();
    });
    connect(LanguageBox, &QComboBox::currentIndexChanged, this, [this](int index) { SetLanguage(index); });
    SetLanguage(LanguageBox->currentIndex());
    // Within the screen's free area: on a small one the play bar and the
    // language box stay on it.
    const QSize wanted(1400, 860);
    const QScreen *on = screen();
    const QRect fitted =
        on ? widgets::openingGeometry(wanted, minimumSizeHint(), on->availableGeometry()) : QRect(pos(), wanted);
    resize(fitted.size());
    move(fitted.topLeft());
    Playback->setFocus();
}

void TLogViewWindow::TakeRange()
{
    const int first = int(std::floor(Plot->ViewStart()));
    const int last = int(std::ceil(Plot->ViewEnd()));
    CellView->SetRange(first, last);
    Scatter->SetRange(first, last);
}

PlotTexts TLogViewWindow::PlotTextsFor(int language)
{
    using lang::Text;
    auto text = [language](lang::Text id) { return lang::runTimeText(id, language); };
    PlotTexts t;
    t.channels = {text(lang::Text::PlotSpeed),  text(lang::Text::PlotCoolant),   text(lang::Text::PlotThrottle), text(lang::Text::PlotLoad),
                  text(lang::Text::PlotLambda), text(lang::Text::PlotInjection), text(lang::Text::PlotAdvance)};
    t.rpm = text(lang::Text::UnitRpm);
    t.ms = text(lang::Text::UnitMs);
    t.seconds = text(lang::Text::UnitSeconds);
    t.record = text(lang::Text::PlotRecord);
    t.cell = text(lang::Text::PlotCell);
    return t;
}

void TLogViewWindow::CompareClick()
{
    const QString path = m_dialogs->openFileName(this, QStringLiteral("Tarvex log"), QStringLiteral("*.log"),
                                                 QStringLiteral("log"), QFileInfo(m_path).absolutePath());
    if (!path.isEmpty())
        CompareWith(path);
}

bool TLogViewWindow::CompareWith(const QString &path)
{
    LogData other = readLogFile(path);
    if (!other.error.isEmpty()) {
        m_dialogs->message(this, widgets::Dialogs::Icon::Warning, QCoreApplication::applicationName(),
                           other.error.text(m_language));
        return false;
    }
    CompareWith(std::move(other), path);
    return true;
}

void TLogViewWindow::CompareWith(LogData other, const QString &path)
{
    if (!Compare) {
        CompareCells = new TCompareCells;
        Compare = new TLogCompareView(m_log, m_path, CellView, CompareCells);
        Views->addTab(CompareCells, QString());
        Views->addTab(Compare, QString());
        CellView->OnAnalysed = [this] { Compare->Update(); };
    }
    Compare->SetOther(std::move(other), path);
    SetLanguage(m_language);
    Views->setCurrentWidget(CompareCells);
}

void TLogViewWindow::SetLanguage(int language)
{
    m_language = language;
    Plot->SetTexts(PlotTextsFor(language));
    BadLinesLabel->setText(lang::runTimeText(lang::Text::LogBadLines, language).arg(m_log.badLines).arg(m_log.firstBadLine));
    Views->setTabText(0, lang::runTimeText(lang::Text::ViewPlots, language));
    Views->setTabText(1, lang::runTimeText(lang::Text::ViewCells, language));
    Views->setTabText(2, lang::runTimeText(lang::Text::ViewScatter, language));
    CellView->SetLanguage(language);
    Scatter->SetLanguage(language);
    Playback->SetLanguage(language);
    LogMenu->setTitle(lang::runTimeText(lang::Text::MenuLog, language));
    CompareAction->setText(lang::runTimeText(lang::Text::MenuCompareLog, language));
    if (Compare) {
        Views->setTabText(Views->indexOf(CompareCells), lang::runTimeText(lang::Text::ViewCompareCells, language));
        Views->setTabText(Views->indexOf(Compare), lang::runTimeText(lang::Text::ViewComparePlots, language));
        Compare->SetLanguage(language);
    }
}

} // namespace tarvex::logview
