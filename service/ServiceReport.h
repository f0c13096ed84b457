// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "maps/MapSession.h"
#include "maps/SettingsFile.h"
#include "monitor/LogAnalysis.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace tarvex::service {

// Kept in the user's settings once typed.
struct Workshop {
    QString name, address, phone;
};
// Typed by the fitter for each report.
struct CarDetails {
    QString registration, mileage, note;
};

// What the window holds of the connected ECU when the report is made.
struct EcuFacts {
    QByteArray versionReply;     // the reply to "<Q>", as read
    QByteArray firmware;         // the connect's firmware text
    QByteArray dateReply;        // "<Y>"
    QByteArray calibrationReply; // "<a>"
    QStringList calibrationNames; // the page's 13 row captions, top to bottom
    std::optional<int> faultCode; // the live data's last; none without live data
};

struct MapFacts {
    const maps::MapSession *session = nullptr;
    QString file; // the map file the session edits; empty for the ECU's map
};

struct LogFacts {
    QString path;
    monitor::LogData log;
    std::optional<monitor::LogMapTrack> track;
};

struct ReportFacts {
    int language = 0;
    QDateTime made;
    Workshop workshop;
    CarDetails car;
    std::optional<EcuFacts> ecu; // none for a report of a map file
    // The ECU gave no live data for a restart's length, or no reply to the
    // report's reads: the maps it holds cannot be vouched for.
    bool ecuSilent = false;
    std::vector<MapFacts> maps;
    maps::BandColors bands = maps::defaultBandColors();
    std::vector<LogFacts> logs;
    monitor::KeptAnalysis analysis; // the lambda delay and locked cells the fitter set
};

// A table: its headers and rows of text.
struct ReportTable {
    QStringList headers;
    std::vector<QStringList> rows;
};

// A map as printed: its 256 cells with their colours (0x00BBGGRR, as the
// window paints them) and the cells changed, outlined.
struct ReportGrid {
    QStringList cells;
    std::array<std::optional<int32_t>, 256> fill{};
    std::array<bool, 256> changed{};
    int32_t text = 0; // the colour of the cells' text
};

// One part of the report: a heading, lines of label and value, then a map
// and a table where it has them.
struct ReportSection {
    QString title;
    std::vector<std::pair<QString, QString>> rows;
    std::optional<ReportGrid> grid;
    ReportTable table;
    QString note; // a sentence under the rest
};

// The report as it is printed, every text in the report's language. A map
// the window does not know is named as such, never printed.
struct ServiceReport {
    QString title;
    QString made;
    std::vector<ReportSection> sections;
};

ServiceReport makeServiceReport(const ReportFacts &facts);

// A log and the fuel map beside it, as written during this connection.
LogFacts readLogFacts(const QString &path);

} // namespace tarvex::service
