// SPDX-License-Identifier: GPL-3.0-or-later
// The service report for the customer: the fitter's details, what the window
// does not hold yet read as its own buttons read it, then a print preview.
#include "app/MainForm.h"
#include "app/ReportPrint.h"
#include "lang/RunTimeTexts.h"
#include "link/Protocol.h"

#include <QCoreApplication>
#include <QLabel>
#include <QShortcut>

namespace tarvex::app {

void TTarvexMainForm::ConnectReportHandlers()
{
    auto *report = new QShortcut(QKeySequence::Print, this);
    connect(report, &QShortcut::activated, this, [this] { Guarded([this] { ReportClick(); }); });
}

void TTarvexMainForm::ReportClick()
{
    const int language = LanguageIndex();
    if (!BComPort1->Connected() || m_waitingForAdapter) {
        m_services.dialogs->message(this, widgets::Dialogs::Icon::Information, QCoreApplication::applicationName(),
                                    lang::runTimeText(lang::Text::ReportNeedsConnection, language));
        return;
    }
    // Not while the fitter decides about the maps' differences.
    if (m_reportOpen)
        return;
    const QPointer<TTarvexMainForm> alive(this);
    ReportHeld &held = m_reportHeld;
    std::optional<ReportDetails> details;
    WithReportUp([&] {
        details = askReportDetails(*m_services.dialogs, this, language, m_services.userSettingsPath,
                                   {held.registration, held.mileage, held.note});
    });
    if (!alive)
        return;
    if (m_compareAgain && BComPort1->Connected())
        CompareMapsWithEcu();
    if (!alive || !details)
        return;
    held.registration = details->car.registration;
    held.mileage = details->car.mileage;
    held.note = details->car.note;
    const bool answered = ReadForReport();
    if (!alive || !BComPort1->Connected())
        return;

    service::ReportFacts facts;
    facts.language = language;
    facts.made = m_services.now();
    facts.workshop = details->workshop;
    facts.car = details->car;
    service::EcuFacts ecu;
    ecu.versionReply = held.version.value_or(QByteArray());
    ecu.firmware = m_ecuIdentity;
    ecu.dateReply = held.date.value_or(QByteArray());
    ecu.calibrationReply = held.calibration.value_or(QByteArray());
    for (const CalibrationRow &row : CalibrationRows)
        ecu.calibrationNames << row.caption->text();
    ecu.faultCode = held.faultCode;
    facts.ecu = ecu;
    facts.ecuSilent = !answered || m_silence.mayBeRestarting();
    for (int map = 0; map < 2; ++map)
        facts.maps.push_back({&Page(map).session, QString()});
    facts.bands = BandColorsNow();
    for (const QString &log : held.logs)
        facts.logs.push_back(service::readLogFacts(log));
    facts.analysis = monitor::readKeptAnalysis(m_services.analysisSettingsPath);
    WithReportUp([&] { previewReport(*m_services.dialogs, this, service::makeServiceReport(facts), language); });
    if (!alive)
        return;
    if (m_compareAgain && BComPort1->Connected())
        CompareMapsWithEcu();
}

void TTarvexMainForm::WithReportUp(const std::function<void()> &dialogs)
{
    const QPointer<TTarvexMainForm> alive(this);
    m_serviceReportUp = true;
    try {
        dialogs();
    } catch (...) {
        if (alive)
            m_serviceReportUp = false;
        throw;
    }
    if (alive)
        m_serviceReportUp = false;
}

bool TTarvexMainForm::ReadForReport()
{
    const QPointer<TTarvexMainForm> alive(this);
    bool answered = true;
    // A map not known is read as its page reads it; one shown from before
    // that differs goes to the fitter's choice, and stays unknown without one.
    for (int map = 0; map < 2 && alive && BComPort1->Connected(); ++map)
        if (!Page(map).session.known())
            ReadMap(map);
    using Reader = void (TTarvexMainForm::*)();
    auto readIfMissing = [&](std::optional<QByteArray> &reply, bool needsBrackets, Reader reader) {
        if (!alive || !BComPort1->Connected())
            return;
        if (reply && (needsBrackets ? link::hasBrackets(*reply) : !reply->isEmpty()))
            return;
        reply.reset();
        try {
            (this->*reader)();
        } catch (const Exception &) {
            // A reply that does not decode is shown as it came; a failed
            // exchange (no reply kept) is the handler's error.
            if (!alive || !reply)
                throw;
            RefreshTimer->SetEnabled(true);
        }
        if (alive && (!reply || reply->isEmpty()))
            answered = false;
    };
    readIfMissing(m_reportHeld.version, false, &TTarvexMainForm::FW_ReadButtonClick);
    readIfMissing(m_reportHeld.date, true, &TTarvexMainForm::DateReadButtonClick);
    readIfMissing(m_reportHeld.calibration, true, &TTarvexMainForm::Calibration_read_buttonClick);
    return answered;
}

} // namespace tarvex::app
