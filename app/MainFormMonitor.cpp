// SPDX-License-Identifier: GPL-3.0-or-later
// The live-data tick, its decoding into gauges and labels, and the log.
#include "app/MainForm.h"
#include "lang/RunTimeTexts.h"
#include "link/Protocol.h"
#include "widgets/MapGrid.h"
#include "widgets/MapSurface.h"
#include "widgets/AnalogGauge.h"
#include "monitor/LiveData.h"
#include "widgets/LiveGauges.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

namespace tarvex::app {

using namespace tarvex::monitor;
using widgets::LiveGauge;
using widgets::showLiveValue;

void TTarvexMainForm::ConnectMonitorHandlers()
{
    RefreshTimer->OnTimer = [this] { Guarded([this] { RefreshTimerTimer(); }); };
    Timer1->OnTimer = [this] { Guarded([this] { Timer1Timer(); }); };
    On(LogButton, &QPushButton::clicked, &TTarvexMainForm::LogButtonClick);
}

void TTarvexMainForm::RefreshTimerTimer()
{
    m_pollPhase = !m_pollPhase;
    testlabel->setText(testlabel->text() != QLatin1String("*") ? QStringLiteral("*") : QStringLiteral(" "));
    InjGrid->SetEditing(InjEditCheck->isChecked());
    IgnGrid->SetEditing(IgnEditCheck->isChecked());
    if (BComPort1->Connected()) {
        const bool sensor = m_pollPhase;
        const QByteArray reply = Exchange().run(sensor ? link::CommandId::SensorRequest : link::CommandId::StateRequest,
                                                QByteArray(), false);
        // Live again from the first reply that carries data, silent after a
        // while of replies without it.
        const bool data = link::hasBrackets(reply);
        const bool mayHaveRestarted = m_silence.tick(data);
        if (mayHaveRestarted) {
            // The ignition may have been cycled behind the plugged cable: the
            // ECU lost what it had not stored. Nothing is changed or stored,
            // nor counted against a map, before both maps are compared.
            for (int map = 0; map < 2; ++map) {
                Page(map).session.mayHaveRestarted();
                ShowMap(map);
            }
            m_reportHeld.calibration.reset(); // steps not stored are gone
        }
        if (data)
            ShowLiveData(true);
        if (sensor)
            DecodeSensorReply(reply);
        else
            DecodeStateReply(reply);
        FeedLiveAnalysis(sensor, reply);
        if (m_silence.silent())
            ShowLiveData(false);
        if (mayHaveRestarted)
            CompareMapsWithEcu();
    }
    RefreshTimer->SetEnabled(true);
    Timer1->SetEnabled(m_autotune && !InjEditCheck->isChecked());
    // Told with live data going on.
    if (!m_logFailure.isEmpty())
        m_services.dialogs->message(this, widgets::Dialogs::Icon::Warning, QCoreApplication::applicationName(),
                                    std::exchange(m_logFailure, QString()));
}

void TTarvexMainForm::Timer1Timer()
{
    // Not in the middle of cells being written (their progress window lets
    // the timers run), nor while the fitter decides about a report.
    if (Page(0).session.batchRunning() || Page(1).session.batchRunning() || m_reportOpen)
        return;
    InjRefreshButtonClick();
}

void TTarvexMainForm::LogItem(const QByteArray &keyword, const QByteArray &value, bool endLine)
{
    if (!m_logging)
        return;
    try {
        // Every line but the Fuel line starts a record: the fuel cells
        // changed since the last one hold from this record on.
        if (!m_logLineOpen && keyword != " Fuel ") {
            FollowLogMap();
            m_logMap.recordStarts();
        }
        m_log.append(keyword + value, endLine);
    } catch (const Exception &e) {
        LogFailed(e.message());
        return;
    }
    m_logLineOpen = !endLine;
}

void TTarvexMainForm::FollowLogMap()
{
    // The fuel map beside the log is what the fuel session knows the ECU
    // holds; while it knows nothing, the records have no map.
    const maps::MapSession &fuel = Page(0).session;
    const std::optional<monitor::FuelMap> known = fuel.known() ? monitor::fuelMapValues(fuel.ecu()) : std::nullopt;
    QString error;
    if (m_logMap.isOpen())
        error = known ? m_logMap.follow(fuel.ecu()) : m_logMap.unknown();
    else if (known && !m_logTrackPath.isEmpty())
        error = m_logMap.begin(std::exchange(m_logTrackPath, QString()), *known);
    if (!error.isEmpty())
        throw Exception(error);
}

void TTarvexMainForm::LogFailed(const QString &error)
{
    // Once, with live data going on: the log ends where the disk stopped
    // taking it, and what it took stays readable.
    const QString path = QDir::toNativeSeparators(m_log.path());
    m_resumeLog = false;
    try {
        EndLogging();
    } catch (const Exception &) {
        // The first failure is the one told.
    }
    m_logFailure = lang::runTimeText(lang::Text::LogStopped, LanguageIndex()).arg(error, path);
}

void TTarvexMainForm::DecodeSensorReply(const QByteArray &reply)
{
    if (!link::hasBrackets(reply))
        return;
    if (const QByteArray a = link::taggedField(reply, 'A'); !a.isEmpty()) {
        RPMLabel->setText(link::fromCp1251(a));
        showLiveValue(rpmgauge, LiveGauge::Rpm, a, false);
        LogItem("RPM ", a);
    }
    if (const QByteArray b = link::taggedField(reply, 'B'); !b.isEmpty()) {
        VoltageLabel->setText(voltageText(link::fieldNumber(b)));
        showLiveValue(VoltageGauge, LiveGauge::Voltage, b, false);
        LogItem(" Volt ", b);
    }
    if (const QByteArray c = link::taggedField(reply, 'C'); !c.isEmpty()) {
        showLiveValue(TemperatureGauge, LiveGauge::Temperature, c, false);
        TemperatureLabel->setText(link::celsiusText(link::fieldNumber(c)));
        LogItem(" Temp ", c);
    }
    if (const QByteArray d = link::taggedField(reply, 'D'); !d.isEmpty()) {
        showLiveValue(TPS1Gauge, LiveGauge::Throttle, d, false);
        LogItem(" TPS ", d);
    }
    if (const QByteArray f = link::taggedField(reply, 'F'); !f.isEmpty()) {
        showLiveValue(EngineLoadGauge, LiveGauge::Load, f, false);
        LogItem(" MAP ", f);
    }
    if (const QByteArray g = link::taggedField(reply, 'G'); !g.isEmpty()) {
        showLiveValue(LambdaGauge, LiveGauge::Lambda, g, wbo_check->isChecked());
        LogItem(" Lambda ", g);
    }
    if (const QByteArray h = link::taggedField(reply, 'H'); !h.isEmpty()) {
        IATlabel->setText(link::celsiusText(link::fieldNumber(h)));
        LogItem(" IAT ", h);
    }
}

void TTarvexMainForm::FollowWorkingPoint(widgets::TMapGrid *grid, QCheckBox *editCheck, int column, int row)
{
    if (editCheck->isChecked()) {
        grid->SetEditing(true);
        return;
    }
    // A negative cell number names no cell: the grid stays where it is.
    if (column >= 0 && column < 16)
        grid->SetCol(column);
    if (row >= 0 && row < 16)
        grid->SetRow(row);
    grid->SetEditing(false);
}

void TTarvexMainForm::ShowTrail(int cell)
{
    // Drawn over both grids and marked on the surfaces, whether the grids
    // follow the working point or are being edited.
    if (cell < 0 || cell > 255 || cell == m_trail.newest())
        return;
    m_trail.visit(cell);
    InjGrid->viewport()->update();
    IgnGrid->viewport()->update();
    for (const auto &editor : m_editors)
        if (editor->surface)
            editor->surface->SetWorkingPoint(cell);
}

void TTarvexMainForm::DecodeStateReply(const QByteArray &reply)
{
    const int language = LanguageIndex();
    if (const QByteArray j = link::taggedField(reply, 'J'); link::hasBrackets(reply) && !j.isEmpty()) {
        const WorkingPoint point = workingPoint(link::fieldNumber(j));
        CursorLabel->setText(point.hex);
        ShowTrail(point.cell);
        if (point.cell >= 0) {
            FollowWorkingPoint(InjGrid, InjEditCheck, point.column, point.row);
            FollowWorkingPoint(IgnGrid, IgnEditCheck, point.column, point.row);
        }
        LogItem(" POS ", j);
    }
    const QByteArray k = link::taggedField(reply, 'K');
    DwellLabel->setText(QStringLiteral("-") + link::fromCp1251(k) + QStringLiteral("°"));
    LogItem(" DWELL ", k);
    // Fields shown as the ECU sent them.
    struct PlainField {
        char tag;
        QLabel *label;
        const char *keyword;
    };
    auto showPlain = [&](std::initializer_list<PlainField> fields) {
        for (const PlainField &field : fields) {
            const QByteArray value = link::taggedField(reply, field.tag);
            field.label->setText(link::fromCp1251(value));
            LogItem(field.keyword, value);
        }
    };
    showPlain({{'L', baseinjlabel, " BaseIgn "}, {'M', cltcorlabel, " CLTcorr "}, {'N', VcorLabel, " VoltCorr "},
               {'O', LcorLabel, " LambdaCorr "}});
    const QByteArray p = link::taggedField(reply, 'P');
    injtimelabel->setText(injectionTimeText(link::fieldReal(p)));
    LogItem(" Ms ", p);

    m_faultCode = link::fieldNumber(link::taggedField(reply, 'R'));
    if (link::hasBrackets(reply))
        m_reportHeld.faultCode = m_faultCode;
    ErrorCodeLabel->setText(faultCodeText(m_faultCode, language));

    showPlain({{'S', BaseAirLabel, " BaseAir "}, {'T', CurrentAirLabel, " CurrAir "}});

    const struct {
        char tag;
        QLabel *label;
        const char *keyword;
    } states[] = {{'U', isshowlabel, " Idle "}, {'V', AcShowLabel, " AC "}, {'W', decellabel, " Decel "}};
    for (const auto &state : states) {
        const QByteArray value = link::taggedField(reply, state.tag);
        if (const std::optional<QString> text = yesNoText(value, language))
            state.label->setText(*text);
        LogItem(state.keyword, value);
    }

    const QByteArray x = link::taggedField(reply, 'X');
    m_autotune = x == "1";
    if (const std::optional<QString> text = autotuneText(x, language))
        autotunebutton->setText(*text);
    LogItem(" Tune ", x, true);
    const QByteArray y = link::taggedField(reply, 'Y');
    FuelTypeLabel->setText(link::fromCp1251(y));
    LogItem(" Fuel ", y, true);
}

void TTarvexMainForm::ShowLiveData(bool live)
{
    if (live == m_liveShown)
        return;
    m_liveShown = live;
    for (widgets::TAnalogGauge *gauge : {rpmgauge, VoltageGauge, TemperatureGauge, TPS1Gauge, LambdaGauge, EngineLoadGauge})
        gauge->SetNoData(!live);
    if (live)
        return; // the replies fill in the values, each with its field
    testlabel->setText(QStringLiteral(" ")); // no heartbeat without ticks
    const QString none = lang::runTimeText(lang::Text::NoLiveData, LanguageIndex());
    for (QLabel *value : {RPMLabel, VoltageLabel, TemperatureLabel, IATlabel, CursorLabel, DwellLabel, ErrorCodeLabel,
                          FuelTypeLabel, baseinjlabel, cltcorlabel, VcorLabel, LcorLabel, injtimelabel, isshowlabel,
                          decellabel, AcShowLabel, BaseAirLabel, CurrentAirLabel})
        value->setText(none);
    // These three show their value as the caption.
    for (widgets::TAnalogGauge *gauge : {TPS1Gauge, LambdaGauge, EngineLoadGauge})
        gauge->SetCaption(none);
}

void TTarvexMainForm::LogButtonClick()
{
    if (m_logging) {
        EndLogging();
        return;
    }
    const QString name = monitor::LogFile::freshName(m_services.logFolder, m_services.now());
    m_log.setLanguage(LanguageIndex());
    if (const QString error = m_log.open(name); !error.isEmpty())
        throw Exception(error);
    logwritelabel->setText(QStringLiteral("*"));
    m_logging = true;
    m_logLineOpen = false;
    m_reportHeld.logs << name;
    const QByteArray version = Exchange().run(link::CommandId::FirmwareVersion);
    m_reportHeld.version = version;
    FWmemo->setPlainText(link::fromCp1251(version));
    m_log.append(version, true);
    // The fuel map the log is taken with, beside it from the first record
    // at which the window knows it.
    m_logMap.newLog();
    m_logTrackPath = monitor::logMapTrackPath(name);
    FollowLogMap();
}

void TTarvexMainForm::EndLogging()
{
    if (!m_logging)
        return;
    const QString error = m_log.close();
    m_logMap.close();
    m_logTrackPath.clear();
    logwritelabel->setText(QString());
    m_logging = false;
    if (!error.isEmpty())
        throw Exception(error);
}

} // namespace tarvex::app
