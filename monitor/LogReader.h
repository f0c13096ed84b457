// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "monitor/ReaderMessage.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <array>
#include <optional>
#include <vector>

namespace tarvex::monitor {

// The fields a log line carries, in the order the window writes them.
enum class LogField {
    Rpm, Volt, Temp, Tps, Map, Lambda, Iat, Pos, Dwell, BaseIgn, CltCorr, VoltCorr, LambdaCorr, Ms,
    BaseAir, CurrAir, Idle, Ac, Decel, Tune, Fuel, Count
};
constexpr int kLogFieldCount = int(LogField::Count);

// The keyword of a field without its blanks ("RPM", "Volt" …).
QString logKeyword(LogField field);

// One pair of live-data ticks: the sensor items, the state items up to
// Tune, and Fuel from the line after. A missing item is absent; an item
// written with an empty value is present and empty.
struct LogRecord {
    std::array<std::optional<QByteArray>, kLogFieldCount> values;
    const std::optional<QByteArray> &operator[](LogField f) const { return values[size_t(f)]; }
    // The value as a number; none when absent, empty or not a number.
    std::optional<double> number(LogField f) const;
};

struct LogData {
    QByteArray version; // line 1, the ECU's answer to "<Q>"
    std::vector<LogRecord> records;
    ReaderMessage error; // why the file is not a log; empty when it is
    int badLines = 0;   // lines skipped, neither records nor empty
    int firstBadLine = 0; // from 1, as an editor counts
};

// Reads a log as the window writes it, also one that is still being
// written (its last line without an end). Lines that are not records are
// skipped and counted; a file with no record and such lines is not a log.
LogData readLog(const QByteArray &content);
LogData readLogFile(const QString &path);

// Converted values for plots and tables.
std::optional<double> coolantCelsius(const LogRecord &r);   // (823 − C) ÷ 6.8, cut toward zero
std::optional<double> injectionMs(const LogRecord &r);      // Ms × 0.016
std::optional<double> voltageVolts(const LogRecord &r);     // Volt ÷ 33.5
std::optional<double> advanceDegrees(const LogRecord &r);   // DWELL, shown with a minus sign

// A CSV of the records: a header, then one row per record with the raw
// values and the converted ones.
QByteArray logCsv(const LogData &log);

} // namespace tarvex::monitor
