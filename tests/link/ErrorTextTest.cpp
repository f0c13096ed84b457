#include "app/ErrorText.h"
#include "link/Text.h"
#include "tests/support/QtPrinters.h"

#include <gtest/gtest.h>

using tarvex::app::errorReportText;

TEST(ErrorReport, AddsAFullStopAfterCharactersThatSortAfterIt)
{
    EXPECT_EQ(errorReportText(QStringLiteral("Порт занят другой программой")),
              QStringLiteral("Порт занят другой программой."));
    EXPECT_EQ(errorReportText(QStringLiteral("'x' is not a valid integer value")),
              QStringLiteral("'x' is not a valid integer value."));
    EXPECT_EQ(errorReportText(QStringLiteral("Done.")), QStringLiteral("Done."));
    EXPECT_EQ(errorReportText(QStringLiteral("Stop!")), QStringLiteral("Stop!"));
    EXPECT_EQ(errorReportText(QStringLiteral("(1)")), QStringLiteral("(1)"));
    EXPECT_EQ(errorReportText(QStringLiteral("path/")), QStringLiteral("path/."));
    EXPECT_EQ(errorReportText(QStringLiteral("1 - 2")), QStringLiteral("1 - 2."));
    EXPECT_EQ(errorReportText(QStringLiteral("a-")), QStringLiteral("a-"));
    EXPECT_EQ(errorReportText(QString()), QString());
}

TEST(Cp1251, RoundTripsTheProtocolsLetters)
{
    const QByteArray bytes = QByteArray::fromHex("3CE03E0DB0C0FF");
    EXPECT_EQ(tarvex::fromCp1251(bytes), QStringLiteral("<а>\r°Ая"));
    EXPECT_EQ(tarvex::toCp1251(QStringLiteral("<а>\r°Ая")), bytes);
}
