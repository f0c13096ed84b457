#include "monitor/LogMapTrack.h"
#include "tests/support/QtPrinters.h"

#include <gtest/gtest.h>

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

} // namespace
