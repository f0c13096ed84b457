// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/LogAnalysis.h"
#include "monitor/LogMapTrack.h"
#include "tests/support/QtPrinters.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

using namespace tarvex::monitor;

namespace {

// The window's own lines are checked with its log; here, what else a file
// may hold.
TEST(LogMapTrack, TheReaderKeepsGoodChangesAndRefusesOtherFiles)
{
    const QByteArray head = "tarvex fuel track 1\nstart" + QByteArray(" 100").repeated(256) + "\n";
    const struct {
        QByteArray content;
        bool track;
        int badLines, firstBadLine, at5, atEnd; // cell 67 in record 5 and at the end
    } rows[] = {
        {head + "change 9 67 120\r\nchange 3 67 110\n", true, 0, 0, 110, 120}, // kept in record order
        {head + "change 7 67 110\n" + QByteArray(40, '\0') + "\nchange 1 257 5\nchange 2 67 1000\n", true, 3, 4, 100, 110},
        {head + "change 0 67 110\nchange 3 67\n\nchange 4 67 111 2\n", true, 3, 3, 100, 100},
        {"12\n12\n", false, 0, 0, 0, 0}, // a map file
        {"tarvex fuel track 1\nstart 1 2 3\n", false, 0, 0, 0, 0},
    };
    for (const auto &row : rows) {
        const LogMapTrackRead read = readLogMapTrack(row.content);
        SCOPED_TRACE(row.content.right(40).toStdString());
        EXPECT_EQ(bool(read.track), row.track);
        EXPECT_EQ(read.error.isEmpty(), row.track);
        EXPECT_EQ(std::pair(read.badLines, read.firstBadLine), std::pair(row.badLines, row.firstBadLine));
        EXPECT_EQ(read.track ? std::pair(read.track->mapAt(4)[66], read.track->endMap()[66]) : std::pair(0, 0),
                  std::pair(row.at5, row.atEnd));
    }
    EXPECT_TRUE(readLogMapTrackFile(QStringLiteral("/nonexistent/x.fuel")).error.isEmpty()) << "an older log has none";
}

// Records taken while the window did not know the fuel map (before it was
// first known, after a restart until the maps were compared) have no map:
// counted as such, never against a value.
TEST(LogMapTrack, RecordsWithoutAKnownMapAreCountedAsHavingNone)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("drive.fuel"));
    LogMapTrackWriter writer;
    writer.newLog();
    FuelMap map;
    map.fill(100);
    // Records 0 and 1 without a map, 2 to 4 with it, 5 and 6 not known
    // (cell 67 changed meanwhile), 7 on known again.
    for (int record = 0; record < 9; ++record) {
        QString error;
        if (record == 2)
            error = writer.begin(path, map);
        else if (record == 5 || record == 6)
            error = writer.unknown();
        else if (record >= 7) {
            QStringList cells(256, QStringLiteral("100"));
            cells[66] = QStringLiteral("120");
            error = writer.follow(cells);
        }
        ASSERT_TRUE(error.isEmpty()) << record;
        writer.recordStarts();
    }
    writer.close();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const LogMapTrackRead read = readLogMapTrack(file.readAll());
    ASSERT_TRUE(read.track);
    EXPECT_EQ(read.badLines, 0);
    std::string known;
    for (int record = 0; record < 9; ++record)
        known += read.track->hasMapAt(record) ? '+' : '.';
    EXPECT_EQ(known, "..+++..++");
    EXPECT_EQ(read.track->mapAt(7)[66], 120);
    EXPECT_EQ(readLogMapTrack(read.track->text()).track->text(), read.track->text()) << "written as read";

    // Nine warm records at cell 67 with a good reading: the four without a
    // map are named, the others counted.
    const QByteArray record = "RPM 2000 Volt 470 Temp 211 TPS 40 MAP 100 Lambda 500 IAT 520 POS 67 DWELL 15 BaseIgn 1 "
                              "CLTcorr 1 VoltCorr 1 LambdaCorr 1 Ms 200 BaseAir 1 CurrAir 1 Idle 0 AC 0 Decel 0 "
                              "Tune 0\r\n Fuel 1\r\n";
    const LogData log = readLog("[FW 5.2]\r\n" + record.repeated(9));
    ASSERT_EQ(log.records.size(), 9u);
    const Analysis a = analyseLog(log, SensorKind::WideBand, AnalysisFilters{}, read.track, SuggestionSettings{});
    EXPECT_EQ(a.noMapRecords, 4);
    EXPECT_EQ(a.recordsUsed, 5);
}

} // namespace
