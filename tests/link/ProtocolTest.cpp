// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/Exception.h"
#include "link/Protocol.h"
#include "monitor/LiveData.h"
#include "service/Calibration.h"
#include "service/Diagnostics.h"
#include "tests/support/QtPrinters.h"

#include <gtest/gtest.h>

#include <climits>

using namespace tarvex;
using link::strToInt;

namespace {

TEST(StrToInt, AcceptsWholeNumbers)
{
    EXPECT_EQ(strToInt(QStringLiteral("850")), 850);
    EXPECT_EQ(strToInt(QStringLiteral("-29")), -29);
    EXPECT_EQ(strToInt(QStringLiteral("+7")), 7);
    EXPECT_EQ(strToInt(QStringLiteral("007")), 7);
    EXPECT_EQ(strToInt(QStringLiteral("  12")), 12);
    EXPECT_EQ(strToInt(QStringLiteral("$1F")), 31);
    EXPECT_EQ(strToInt(QStringLiteral("2147483647")), 2147483647);
    EXPECT_EQ(strToInt(QStringLiteral("-2147483648")), INT_MIN);
}

TEST(StrToInt, RefusesEverythingElseWithTheFittersMessage)
{
    for (const char *text : {"", "12 ", "1.5", "abc", "1e3", "-", "2147483648", "$", "12a"}) {
        try {
            strToInt(QString::fromLatin1(text));
            ADD_FAILURE() << "accepted '" << text << "'";
        } catch (const EConvertError &e) {
            EXPECT_EQ(e.message(), QStringLiteral("'%1' is not a valid integer value").arg(QLatin1String(text)));
        }
    }
}

TEST(Cp1251, RoundTripsTheProtocolsLetters)
{
    const QByteArray bytes = QByteArray::fromHex("3CE03E0DB0C0FF");
    EXPECT_EQ(link::fromCp1251(bytes), QStringLiteral("<а>\r°Ая"));
    EXPECT_EQ(link::toCp1251(QStringLiteral("<а>\r°Ая")), bytes);
}

// Texts from the ECU are code page 1251 wherever they are shown: 0xCF is "П".
TEST(Cp1251, EveryShownTextOfTheEcuIsDecodedAsIt)
{
    const QString expected = QStringLiteral("'П' is not a valid integer value");
    auto messageOf = [](auto &&f) {
        try {
            f();
        } catch (const Exception &e) {
            return e.message();
        }
        return QString();
    };
    EXPECT_EQ(messageOf([] { strToInt(QByteArray("\xCF")); }), expected);
    EXPECT_EQ(messageOf([] { service::decodeCalibration("[D\xCF" "d]", [](int, const QString &) {}); }), expected);
    EXPECT_EQ(messageOf([] { service::parseInstallDate("[D\xCF" "dM1mY1y]"); }), expected);
    EXPECT_EQ(monitor::lambdaDisplay("\xCF", false).caption, QStringLiteral("П"));
}

// Reply fields are any 32-bit number: arithmetic on them must not overflow
// (the sanitizer build stops on it).
TEST(ReplyArithmetic, ExtremeFieldsStayDefined)
{
    EXPECT_EQ(link::celsiusFromRaw(INT_MIN), 315806539);
    EXPECT_EQ(link::celsiusFromRaw(INT_MAX), -315806297);
    std::map<int, QString> rows;
    service::decodeCalibration("[D-2147483648dE-2147483648eF-2147483648f]",
                               [&](int row, const QString &text) { rows[row] = text; }, QLocale::c());
    EXPECT_EQ(rows[4], QStringLiteral("315806539°C"));
    EXPECT_EQ(rows[5], QStringLiteral("-0.00"));
    EXPECT_EQ(rows[2], QStringLiteral("315806539°C"));
    EXPECT_EQ(monitor::workingPoint(INT_MIN).hex, QStringLiteral("80000000"));
}

// Fixed notation never groups thousands, in any locale, and reading refuses
// a grouped number.
TEST(NumberLocale, NoGroupSeparatorInEitherLanguage)
{
    const QLocale saved;
    for (const auto &[locale, volts, ms] :
         {std::tuple{QLocale(QLocale::English, QLocale::UnitedStates), "1956.3 V", "1048.56 Ms"},
          std::tuple{QLocale(QLocale::Russian, QLocale::Russia), "1956,3 V", "1048,56 Ms"}}) {
        QLocale::setDefault(locale);
        EXPECT_EQ(monitor::voltageText(65535), QString::fromUtf8(volts));
        EXPECT_EQ(monitor::injectionTimeText(65535), QString::fromUtf8(ms));
        std::map<int, QString> rows;
        service::decodeCalibration("[H65535h]", [&](int row, const QString &text) { rows[row] = text; });
        EXPECT_EQ(rows[7], QString::fromUtf8(ms));
    }
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_DOUBLE_EQ(link::fieldReal("1000"), 1000.0);
    EXPECT_DOUBLE_EQ(link::fieldReal("1,000"), 0.0) << "a group separator makes no number";
    QLocale::setDefault(saved);
}

} // namespace
