// SPDX-License-Identifier: GPL-3.0-or-later
#include "maps/CellColors.h"
#include "maps/MapReply.h"
#include "tests/support/QtPrinters.h"

#include <gtest/gtest.h>

using namespace tarvex::maps;

namespace {

QByteArray values(int count, const QByteArray &value)
{
    QByteArray out;
    for (int i = 0; i < count; ++i)
        out += value + ',';
    return out;
}

TEST(MapReply, IgnoresRepliesOfUpTo200Characters)
{
    EXPECT_FALSE(parseMapReply(QByteArray()).has_value());
    EXPECT_FALSE(parseMapReply("[" + QByteArray(199, '1')).has_value());
    const QByteArray exactly201 = "[" + values(50, "12") + QByteArray(50, ' ');
    ASSERT_EQ(exactly201.size(), 201);
    const auto cells = parseMapReply(exactly201);
    ASSERT_TRUE(cells.has_value());
    EXPECT_EQ(cells->at(49), QStringLiteral("12"));
    EXPECT_EQ(cells->at(50), QString()) << "cells after the last comma are empty";
    EXPECT_EQ(cells->at(255), QString());
}

TEST(MapReply, SkipsThePreambleAndFillsRowByRow)
{
    const auto cells = parseMapReply("junk before [" + values(256, "12") + "tail, ignored,");
    ASSERT_TRUE(cells.has_value());
    ASSERT_EQ(cells->size(), 256);
    for (const QString &cell : *cells)
        EXPECT_EQ(cell, QStringLiteral("12"));
}

TEST(MapReply, KeepsValuesAsTextAndShortensLongOnes)
{
    QByteArray reply = "[1234,123,007,,5," + values(250, "9") + "8]";
    const auto cells = parseMapReply(reply);
    ASSERT_TRUE(cells.has_value());
    EXPECT_EQ(cells->at(0), QStringLiteral("00"));
    EXPECT_EQ(cells->at(1), QStringLiteral("123"));
    EXPECT_EQ(cells->at(2), QStringLiteral("007"));
    EXPECT_EQ(cells->at(3), QString());
    EXPECT_EQ(cells->at(4), QStringLiteral("5"));
    EXPECT_EQ(cells->at(254), QStringLiteral("9"));
    EXPECT_EQ(cells->at(255), QString()) << "a closing bracket instead of the 256th comma";
}

TEST(MapReply, WithoutABracketTheWholeTextCounts)
{
    const auto cells = parseMapReply(values(256, "3"));
    ASSERT_TRUE(cells.has_value());
    EXPECT_EQ(cells->at(0), QStringLiteral("3"));
    EXPECT_EQ(cells->at(255), QStringLiteral("3"));
}

TEST(MapCells, NumbersAndTypedKeys)
{
    EXPECT_EQ(cellNumber(0, 0), 1);
    EXPECT_EQ(cellNumber(3, 2), 36);
    EXPECT_EQ(cellNumber(15, 15), 256);
    for (char c : QByteArray("0123456789\b\r"))
        EXPECT_TRUE(isMapCellKey(QLatin1Char(c))) << int(c);
    for (char c : QByteArray("a -+.,x"))
        EXPECT_FALSE(isMapCellKey(QLatin1Char(c))) << c;
}

struct BandCase {
    int value;
    std::optional<int> band;
    friend void PrintTo(const BandCase &c, std::ostream *os)
    {
        *os << c.value << " -> ";
        if (c.band)
            *os << "band " << *c.band;
        else
            *os << "no band";
    }
};

class FuelBands : public ::testing::TestWithParam<BandCase> {};

TEST_P(FuelBands, FollowTheValueRanges)
{
    EXPECT_EQ(fuelBand(GetParam().value), GetParam().band) << GetParam().value;
}

INSTANTIATE_TEST_SUITE_P(Boundaries, FuelBands,
                         ::testing::Values(BandCase{-5, std::nullopt}, BandCase{0, std::nullopt}, BandCase{1, 1},
                                           BandCase{19, 1}, BandCase{20, 2}, BandCase{39, 2}, BandCase{40, 3},
                                           BandCase{219, 11}, BandCase{220, 12}, BandCase{399, 20},
                                           BandCase{400, 21}, BandCase{599, 21}, BandCase{600, 1},
                                           BandCase{999, 1}));

TEST(IgnitionPalette, GreysYellowsAndGreensThenWhite)
{
    EXPECT_EQ(ignitionColor(0), 16777215);
    EXPECT_EQ(ignitionColor(1), 13684944);
    EXPECT_EQ(ignitionColor(9), 16777104);
    EXPECT_EQ(ignitionColor(19), 6343884);
    EXPECT_EQ(ignitionColor(20), 4237994);
    EXPECT_EQ(ignitionColor(21), 4237994);
    EXPECT_EQ(ignitionColor(22), 3182736);
    EXPECT_EQ(ignitionColor(41), 39168);
    EXPECT_EQ(ignitionColor(49), 1101004);
    EXPECT_EQ(ignitionColor(50), 16777215);
    EXPECT_EQ(ignitionColor(120), 16777215);
    EXPECT_EQ(ignitionColor(-1), std::nullopt);
}

TEST(CellValue, EmptyAndWordsCountAsZero)
{
    EXPECT_EQ(paintValue(QStringLiteral("045")), 45);
    EXPECT_EQ(paintValue(QString()), 0);
    EXPECT_EQ(paintValue(QStringLiteral("1x")), 0);
    EXPECT_EQ(paintValue(QStringLiteral("-3")), -3);
}

} // namespace

#include "maps/MapFile.h"

#include <QFile>
#include <QTemporaryDir>

namespace {

TEST(MapFileChecks, HugeAndBinaryFilesAreRefusedUnread)
{
    QTemporaryDir dir;
    const QString huge = dir.filePath(QStringLiteral("huge.inj"));
    {
        QFile f(huge);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_TRUE(f.resize(100LL * 1024 * 1024));
    }
    MapFileRead read = readMapFile(huge, 1);
    EXPECT_TRUE(read.error.contains(QLatin1String("too large"))) << qPrintable(read.error);
    EXPECT_TRUE(read.cells.isEmpty());

    const QString binary = dir.filePath(QStringLiteral("binary.inj"));
    {
        QFile f(binary);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        for (int i = 0; i < 256; ++i)
            f.write(QByteArray("1\x00\xFF\r\n", 5));
    }
    read = readMapFile(binary, 0);
    EXPECT_TRUE(read.error.startsWith(QStringLiteral("Строка 1 "))) << qPrintable(read.error);
    EXPECT_FALSE(readMapFile(dir.filePath(QStringLiteral("none.inj")), 1).error.isEmpty());
}

} // namespace
