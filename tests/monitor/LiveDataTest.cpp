// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/GaugeGeometry.h"
#include "monitor/LiveData.h"
#include "monitor/LiveSilence.h"
#include "monitor/LogFile.h"
#include "tests/support/QtPrinters.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

using namespace tarvex;
using namespace tarvex::monitor;

namespace {

struct FieldCase {
    const char *reply;
    char tag;
    const char *value;
    friend void PrintTo(const FieldCase &c, std::ostream *os)
    {
        *os << c.tag << " in ";
        PrintBytes(c.reply, os);
    }
};

class TaggedField : public ::testing::TestWithParam<FieldCase> {};

TEST_P(TaggedField, FollowsTheFirstOpeningAndClosingLetters)
{
    EXPECT_EQ(link::taggedField(GetParam().reply, GetParam().tag), QByteArray(GetParam().value));
}

INSTANTIATE_TEST_SUITE_P(
    Rule, TaggedField,
    ::testing::Values(FieldCase{"[A850aB412b]", 'A', "850"}, FieldCase{"[A850aB412b]", 'B', "412"},
                      FieldCase{"[Y24yD1dM2m]", 'D', "1"}, FieldCase{"D12d", 'D', "12"},
                      FieldCase{"[Aa]", 'A', ""}, FieldCase{"[aA5]", 'A', ""}, FieldCase{"[A5]", 'A', ""},
                      // No opening letter: the text from the start up to the closing one.
                      FieldCase{"[5a]", 'A', "[5"}, FieldCase{"xyz", 'A', ""},
                      // First occurrences count, wherever they stand.
                      FieldCase{"[B1bA2aB3b]", 'B', "1"}, FieldCase{"[A1Ab2a]", 'A', "1Ab2"}));

TEST(LiveValues, TemperatureVoltageAndInjectionTime)
{
    EXPECT_EQ(link::celsiusText(500), QStringLiteral("47°C"));
    EXPECT_EQ(link::celsiusText(1023), QStringLiteral("-29°C"));
    EXPECT_EQ(link::celsiusText(0), QStringLiteral("121°C"));
    EXPECT_EQ(link::celsiusText(900), QStringLiteral("-11°C"));
    const QLocale c(QLocale::C);
    const QLocale russian(QLocale::Russian, QLocale::Russia);
    EXPECT_EQ(voltageText(470, c), QStringLiteral("14.0 V"));
    EXPECT_EQ(voltageText(470, russian), QStringLiteral("14,0 V"));
    EXPECT_NEAR(voltsFromRaw(470), 14.03, 0.005);
    EXPECT_EQ(injectionTimeText(250, c), QStringLiteral("4.00 Ms"));
    EXPECT_EQ(injectionTimeText(0, russian), QStringLiteral("0,00 Ms"));
    EXPECT_EQ(link::fieldNumber("12x"), 0);
    EXPECT_EQ(link::fieldNumber("-7"), -7);
    EXPECT_DOUBLE_EQ(link::fieldReal(""), 0.0);
}

TEST(LiveValues, LambdaColoursFollowTheSensorKind)
{
    const QColor red(255, 0, 0), green(0, 128, 0), blue(0, 0, 255);
    const QLocale c(QLocale::C);
    LambdaDisplay wide = lambdaDisplay("500", true, c);
    EXPECT_EQ(wide.caption, QStringLiteral("14.7"));
    EXPECT_EQ(wide.face, green);
    EXPECT_EQ(wide.indMaximum, 1023);
    EXPECT_EQ(wide.scale, 1023);
    EXPECT_EQ(lambdaDisplay("479", true, c).face, red);
    EXPECT_EQ(lambdaDisplay("480", true, c).face, green);
    EXPECT_EQ(lambdaDisplay("520", true, c).face, green);
    EXPECT_EQ(lambdaDisplay("521", true, c).face, blue);
    const LambdaDisplay narrow = lambdaDisplay("080", false, c);
    EXPECT_EQ(narrow.face, green);
    EXPECT_EQ(narrow.caption, QStringLiteral("080"));
    EXPECT_EQ(narrow.indMaximum, 220);
    EXPECT_EQ(narrow.scale, 250);
    EXPECT_EQ(lambdaDisplay("120", false, c).face, green);
    EXPECT_EQ(lambdaDisplay("79", false, c).face, blue);
    EXPECT_EQ(lambdaDisplay("121", false, c).face, red);
}

TEST(LiveValues, WorkingPointNamesRowAndColumn)
{
    const struct {
        int value;
        const char *hex;
        int row, column;
    } cases[] = {{35, "22", 2, 2}, {1, "00", 0, 0}, {0, "00", 0, 0}, {255, "FE", 15, 14},
                 {256, "FF", 15, 15}, {257, "101", 16, 1}};
    for (const auto &c : cases) {
        const WorkingPoint w = workingPoint(c.value);
        EXPECT_EQ(w.hex, QLatin1String(c.hex)) << c.value;
        EXPECT_EQ(w.row, c.row) << c.value;
        EXPECT_EQ(w.column, c.column) << c.value;
    }
    EXPECT_LT(workingPoint(-5).cell, 0);
}

TEST(LiveValues, WordsByLanguage)
{
    EXPECT_EQ(yesNoText("1", 0), QStringLiteral("Да"));
    EXPECT_EQ(yesNoText("0", 1), QStringLiteral("No"));
    EXPECT_EQ(yesNoText("2", 0), std::nullopt);
    EXPECT_EQ(yesNoText("", 1), std::nullopt);
    EXPECT_EQ(yesNoText("1", -1), std::nullopt);
    EXPECT_EQ(autotuneText("1", 0), QStringLiteral("Автонастройка - Да"));
    EXPECT_EQ(autotuneText("0", 1), QStringLiteral("Autotune - No"));
    EXPECT_EQ(faultCodeText(0, 0), QStringLiteral("НЕТ"));
    EXPECT_EQ(faultCodeText(0, 1), QStringLiteral("No"));
    EXPECT_EQ(faultCodeText(0, -1), QStringLiteral("0"));
    EXPECT_EQ(faultCodeText(5, 0), QStringLiteral("5"));
}

TEST(GaugeGeometry, TheRpmGauge)
{
    const GaugeGeometry face = gaugeGeometry(centerstyle, 120, 113, 65, 1, false);
    EXPECT_DOUBLE_EQ(face.phi0, 30);
    EXPECT_EQ(face.radius, 63);
    EXPECT_DOUBLE_EQ(face.cx, 56.5);
    EXPECT_DOUBLE_EQ(face.cy, 64);
    EXPECT_EQ(face.wholeCx, 56);
    EXPECT_EQ(face.wholeCy, 64);
    EXPECT_EQ(pointAt(face, valueAngle(0, 120, 7, face.phi0), 63), QPoint(2, 32));
    EXPECT_EQ(pointAt(face, valueAngle(3.5, 120, 7, face.phi0), 63), QPoint(56, 1));
    EXPECT_EQ(pointAt(face, valueAngle(7, 120, 7, face.phi0), 63), QPoint(111, 32));
    EXPECT_EQ(mainTickNumbers(7, 5), (std::vector<int>{0, 1, 2, 4, 5, 7}));
    EXPECT_EQ(mainTickNumbers(16, 4), (std::vector<int>{0, 4, 8, 12, 16}));
    EXPECT_TRUE(mainTickNumbers(7, 0).empty());
    EXPECT_TRUE(mainTickNumbers(7, -2).empty());
}

TEST(GaugeGeometry, StylesAndWideAngles)
{
    const GaugeGeometry leftFace = gaugeGeometry(leftstyle, 120, 113, 65, 1, false);
    const GaugeGeometry leftNeedle = gaugeGeometry(leftstyle, 120, 113, 65, 1, true);
    EXPECT_EQ(leftFace.angle, 90);
    EXPECT_DOUBLE_EQ(leftFace.phi0, 91);
    EXPECT_DOUBLE_EQ(leftNeedle.phi0, 90);
    EXPECT_EQ(leftFace.radius, 111);
    EXPECT_EQ(QPoint(leftFace.wholeCx, leftFace.wholeCy), QPoint(1, 64));
    const GaugeGeometry right = gaugeGeometry(rightstyle, 60, 113, 65, 1, false);
    EXPECT_EQ(right.angle, 60);
    EXPECT_DOUBLE_EQ(right.phi0, 0);
    EXPECT_EQ(QPoint(right.wholeCx, right.wholeCy), QPoint(112, 64));
    const GaugeGeometry full = gaugeGeometry(centerstyle, 270, 113, 65, 1, false);
    EXPECT_DOUBLE_EQ(full.phi0, -45);
    EXPECT_EQ(full.radius, 55);
    EXPECT_EQ(full.wholeCy, 32);
    // Halves go to the even neighbour.
    EXPECT_EQ(roundHalfEven(0.5), 0);
    EXPECT_EQ(roundHalfEven(1.5), 2);
    EXPECT_EQ(roundHalfEven(-2.5), -2);
    // Numbers sit closer horizontally with each index.
    EXPECT_EQ(numberPosition(gaugeGeometry(centerstyle, 120, 113, 65, 1, false), 0, 5, 5, 0),
              pointAt(56.5, 64, 30, 63 - 5 - 5));
    // Number 2 of 5 at 78°: x = Round(56.5 − cos 78° · (63 − 5 − 5 − 2)) − 10 div 2, y without the − 2.
    EXPECT_EQ(numberPosition(gaugeGeometry(centerstyle, 120, 113, 65, 1, false), 2, 5, 5, 10), QPoint(41, 12));
    EXPECT_EQ(captionPosition(gaugeGeometry(centerstyle, 120, 113, 65, 1, false), 10), QPoint(56 - 5, 32)) << "x 56.5 rounds to even";
}

TEST(LogFileNames, AreTheStartTimeAndNeverReplaceALog)
{
    QTemporaryDir dir;
    const QDateTime start(QDate(2026, 12, 7), QTime(14, 5, 9));
    EXPECT_EQ(LogFile::baseName(start), QStringLiteral("07-12-26_14-05-09"));
    const QString first = LogFile::freshName(dir.path(), start);
    EXPECT_TRUE(first.endsWith(QLatin1String("/07-12-26_14-05-09.log")));
    QFile(first).open(QIODevice::WriteOnly);
    const QString second = LogFile::freshName(dir.path(), start);
    EXPECT_TRUE(second.endsWith(QLatin1String("/07-12-26_14-05-09_2.log")));
    QFile(second).open(QIODevice::WriteOnly);
    EXPECT_TRUE(LogFile::freshName(dir.path(), start).endsWith(QLatin1String("_3.log")));
    EXPECT_EQ(LogFile::freshName(QString(), start), QStringLiteral("07-12-26_14-05-09.log"));
}

TEST(LogFileWriting, FinishedLinesReachTheDiskByThemselves)
{
    QTemporaryDir dir;
    LogFile log;
    const QString path = dir.filePath(QStringLiteral("x.log"));
    ASSERT_TRUE(log.open(path).isEmpty());
    log.append("RPM 850");
    log.append(" Tune 0", true);
    log.append(" Fuel 1", true);
    log.append("RPM 9");
    ASSERT_TRUE(log.waitWritten(5000));
    QFile reader(path);
    ASSERT_TRUE(reader.open(QIODevice::ReadOnly));
    EXPECT_EQ(reader.readAll(), QByteArray("RPM 850 Tune 0\r\n Fuel 1\r\n"));
    log.close();
    reader.seek(0);
    EXPECT_EQ(reader.readAll(), QByteArray("RPM 850 Tune 0\r\n Fuel 1\r\nRPM 9"));
    EXPECT_FALSE(LogFile().open(dir.filePath(QStringLiteral("missing/x.log"))).isEmpty());
}

} // namespace

namespace {

// Ticks as '+' (a reply with data) and '.' (none): where a restart is
// suspected, and whether the ECU counts as silent at the end.
TEST(LiveSilence, DataAfterAStretchWithoutItMayBeARestart)
{
    const struct {
        const char *ticks;
        const char *suspected; // '!' where the tick suspects a restart
        bool silentAtEnd;
    } cases[] = {
        {"++++", "    ", false},
        {"+..+", "    ", false},               // two lost replies
        {"+...+", "    !", false},             // three: a restart's silence
        {"...+", "   !", false},               // from the start too
        {"+...+...+", "    !   !", false},     // each stretch once
        {"+.....................", "                      ", true},
        {"+....................+", "                     !", false},
    };
    for (const auto &c : cases) {
        LiveSilence silence;
        std::string suspected;
        for (const char *t = c.ticks; *t; ++t)
            suspected += silence.tick(*t == '+') ? '!' : ' ';
        EXPECT_EQ(suspected, c.suspected) << c.ticks;
        EXPECT_EQ(silence.silent(), c.silentAtEnd) << c.ticks;
    }
}

} // namespace
