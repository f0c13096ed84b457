#include "monitor/LogReader.h"
#include "link/Protocol.h"
#include "monitor/LiveData.h"

#include <QFile>
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
    if (const std::optional<int> n = link::tryStrToInt(QString::fromLatin1(*v)))
        return double(*n);
    return std::nullopt;
}

LogData readLog(const QByteArray &content)
{
    LogData log;
    if (content.isEmpty()) {
        log.error = QStringLiteral("The file is empty: it is not a log of Tarvex.");
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
    for (int i = 1; i < lines.size(); ++i) {
        int field = -1;
        // Blanks only separate: a keyword right after a keyword has an empty value.
        for (const QByteArray &word : lines[i].split(' ')) {
            if (word.isEmpty())
                continue;
            const int keyword = fieldOf(word);
            if (keyword < 0 && field < 0) {
                log.error = QStringLiteral("Line %1 is not a record of a Tarvex log.").arg(i + 1);
                log.records.clear();
                return log;
            }
            if (keyword < 0) {
                QByteArray &value = *current->values[size_t(field)];
                value += value.isEmpty() ? word : " " + word;
                continue;
            }
            // Every line but the Fuel line of a pair starts a record.
            if (field < 0 && (keyword != int(LogField::Fuel) || !current)) {
                log.records.emplace_back();
                current = &log.records.back();
            }
            field = keyword;
            current->values[size_t(field)] = QByteArray();
        }
    }
    return log;
}

LogData readLogFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        LogData log;
        log.error = QStringLiteral("Cannot open %1: %2").arg(path, file.errorString());
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
