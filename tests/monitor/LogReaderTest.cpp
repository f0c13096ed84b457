// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/LogFile.h"
#include "monitor/LogMapTrack.h"
#include "monitor/LogReader.h"
#include "tests/support/QtPrinters.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

using namespace tarvex::monitor;

namespace {

// A log as the window writes it, through its own log code.
QByteArray writtenLog(const std::function<void(LogFile &)> &ticks)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("x.log"));
    LogFile log;
    EXPECT_TRUE(log.open(path).isEmpty());
    log.append("[FW 5.2]", true);
    ticks(log);
    log.close();
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

void sensorTick(LogFile &log, const char *rpm)
{
    for (auto [k, v] : {std::pair{"RPM ", rpm}, {" Volt ", "470"}, {" Temp ", "500"}, {" TPS ", "35"},
                        {" MAP ", "200"}, {" Lambda ", "100"}, {" IAT ", "520"}})
        log.append(QByteArray(k) + v);
}

void stateTick(LogFile &log, const char *pos, const char *dwell)
{
    if (pos)
        log.append(QByteArray(" POS ") + pos);
    for (auto [k, v] : {std::pair{" DWELL ", dwell}, {" BaseIgn ", "120"}, {" CLTcorr ", "100"}, {" VoltCorr ", "101"},
                        {" LambdaCorr ", "99"}, {" Ms ", "250"}, {" BaseAir ", "40"}, {" CurrAir ", "42"},
                        {" Idle ", "1"}, {" AC ", "0"}, {" Decel ", "0"}})
        log.append(QByteArray(k) + v);
    log.append(" Tune 0", true);
    log.append(" Fuel 1", true);
}

TEST(LogReader, ReadsPairsOfTicksAsTheWindowWritesThem)
{
    const QByteArray content = writtenLog([](LogFile &log) {
        sensorTick(log, "850");
        stateTick(log, "35", "15");
        stateTick(log, nullptr, ""); // a failed sensor tick, an empty value
        sensorTick(log, "900");      // the file ends inside a pair
    });
    const LogData data = readLog(content);
    ASSERT_TRUE(data.error.isEmpty()) << qPrintable(data.error.text(1));
    EXPECT_EQ(data.version, QByteArray("[FW 5.2]"));
    ASSERT_EQ(data.records.size(), 3u);
    const LogRecord &first = data.records[0];
    EXPECT_EQ(first[LogField::Rpm], QByteArray("850"));
    EXPECT_EQ(first[LogField::Pos], QByteArray("35"));
    EXPECT_EQ(first[LogField::Fuel], QByteArray("1"));
    EXPECT_EQ(coolantCelsius(first), 47.0);
    EXPECT_DOUBLE_EQ(*injectionMs(first), 4.0);
    EXPECT_EQ(advanceDegrees(first), -15.0);
    const LogRecord &second = data.records[1];
    EXPECT_FALSE(second[LogField::Rpm].has_value());
    EXPECT_EQ(second[LogField::Dwell], QByteArray());
    EXPECT_FALSE(second.number(LogField::Dwell).has_value());
    EXPECT_EQ(second[LogField::Fuel], QByteArray("1"));
    EXPECT_EQ(data.records[2][LogField::Rpm], QByteArray("900"));
    EXPECT_FALSE(data.records[2][LogField::Tune].has_value());
}

TEST(LogReader, TheCsvHoldsRawAndConvertedValues)
{
    const QByteArray content = writtenLog([](LogFile &log) {
        sensorTick(log, "850");
        stateTick(log, "35", "15");
    });
    EXPECT_EQ(logCsv(readLog(content)),
              QByteArray("record,RPM,Volt,Temp,TPS,MAP,Lambda,IAT,POS,DWELL,BaseIgn,CLTcorr,VoltCorr,LambdaCorr,Ms,"
                         "BaseAir,CurrAir,Idle,AC,Decel,Tune,Fuel,coolant_C,voltage_V,injection_ms,advance_deg\n"
                         "1,850,470,500,35,200,100,520,35,15,120,100,101,99,250,40,42,1,0,0,0,1,47,14.03,4.00,-15\n"));
}

TEST(LogReader, OtherFilesAreNotLogs)
{
    EXPECT_FALSE(readLog(QByteArray()).error.isEmpty());
    const LogData map = readLog("12\r\n12\r\n12\r\n");
    EXPECT_EQ(map.error.text(1), QStringLiteral("Line 2 is not a record of a Tarvex log."));
    EXPECT_TRUE(map.records.empty());
    EXPECT_TRUE(readLog("[FW]\r\n").records.empty());
    EXPECT_TRUE(readLog("[FW]\r\n").error.isEmpty()) << "a log of its version line only";
    EXPECT_FALSE(readLogFile(QStringLiteral("/nonexistent/x.log")).error.isEmpty());
}

// The readers' messages in both languages, each whole in one: no English
// inside a Russian sentence.
TEST(LogReader, TheReadersSayWhyInEitherLanguage)
{
    QTemporaryDir dir;
    const QString missing = dir.filePath(QStringLiteral("x.log"));
    const struct {
        ReaderMessage error;
        const char *russian;
        const char *english;
    } rows[] = {
        {readLog(QByteArray()).error, "Файл пуст: это не запись Tarvex.", "The file is empty: it is not a log of Tarvex."},
        {readLog("12\r\n12\r\n").error, "Строка 2 — не запись лога Tarvex.", "Line 2 is not a record of a Tarvex log."},
        {readLogFile(missing).error, "Не удалось открыть %1: такого файла нет.", "Cannot open %1: there is no such file."},
        {readLogFile(dir.path()).error, "Не удалось открыть %2: это папка.", "Cannot open %2: it is a folder."},
        {readLogMapTrack("12\n12\n").error, "Это не топливная карта лога Tarvex.", "It is not the fuel map of a Tarvex log."},
        {readLogMapTrack("tarvex fuel track 1\nstart 1 2\n").error, "Строка 2 не содержит 256 ячеек топливной карты.",
         "Line 2 does not hold the 256 cells of the fuel map."},
        {readLogMapTrackFile(dir.path()).error, "Не удалось открыть %2: это папка.", "Cannot open %2: it is a folder."},
    };
    for (const auto &row : rows) {
        auto expected = [&](const char *text) { return QString::fromUtf8(text).replace("%1", missing).replace("%2", dir.path()); };
        EXPECT_EQ(row.error.text(0), expected(row.russian));
        EXPECT_EQ(row.error.text(1), expected(row.english));
    }
}

} // namespace
