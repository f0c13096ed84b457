#include "app/MainForm.h"

#include "tests/support/QtPrinters.h"

#include <gtest/gtest.h>

using tarvex::app::TTarvexMainForm;

TEST(MainForm, IsAFixedWindowWithOnlyACloseBox)
{
    TTarvexMainForm form;
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Tarvex 28.07.23"));
    EXPECT_EQ(form.objectName(), QStringLiteral("TarvexMainForm"));
    EXPECT_EQ(form.size(), QSize(1014, 453));
    EXPECT_EQ(form.minimumSize(), form.maximumSize());
    const Qt::WindowFlags flags = form.windowFlags();
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
}
