#include "link/Exception.h"

#include "tests/support/QtPrinters.h"

#include <gtest/gtest.h>

using tarvex::EConvertError;
using tarvex::strToInt;

TEST(StrToInt, AcceptsWholeNumbers)
{
    EXPECT_EQ(strToInt(QStringLiteral("850")), 850);
    EXPECT_EQ(strToInt(QStringLiteral("-29")), -29);
    EXPECT_EQ(strToInt(QStringLiteral("+7")), 7);
    EXPECT_EQ(strToInt(QStringLiteral("007")), 7);
    EXPECT_EQ(strToInt(QStringLiteral("  12")), 12);
    EXPECT_EQ(strToInt(QStringLiteral("$1F")), 31);
    EXPECT_EQ(strToInt(QStringLiteral("2147483647")), 2147483647);
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
