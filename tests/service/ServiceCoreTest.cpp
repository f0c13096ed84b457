// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/Exception.h"
#include "service/Calibration.h"
#include "service/Diagnostics.h"
#include "tests/support/QtPrinters.h"

#include <gtest/gtest.h>

#include <map>

using namespace tarvex;
using namespace tarvex::service;

namespace {

std::map<int, QString> decoded(const QByteArray &reply, QString *error = nullptr)
{
    std::map<int, QString> rows;
    try {
        decodeCalibration(reply, [&](int row, const QString &text) { rows[row] = text; }, QLocale::c());
    } catch (const Exception &e) {
        if (error)
            *error = e.message();
    }
    return rows;
}

TEST(Calibration, ShowsEveryFieldInItsRow)
{
    const auto rows = decoded("[A800aB1200bC5cD300dE100eF500fG470gH60hI250iJ3jK4kL1500lM20m]");
    // Rows top to bottom: A, B, F, C, D, E, G, H, I, J, K, L, M.
    const std::map<int, QString> expected = {
        {0, "800"}, {1, "1200"}, {2, "47°C"},    {3, "5"},       {4, "76°C"}, {5, "6.23"}, {6, "14.0 V"},
        {7, "0.96 Ms"}, {8, "4.00 Ms"}, {9, "3"}, {10, "4"}, {11, "1500"}, {12, "20"}};
    EXPECT_EQ(rows, expected);
}

TEST(Calibration, WarmUpFactorDependsOnDInTheSameReply)
{
    EXPECT_EQ(decoded("[E100e]"), (std::map<int, QString>{{5, "-1.00"}}));
    EXPECT_EQ(decoded("[D900d]"), (std::map<int, QString>{{4, "-11°C"}}));
    EXPECT_EQ(decoded("[FxfA1a]"), (std::map<int, QString>{{0, "1"}, {2, "121°C"}})) << "F counts a word as 0";
    EXPECT_TRUE(decoded("A800a").empty());
    EXPECT_TRUE(decoded("[A800a").empty());
}

TEST(Calibration, AFailedConversionStopsAtItsField)
{
    QString error;
    const auto rows = decoded("[A1aG4.7gH60hM2m]", &error);
    EXPECT_EQ(error, QStringLiteral("'4.7' is not a valid integer value"));
    EXPECT_EQ(rows, (std::map<int, QString>{{0, "1"}})) << "H and M come after G and stay";

    decoded("[D300dE0e]", &error);
    EXPECT_EQ(error, QStringLiteral("Floating point division by zero"));
    decoded("[D823dE0e]", &error);
    EXPECT_EQ(error, QStringLiteral("Invalid floating point operation"));
}

TEST(Calibration, UsesTheLocalesSeparator)
{
    std::map<int, QString> rows;
    decodeCalibration("[E100eG470g]", [&](int row, const QString &text) { rows[row] = text; },
                      QLocale(QLocale::Russian, QLocale::Russia));
    EXPECT_EQ(rows[5], QStringLiteral("-1,00"));
    EXPECT_EQ(rows[6], QStringLiteral("14,0 V"));
}

TEST(Diagnostics, EveryFaultMessageAsTheMakerWroteIt)
{
    const char *const expected[] = {
        "Ошибок не обнаружено!",
        "Напряжение питания ниже 8 Вольт, возможно неисправность генератора",
        "Напряжение питания выше 15 Вольт, возможно неисправность генератора",
        "Обрыв датчика температуры охлаждающей жидкости",
        "Замыкание на массу датчика температуры охлаждающей жидкоти",
        "Недостоверный сигнал датчика Холла",
        "Завышенное напряжение с лямбда-зонда, возможно замыкание подогрева с сигналом",
        "Завышенное напряжение или замыкание на плюс сигнала датчика абсолютного давления",
        "Обрыв или замыкание на массу сигнала датчика абсолютного давления",
        "Замыкание сигнала датчика температуры воздуха",
        "Обрыв датчика температуры воздуха",
        "Повреждены данные в топливной карте",
        "Повреждены данные в карте зажигания",
        "Ошибка датчика фазы распредвала",
    };
    for (int code = 0; code < 14; ++code)
        EXPECT_EQ(faultMessage(code), QString::fromUtf8(expected[code])) << code;
    EXPECT_EQ(faultMessage(14), std::nullopt);
    EXPECT_EQ(faultMessage(-1), std::nullopt);
}

TEST(Diagnostics, InstallDateInAnyOrder)
{
    auto date = parseInstallDate("[D31dM12mY24y]");
    ASSERT_TRUE(date);
    EXPECT_EQ(date->text, QStringLiteral("31.12.24"));
    EXPECT_TRUE(date->complete);
    date = parseInstallDate("[D0dM0mY0y]");
    EXPECT_EQ(date->text, QStringLiteral("0.0.0"));
    EXPECT_FALSE(date->complete);
    EXPECT_EQ(parseInstallDate("[Y24yD1dM2m]")->text, QStringLiteral("1.2.24"));
    EXPECT_EQ(parseInstallDate("[D05dM7mY23y]")->text, QStringLiteral("5.7.23"));
    EXPECT_EQ(parseInstallDate("[]")->text, QStringLiteral("0.0.0"));
    EXPECT_FALSE(parseInstallDate("[D1dM2mY3y").has_value());
    EXPECT_THROW(parseInstallDate("[DxdM2mY3y]"), EConvertError);
}

} // namespace
