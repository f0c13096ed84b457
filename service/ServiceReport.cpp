// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/ServiceReport.h"
#include "lang/RunTimeTexts.h"
#include "link/Exception.h"
#include "link/Protocol.h"
#include "maps/CellColors.h"
#include "maps/MapCompare.h"
#include "maps/MapScale.h"
#include "service/Calibration.h"
#include "service/Diagnostics.h"

#include <QFileInfo>
#include <cmath>

namespace tarvex::service {

using lang::Text;

namespace {

constexpr int32_t kFuelText = 0x0000FF;  // red, as the fuel grid writes
constexpr int32_t kIgnitionText = 0;     // the window's text colour

class Texts {
public:
    explicit Texts(int language) : m_language(language) {}
    QString operator()(Text id) const { return lang::runTimeText(id, m_language); }
    int language() const { return m_language; }

private:
    int m_language;
};

QString replyText(const QByteArray &reply)
{
    return link::fromCp1251(reply).trimmed();
}

ReportSection workshopSection(const ReportFacts &facts, const Texts &t)
{
    return {t(Text::ReportWorkshop),
            {{t(Text::ReportWorkshopName), facts.workshop.name},
             {t(Text::ReportWorkshopAddress), facts.workshop.address},
             {t(Text::ReportWorkshopPhone), facts.workshop.phone}},
            std::nullopt, {}, {}};
}

ReportSection carSection(const ReportFacts &facts, const Texts &t)
{
    return {t(Text::ReportCar),
            {{t(Text::ReportRegistration), facts.car.registration},
             {t(Text::ReportMileage), facts.car.mileage},
             {t(Text::ReportNote), facts.car.note}},
            std::nullopt, {}, {}};
}

QString installDateText(const QByteArray &reply, const Texts &t)
{
    try {
        if (const std::optional<InstallDate> date = parseInstallDate(reply))
            return date->text;
        return t(Text::ReportNoReply);
    } catch (const Exception &) {
        return t(Text::ReportBadReply).arg(replyText(reply));
    }
}

QString faultText(const std::optional<int> &code, const Texts &t)
{
    if (!code)
        return t(Text::ReportFaultNotKnown);
    // The messages exist in Russian only, in either language.
    if (const std::optional<QString> message = faultMessage(*code))
        return QStringLiteral("%1 — %2").arg(*code).arg(*message);
    return t(Text::ReportFaultNoText).arg(*code);
}

ReportSection ecuSection(const EcuFacts &ecu, const Texts &t)
{
    const QString version = replyText(ecu.versionReply);
    return {t(Text::ReportEcu),
            {{t(Text::ReportVersion), version.isEmpty() ? t(Text::ReportNoReply) : version},
             {t(Text::ReportFirmware), ecu.firmware.isEmpty() ? t(Text::ReportNoReply) : replyText(ecu.firmware)},
             {t(Text::ReportInstallDate), installDateText(ecu.dateReply, t)},
             {t(Text::ReportFault), faultText(ecu.faultCode, t)}},
            std::nullopt, {}, {}};
}

ReportSection calibrationSection(const EcuFacts &ecu, const Texts &t)
{
    ReportSection section{t(Text::ReportCalibration), {}, std::nullopt, {}, {}};
    QStringList values(kCalibrationRows, QStringLiteral("—"));
    if (!link::hasBrackets(ecu.calibrationReply)) {
        section.note = t(Text::ReportNoReply);
        return section;
    }
    try {
        decodeCalibration(ecu.calibrationReply, [&](int row, const QString &text) { values[row] = text; });
    } catch (const Exception &) {
        // The fields before the one that failed are shown, as the page does.
        section.note = t(Text::ReportBadReply).arg(replyText(ecu.calibrationReply));
    }
    section.table.headers = {t(Text::ReportParameter), t(Text::ReportValue)};
    for (int row = 0; row < kCalibrationRows; ++row)
        section.table.rows.push_back({ecu.calibrationNames.value(row).trimmed(), values[row]});
    return section;
}

QString cellTitle(int cell)
{
    return QString::number(cell + 1);
}

// Why the window does not know the map, or none when it does.
std::optional<Text> unknownReason(const maps::MapSession &session)
{
    if (session.known())
        return std::nullopt;
    if (!session.hasMap())
        return Text::ReportMapNotRead;
    return session.readLost() ? Text::ReportMapReadLost : Text::ReportMapNotCompared;
}

ReportGrid gridOf(const maps::MapSession &session, const maps::BandColors &bands)
{
    ReportGrid grid;
    grid.cells = session.ecu();
    const bool fuel = session.page() == maps::MapPage::Fuel;
    grid.text = fuel ? kFuelText : kIgnitionText;
    for (int cell = 0; cell < 256; ++cell) {
        const int value = maps::paintValue(grid.cells.value(cell));
        if (fuel) {
            if (const std::optional<int> band = maps::fuelBand(value))
                grid.fill[size_t(cell)] = bands[size_t(*band - 1)];
        } else {
            grid.fill[size_t(cell)] = maps::ignitionColor(value);
        }
    }
    return grid;
}

ReportSection mapSection(const MapFacts &facts, const ReportFacts &all, const Texts &t)
{
    const maps::MapSession &session = *facts.session;
    const bool fuel = session.page() == maps::MapPage::Fuel;
    const QString name = t(fuel ? Text::MapNameFuel : Text::MapNameIgnition);
    const bool ofFile = !facts.file.isEmpty();
    ReportSection section;
    section.title = ofFile ? t(Text::ReportMapFile).arg(QFileInfo(facts.file).fileName(), name) : name;
    if (const std::optional<Text> why = unknownReason(session)) {
        section.note = t(*why);
        return section;
    }
    if (!ofFile && all.ecuSilent) {
        section.note = t(Text::ReportMapEcuSilent);
        return section;
    }
    // What the ECU holds, never text typed and not sent.
    section.grid = gridOf(session, all.bands);
    const int unstored = session.unstoredCount();
    const bool stored = unstored == 0 && session.storeRefusal() == maps::Refusal::None;
    if (ofFile)
        section.rows.push_back({t(Text::ReportFile), facts.file});
    section.rows.push_back({t(ofFile ? Text::ReportSavedToFile : Text::ReportStoredInEcu),
                            stored ? t(Text::ReportYes) : t(Text::ReportNotStored).arg(unstored)});
    const std::optional<QStringList> &first = session.firstKnown();
    if (!first)
        return section;
    for (const maps::CellDifference &d : maps::mapDifferences(*first, session.ecu())) {
        section.grid->changed[size_t(d.cell)] = true;
        section.table.rows.push_back({cellTitle(d.cell), QString::number(d.cell / 16 + 1),
                                      maps::speedCaption(d.cell % 16), QStringLiteral("%1 → %2").arg(d.ecu, d.file)});
    }
    if (section.table.rows.empty()) {
        section.note = t(ofFile ? Text::ReportNoChangesFile : Text::ReportNoChanges);
        return section;
    }
    section.note = t(ofFile ? Text::ReportChangesFile : Text::ReportChanges).arg(section.table.rows.size());
    section.table.headers = {t(Text::CompareCell), t(Text::CompareRow), t(Text::CompareSpeed),
                             t(Text::ReportBeforeAfter)};
    return section;
}

QString rangeText(const monitor::LogData &log, monitor::LogField field)
{
    std::optional<double> low, high;
    for (const monitor::LogRecord &r : log.records) {
        if (const std::optional<double> v = r.number(field)) {
            low = std::min(low.value_or(*v), *v);
            high = std::max(high.value_or(*v), *v);
        }
    }
    if (!low)
        return QStringLiteral("—");
    return QStringLiteral("%1–%2").arg(std::lround(*low)).arg(std::lround(*high));
}

ReportSection logSection(const LogFacts &facts, const ReportFacts &all, const Texts &t)
{
    ReportSection section;
    section.title = t(Text::ReportLog).arg(QFileInfo(facts.path).fileName());
    const monitor::LogData &log = facts.log;
    if (!log.error.isEmpty()) {
        section.note = log.error.text(t.language());
        return section;
    }
    const int records = int(log.records.size());
    const int seconds = int(std::lround(records / monitor::kRecordsPerSecond));
    section.rows = {{t(Text::ReportLogDuration), t(Text::ReportLogDurationValue).arg(seconds / 60).arg(seconds % 60).arg(records)},
                    {t(Text::ReportLogSpeed), rangeText(log, monitor::LogField::Rpm)},
                    {t(Text::ReportLogLoad), rangeText(log, monitor::LogField::Map)}};
    const monitor::SensorKind sensor = monitor::guessSensor(log);
    if (sensor == monitor::SensorKind::NarrowBand) {
        section.note = t(Text::ReportLogNarrowBand);
        return section;
    }
    monitor::AnalysisFilters filters;
    filters.lambdaDelayMs = all.analysis.lambdaDelayMs;
    monitor::SuggestionSettings settings;
    settings.locked = all.analysis.locked;
    const monitor::Analysis analysis = monitor::analyseLog(log, sensor, filters, facts.track, settings);
    // Lean or rich as the analysis's cells colour them: from 1 % off the
    // target, in whole tenths of the ratio.
    for (int cell = 0; cell < monitor::kCellCount; ++cell) {
        const monitor::CellStats &c = analysis.cells[size_t(cell)];
        if (c.hits < filters.minRecords || c.locked)
            continue;
        const int afr = int(std::lround(c.meanAfr * 10));
        const int step = monitor::changeStep(settings.targetAfrTenths, afr);
        if (step == 0)
            continue;
        const double off = (afr - settings.targetAfrTenths) * 100.0 / settings.targetAfrTenths;
        section.table.rows.push_back({t(step > 0 ? Text::ReportLean : Text::ReportRich), cellTitle(cell),
                                      QString::number(cell / 16 + 1), maps::speedCaption(cell % 16),
                                      QString::number(c.hits), link::numberLocale().toString(afr / 10.0, 'f', 1),
                                      QStringLiteral("%1%2 %").arg(off > 0 ? QStringLiteral("+") : QString(),
                                                                   link::numberLocale().toString(off, 'f', 1))});
    }
    const QString target = link::numberLocale().toString(settings.targetAfrTenths / 10.0, 'f', 1);
    if (section.table.rows.empty()) {
        section.note = t(Text::ReportLogNoneOff).arg(target);
        return section;
    }
    section.note = t(Text::ReportLogOff).arg(target).arg(filters.minRecords);
    section.table.headers = {QString(), t(Text::CompareCell), t(Text::CompareRow), t(Text::CompareSpeed),
                             t(Text::ReportLogRecords), t(Text::ReportLogAfr), t(Text::ReportLogDeviation)};
    return section;
}

} // namespace

ServiceReport makeServiceReport(const ReportFacts &facts)
{
    const Texts t(facts.language);
    ServiceReport report;
    report.title = t(facts.ecu ? Text::ReportTitle : Text::ReportFileTitle);
    report.made = t(Text::ReportMade).arg(facts.made.toString(QStringLiteral("dd.MM.yyyy HH:mm")));
    report.sections.push_back(workshopSection(facts, t));
    report.sections.push_back(carSection(facts, t));
    if (facts.ecu) {
        report.sections.push_back(ecuSection(*facts.ecu, t));
        report.sections.push_back(calibrationSection(*facts.ecu, t));
    }
    for (const MapFacts &map : facts.maps)
        report.sections.push_back(mapSection(map, facts, t));
    for (const LogFacts &log : facts.logs)
        report.sections.push_back(logSection(log, facts, t));
    return report;
}

LogFacts readLogFacts(const QString &path)
{
    LogFacts facts;
    facts.path = path;
    facts.log = monitor::readLogFile(path);
    facts.track = monitor::readLogMapTrackFile(monitor::logMapTrackPath(path)).track;
    return facts;
}

} // namespace tarvex::service
