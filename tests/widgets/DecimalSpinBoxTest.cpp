// SPDX-License-Identifier: GPL-3.0-or-later
// A typed percentage is read the same with a comma or a point, whatever the
// desktop's locale, and a group separator never multiplies it.
#include "widgets/DecimalSpinBox.h"

#include <gtest/gtest.h>

using tarvex::widgets::DecimalSpinBox;

TEST(DecimalSpinBox, ReadsACommaOrAPointAsTheDecimalSeparator)
{
    QLocale::setDefault(QLocale(QLocale::English)); // "," would be a group separator
    DecimalSpinBox box;
    box.setDecimals(1);
    box.setRange(-1e6, 1e6);
    const struct {
        const char *text;
        QValidator::State state;
        double value;
    } cases[] = {
        {"2,5", QValidator::Acceptable, 2.5},  {"2.5", QValidator::Acceptable, 2.5},
        {"-3,5", QValidator::Acceptable, -3.5}, {"1,000", QValidator::Invalid, 0},
        {"2,", QValidator::Acceptable, 2},      {"-", QValidator::Intermediate, 0},
        {"x", QValidator::Invalid, 0},
    };
    for (const auto &c : cases) {
        QString text = QString::fromLatin1(c.text);
        int at = 0;
        EXPECT_EQ(box.validate(text, at), c.state) << c.text;
        if (c.state == QValidator::Acceptable) {
            EXPECT_DOUBLE_EQ(box.valueFromText(text), c.value) << c.text;
        }
    }
    QLocale::setDefault(QLocale::system());
}
