// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/LogReader.h"
#include "link/Protocol.h"
#include "monitor/LiveData.h"

#include <QFile>
#include <algorithm>
#include <cmath>

namespace tarvex::monitor {

namespace {
const char *const kKeywords[kLogFieldCount] = {"RPM",  "Volt",    "Temp",     "TPS",        "MAP",     "Lambda",
                                               "IAT",  "POS",     "DWELL",    "BaseIgn",    "CLTcorr", "VoltCorr",
                                               "LambdaCorr", "Ms", "BaseAir", "CurrAir", "Idle", "AC", "Decel",
                                               "Tune", "Fuel"};

int fieldOf(const QByteArray &word)
{
    for (int i = 0; i < kLogFieldCount; ++i)
        if (word == kKeywords[i])
            return i;
    return -1;
}
} // namespace

QString logKeyword(LogField field)
{
    return QString::fromLatin1(kKeywords[int(field)]);
}

std::optional<double> LogRecord::number(LogField f) const
{
    const auto &v = values[size_t(f)];
    if (!v || v->isEmpty())
        return std::nullopt;
    // Plain digits, as the ECU sends them, without the text conversion.
    if (v->size() <= 9) {
        const bool minus = v->front() == '-';
        int n = 0;
        bool digits = v->size() > (minus ? 1 : 0);
        for (qsizetype i = minus ? 1 : 0; digits && i < v->size(); ++i) {
            digits = v->at(i) >= '0' && v->at(i) <= '9';
            n = n * 10 + (v->at(i) - '0');
        }
        if (digits)
            return double(minus ? -n : n);
    }
    if (const std::optional<int> n = link::tryStrToInt(QString::fromLatin1(*v)))
        return double(*n);
    return std::nullopt;
}

LogData readLog(const QByteArray &content)
{
    LogData log;
    if (content.isEmpty()) {
        log.error = ReaderMessage(lang::Text::LogReadEmpty, {});
        return log;
    }
    QList<QByteArray> lines = content.split('\n');
    for (QByteArray &line : lines)
        if (line.endsWith('\r'))
            line.chop(1);
    if (lines.last().isEmpty())
        lines.removeLast();
    log.version = lines.value(0);
    LogRecord *current = nullptr;
    std::vector<std::pair<int, QByteArray>> items;
    for (int i = 1; i < lines.size(); ++i) {
        // A power cut leaves a line of NUL bytes: a line with a control
        // byte, or one that does not start with a keyword, is skipped whole.
        const QByteArray &line = lines[i];
        bool bad = std::any_of(line.begin(), line.end(), [](char c) { return uchar(c) < 0x20 && c != '\t'; });
        items.clear();
        // Blanks only separate: a keyword right after a keyword has an empty value.
        for (const QByteArray &word : line.split(' ')) {
            if (bad)
                break;
            if (word.isEmpty())
                continue;
            const int keyword = fieldOf(word);
            if (keyword >= 0)
                items.emplace_back(keyword, QByteArray());
            else if (items.empty())
                bad = true;
            else
                items.back().second += items.back().second.isEmpty() ? word : " " + word;
        }
        if (bad) {
            if (log.badLines++ == 0)
                log.firstBadLine = i + 1;
            continue;
        }
        if (items.empty())
            continue;
        // Every line but the Fuel line of a pair starts a record.
        if (items.front().first != int(LogField::Fuel) || !current) {
            log.records.emplace_back();
            current = &log.records.back();
        }
        for (auto &[field, value] : items)
            current->values[size_t(field)] = std::move(value);
    }
    if (log.records.empty() && log.badLines > 0)
        log.error = ReaderMessage(lang::Text::LogReadBadLine, {QString::number(log.firstBadLine)});
    return log;
}

LogData readLogFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        LogData log;
        log.error = ReaderMessage::cannotOpen(path, file.errorString());
        return log;
    }
    return readLog(file.readAll());
}

std::optional<double> coolantCelsius(const LogRecord &r)
{
    if (const auto raw = r.number(LogField::Temp))
        return double(link::celsiusFromRaw(int(*raw)));
    return std::nullopt;
}

std::optional<double> injectionMs(const LogRecord &r)
{
    if (const auto raw = r.number(LogField::Ms))
        return *raw * 0.016;
    return std::nullopt;
}

std::optional<double> voltageVolts(const LogRecord &r)
{
    if (const auto raw = r.number(LogField::Volt))
        return voltsFromRaw(int(*raw));
    return std::nullopt;
}

std::optional<double> advanceDegrees(const LogRecord &r)
{
    if (const auto raw = r.number(LogField::Dwell))
        return -*raw;
    return std::nullopt;
}

QByteArray logCsv(const LogData &log)
{
    QByteArray out = "record";
    for (int f = 0; f < kLogFieldCount; ++f)
        out += ',' + QByteArray(kKeywords[f]);
    out += ",coolant_C,voltage_V,injection_ms,advance_deg\n";
    auto number = [](const std::optional<double> &v, int decimals) {
        return v ? QByteArray::number(*v, 'f', decimals) : QByteArray();
    };
    for (size_t i = 0; i < log.records.size(); ++i) {
        const LogRecord &r = log.records[i];
        out += QByteArray::number(qulonglong(i + 1));
        for (int f = 0; f < kLogFieldCount; ++f)
            out += ',' + r.values[size_t(f)].value_or(QByteArray());
        out += ',' + number(coolantCelsius(r), 0) + ',' + number(voltageVolts(r), 2) + ','
            + number(injectionMs(r), 2) + ',' + number(advanceDegrees(r), 0) + '\n';
    }
    return out;
}

} // namespace tarvex::monitor
