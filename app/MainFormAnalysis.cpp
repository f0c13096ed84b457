// SPDX-License-Identifier: GPL-3.0-or-later
// The live analysis from the wide-band sensor: its window takes the ticks'
// replies, pauses while no live data comes, and its suggestion goes to the
// ECU through the fuel map's session as one batch.
#include "app/LiveAnalysisWindow.h"
#include "app/MainForm.h"
#include "lang/RunTimeTexts.h"
#include "link/Protocol.h"
#include "widgets/MapGrid.h"

#include <QAction>
#include <QCheckBox>

namespace tarvex::app {

void TTarvexMainForm::ConnectAnalysisHandlers()
{
    InjAnalysisAction = new QAction(InjGrid);
    connect(InjAnalysisAction, &QAction::triggered, this, [this] { Guarded([this] { LiveAnalysisClick(); }); });
    UpdateAnalysisCaptions();
}

void TTarvexMainForm::UpdateAnalysisCaptions()
{
    const int language = LanguageIndex();
    InjAnalysisAction->setText(lang::runTimeText(lang::Text::MenuAnalysis, language));
    if (LiveAnalysisWindow)
        LiveAnalysisWindow->SetLanguage(language);
}

void TTarvexMainForm::LiveAnalysisClick()
{
    if (!LiveAnalysisWindow) {
        auto *window = new TLiveAnalysisWindow(m_services.dialogs, m_services.analysisSettingsPath, this);
        window->CurrentMap = [this]() -> std::optional<monitor::FuelMap> {
            const maps::MapSession &fuel = Page(0).session;
            if (!fuel.known())
                return std::nullopt;
            return monitor::fuelMapValues(fuel.ecu());
        };
        window->PauseReason = [this](int language) {
            // Also after an exchange that failed and left live data off.
            const QString why = LiveAnalysisPause(language);
            return why.isEmpty() && !RefreshTimer->Enabled() ? lang::runTimeText(lang::Text::LivePausedNoData, language) : why;
        };
        window->CanWrite = [this] { return MapEditable(0); };
        window->OnWrite = [this](const std::vector<std::pair<int, int>> &cells) {
            std::vector<int> written;
            Guarded([&] { WriteSuggestion(cells, written); });
            return written;
        };
        LiveAnalysisWindow = window;
        UpdateAnalysisCaptions();
    }
    LiveAnalysisWindow->show();
    LiveAnalysisWindow->raise();
}

QString TTarvexMainForm::LiveAnalysisPause(int language) const
{
    const maps::MapSession &fuel = Page(0).session;
    const std::pair<bool, lang::Text> reasons[] = {
        {m_waitingForAdapter, lang::Text::LivePausedReconnecting},
        {!BComPort1->Connected(), lang::Text::LivePausedDisconnected},
        {!m_liveShown, lang::Text::LivePausedNoData},
        {!wbo_check->isChecked(), lang::Text::LivePausedNarrowBand},
        {fuel.batchRunning() || Page(1).session.batchRunning(), lang::Text::LivePausedBatch},
        {fuel.storing() || Page(1).session.storing(), lang::Text::LivePausedStoring},
        // Each record counts against the value the ECU holds in its cell.
        {!fuel.known(), lang::Text::LivePausedNoMap},
    };
    for (const auto &[paused, why] : reasons)
        if (paused)
            return lang::runTimeText(why, language);
    return QString();
}

void TTarvexMainForm::FeedLiveAnalysis(bool sensor, const QByteArray &reply)
{
    TLiveAnalysisWindow *window = LiveAnalysisWindow;
    if (!window || !window->isVisible())
        return;
    if (!LiveAnalysisPause(LanguageIndex()).isEmpty()) {
        window->Pause();
        return;
    }
    const double now = m_services.clock->nowMs();
    if (sensor) {
        window->SensorReply(reply, now);
        return;
    }
    const QStringList &ecu = Page(0).session.ecu();
    window->StateReply(reply, now, [&ecu](int cell) { return link::tryStrToInt(ecu.value(cell)); });
}

void TTarvexMainForm::WriteSuggestion(const std::vector<std::pair<int, int>> &cells, std::vector<int> &written)
{
    std::vector<std::pair<int, QString>> texts;
    for (const auto &[cell, value] : cells)
        texts.emplace_back(cell, QString::number(value));
    const maps::Plan plan = Page(0).session.write(texts, maps::Source::Suggestion);
    // Should the batch end in a port error, every cell planned counts as
    // written: none keeps records taken with an old value.
    written.clear();
    for (const maps::CellChange &change : plan.writes)
        written.push_back(change.cell - 1);
    written.resize(std::min(written.size(), SendPlan(0, plan).written));
}

} // namespace tarvex::app
