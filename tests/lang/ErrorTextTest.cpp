// SPDX-License-Identifier: GPL-3.0-or-later
#include "lang/ErrorText.h"
#include "tests/support/QtPrinters.h"

#include <gtest/gtest.h>

using tarvex::lang::errorReportText;

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
