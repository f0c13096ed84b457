#include "monitor/LogMapTrack.h"
#include "tests/support/QtPrinters.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

using namespace tarvex::monitor;

namespace {

FuelMap flat(int value)
{
    FuelMap m;
    m.fill(value);
    return m;
}

QByteArray startLine(int value)
{
    QByteArray line = "start";
    for (int i = 0; i < kTrackCells; ++i)
        line += ' ' + QByteArray::number(value);
    return line;
}

TEST(LogMapTrack, TheWindowsWritesAreReadBackRecordByRecord)
{
    QTemporaryDir dir;
    const QString path = logMapTrackPath(dir.filePath(QStringLiteral("07-12-26_14-05-09.log")));
    EXPECT_TRUE(path.endsWith(QLatin1String("/07-12-26_14-05-09.fuel")));
    LogMapTrackWriter writer;
    ASSERT_EQ(writer.begin(path, flat(100)), QString());
    for (int i = 0; i < 3; ++i)
        writer.recordStarts();
    EXPECT_EQ(writer.change(66, 105), QString());
    EXPECT_EQ(writer.change(66, 105), QString()); // held already: no line
    writer.recordStarts();
    QStringList cells(kTrackCells, QStringLiteral("100"));
    cells[66] = QStringLiteral("105");
    cells[10] = QStringLiteral("90");
    cells[11] = QStringLiteral("x"); // not a number: left alone
    EXPECT_EQ(writer.follow(cells), QString());
    writer.close();

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    ASSERT_EQ(lines.size(), 5);
    EXPECT_EQ(lines[0], "tarvex fuel track 1");
    EXPECT_EQ(lines[1], startLine(100));
    EXPECT_EQ(lines[2], "change 4 67 105") << "record and cell as the plots and the ECU number them";
    EXPECT_EQ(lines[3], "change 5 11 90");

    const LogMapTrackRead read = readLogMapTrackFile(path);
    ASSERT_TRUE(read.track) << qPrintable(read.error);
    EXPECT_EQ(read.track->mapAt(2)[66], 100);
    EXPECT_EQ(read.track->mapAt(3)[66], 105);
    EXPECT_EQ(read.track->mapAt(3)[10], 100);
    EXPECT_EQ(read.track->endMap()[66], 105);
    EXPECT_EQ(read.track->endMap()[10], 90);
    EXPECT_EQ(read.track->endMap()[11], 100);
    EXPECT_EQ(read.track->text(), lines.join('\n'));
}

TEST(LogMapTrack, TheReaderKeepsGoodChangesAndRefusesOtherFiles)
{
    const QByteArray head = "tarvex fuel track 1\n" + startLine(100) + "\n";
    const struct {
        QByteArray content;
        bool track;
        int badLines, firstBadLine, end66;
    } rows[] = {
        {head, true, 0, 0, 100},
        {head + "change 9 67 120\r\nchange 3 67 110\n", true, 0, 0, 120},          // kept in record order
        {head + "change 3 67 110\n" + QByteArray(40, '\0') + "\nchange 1 257 5\nchange 2 67 1000\n", true, 3, 4, 110},
        {head + "change 0 67 110\nchange 3 67\n\nchange 4 67 111 2\n", true, 3, 3, 100},
        {"12\n12\n", false, 0, 0, 0},                                             // a map file
        {"tarvex fuel track 1\nstart 1 2 3\n", false, 0, 0, 0},
        {QByteArray(), false, 0, 0, 0},
    };
    for (const auto &row : rows) {
        const LogMapTrackRead read = readLogMapTrack(row.content);
        SCOPED_TRACE(row.content.left(60).toStdString());
        EXPECT_EQ(bool(read.track), row.track);
        EXPECT_EQ(read.error.isEmpty(), row.track);
        EXPECT_EQ(read.badLines, row.badLines);
        EXPECT_EQ(read.firstBadLine, row.firstBadLine);
        if (read.track)
            EXPECT_EQ(read.track->endMap()[66], row.end66);
    }
    const LogMapTrackRead missing = readLogMapTrackFile(QStringLiteral("/nonexistent/x.fuel"));
    EXPECT_FALSE(missing.track);
    EXPECT_TRUE(missing.error.isEmpty()) << "an older log has none";
}

TEST(LogMapTrack, OnlyAWholeMapOfValuesIsAMap)
{
    EXPECT_TRUE(fuelMapValues(QStringList(256, QStringLiteral("999"))));
    EXPECT_FALSE(fuelMapValues(QStringList(255, QStringLiteral("1"))));
    EXPECT_FALSE(fuelMapValues(QStringList(256, QString()))) << "a window that never read the map";
    EXPECT_FALSE(fuelMapValues(QStringList(256, QStringLiteral("1000"))));
}

} // namespace
