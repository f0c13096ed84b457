// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/AnalogGauge.h"
#include "widgets/SpeedScale.h"
#include "tests/app/FormFixture.h"

#include <QProcess>

using namespace tarvex;
using namespace tarvex::monitor;
using namespace tarvex::widgets;

namespace {

TEST(AnalogGauge, StartsWithItsDefaults)
{
    TAnalogGauge g;
    EXPECT_EQ(g.size(), QSize(225, 180));
    EXPECT_EQ(g.Position(), 0);
    EXPECT_EQ(g.Margin(), 10);
    EXPECT_EQ(g.Style(), centerstyle);
    EXPECT_EQ(g.Scale(), 140);
    EXPECT_EQ(g.Angle(), 120);
    EXPECT_EQ(g.CirclesRadius(), 3);
    EXPECT_EQ(g.NumberMainTicks(), 7);
    EXPECT_EQ(g.LengthMainTicks(), 15);
    EXPECT_EQ(g.LengthSubTicks(), 8);
    EXPECT_EQ(g.FaceOptoins(), (TSetFaceOptions{ShowMargin, ShowMainTicks, ShowSubTicks, ShowIndicatorMax,
                                                ShowValues, ShowCenter, ShowFrame, Show3D, ShowCaption}));
    EXPECT_EQ(g.IndMaximum(), 80);
    EXPECT_EQ(g.IndMinimum(), 30);
    EXPECT_EQ(g.CenterColor(), QColor(128, 128, 128));
    EXPECT_EQ(g.CenterRadius(), 8);
    EXPECT_EQ(g.CircleColor(), QColor(0, 0, 255));
    EXPECT_EQ(g.ArrowWidth(), 1);
    EXPECT_EQ(g.Caption(), QStringLiteral("mV"));
}

TEST(AnalogGauge, RefusedValuesLeaveThePropertyButStillRedraw)
{
    TAnalogGauge g;
    g.SetScale(16);
    EXPECT_EQ(g.IndMaximum(), 15);
    EXPECT_EQ(g.IndMinimum(), 1);
    const int draws = g.FaceDraws();
    g.SetScale(1);
    EXPECT_EQ(g.Scale(), 16);
    EXPECT_EQ(g.FaceDraws(), draws + 1);

    TAnalogGauge lambda;
    lambda.SetScale(250);
    lambda.SetIndMaximum(220);
    lambda.SetIndMaximum(1023);
    EXPECT_EQ(lambda.IndMaximum(), 220);
    lambda.SetScale(1023);
    EXPECT_EQ(lambda.IndMaximum(), 220);
    lambda.SetIndMinimum(0);
    EXPECT_EQ(lambda.IndMinimum(), 30);

    g.SetAngle(10);
    EXPECT_EQ(g.Angle(), 120);
    g.SetAngle(11);
    EXPECT_EQ(g.Angle(), 11);
    g.SetAngle(360);
    EXPECT_EQ(g.Angle(), 360);
    g.SetAngle(361);
    EXPECT_EQ(g.Angle(), 360);
    g.SetArrowWidth(0);
    EXPECT_EQ(g.ArrowWidth(), 1);
    g.SetArrowWidth(9);
    EXPECT_EQ(g.ArrowWidth(), 5);

    g.SetStyle(leftstyle);
    g.SetAngle(120);
    EXPECT_EQ(g.Angle(), 90) << "left and right styles sweep at most 90 degrees";
    g.SetNumberMainTicks(0); // must not fail
    g.SetNumberMainTicks(-3);
}

TEST(AnalogGauge, NeverSmallerThan60By50)
{
    TAnalogGauge g;
    g.resize(40, 30);
    EXPECT_EQ(g.size(), QSize(60, 50));
    g.show();
    EXPECT_EQ(g.FaceImage().size(), QSize(60, 50));
    EXPECT_EQ(g.ViewImage().size(), QSize(60, 50));
}

TEST(AnalogGauge, APositionRedrawsOnlyTheNeedle)
{
    TAnalogGauge g;
    g.resize(113, 65);
    g.SetMargin(1);
    const int faces = g.FaceDraws();
    const int needles = g.ArrowDraws();
    for (int i = 0; i < 10; ++i)
        g.SetPosition(i * 10);
    EXPECT_EQ(g.FaceDraws(), faces);
    EXPECT_EQ(g.ArrowDraws(), needles + 10);
    g.SetArrowWidth(3);
    EXPECT_EQ(g.FaceDraws(), faces);
    g.SetCaption(QStringLiteral("V"));
    EXPECT_EQ(g.FaceDraws(), faces + 1);
}

TEST(AnalogGauge, OverLimitEventsFireOnEverySettingBeyond)
{
    TAnalogGauge g;
    g.SetScale(7);
    g.SetIndMaximum(6);
    g.SetIndMinimum(1);
    int over = 0, under = 0;
    g.OnOverMax = [&](TAnalogGauge *) { ++over; };
    g.OnOverMin = [&](TAnalogGauge *) { ++under; };
    for (double p : {5.0, 6.0, 6.5, 8.0, 8.0, 0.5, -1.0})
        g.SetPosition(p);
    EXPECT_EQ(over, 3);
    EXPECT_EQ(under, 2);
    // A face change or a resize updates the position as a setting of it
    // does; only the needle's width fires nothing.
    g.SetPosition(8.0);
    g.show();
    over = under = 0;
    g.SetCaption(QStringLiteral("x"));
    g.resize(120, 70);
    g.SetArrowWidth(3);
    EXPECT_EQ(over, 2);
    EXPECT_EQ(under, 0);
}

TEST(AnalogGauge, DrawsTheNeedleFromTheWholeCentreAndTheRedZone)
{
    TAnalogGauge g;
    g.resize(113, 65);
    g.SetMargin(1);
    g.SetScale(7);
    g.SetIndMinimum(1);
    g.SetIndMaximum(6);
    g.SetCenterRadius(0);
    g.SetFaceOptoins({ShowIndicatorMax, ShowCenter});
    g.SetPosition(3.5); // straight up: from (56, 64) to (56, 1)
    const QImage view = g.ViewImage();
    EXPECT_EQ(view.pixelColor(56, 20), QColor(Qt::black));
    EXPECT_EQ(view.pixelColor(56, 50), QColor(Qt::black));
    EXPECT_NE(view.pixelColor(40, 20), QColor(Qt::black));
    // The red zone runs along the scale circle near its right end.
    const QPoint zone = pointAt(56.5, 64, valueAngle(6.5, 120, 7, 30), 63);
    bool red = false;
    for (int dx = -2; dx <= 2; ++dx)
        for (int dy = -2; dy <= 2; ++dy)
            red |= g.FaceImage().pixelColor(zone + QPoint(dx, dy)) == QColor(255, 0, 0);
    EXPECT_TRUE(red);
    EXPECT_NE(g.FaceImage().pixelColor(pointAt(56.5, 64, 90, 63)), QColor(255, 0, 0));
}

// Drawn in the pixels of a screen of twice the density, not magnified (blurred).
// Qt takes the ratio at start: the test runs itself again with QT_SCALE_FACTOR=2.
TEST(AnalogGauge, DrawsItsFaceAtTheScreensPixelRatio)
{
    if (qgetenv("QT_SCALE_FACTOR") != "2") {
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_SCALE_FACTOR"), QStringLiteral("2"));
        child.setProcessEnvironment(environment);
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--gtest_filter=AnalogGauge.DrawsItsFaceAtTheScreensPixelRatio")});
        ASSERT_TRUE(child.waitForFinished(60000));
        EXPECT_EQ(child.exitCode(), 0) << child.readAll().toStdString();
        return;
    }
    QWidget window;
    TAnalogGauge gauge(&window);
    gauge.resize(113, 65);
    gauge.SetNoData(true); // the greyed face too
    TSpeedScale scale(&window);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_EQ(gauge.ViewImage().size(), QSize(226, 130));
    EXPECT_EQ(scale.Face().size(), QSize(1074, 56));
}

class WindowGauges : public tarvex::test::FormFixture {};

TEST_F(WindowGauges, HaveTheSettingsOfTheirTable)
{
    auto form = makeForm();
    struct Row {
        TAnalogGauge *g;
        int scale, ticks, lengthMain, lengthSub, indMin, indMax;
        bool max, values;
    };
    const Row rows[] = {
        {form->rpmgauge, 7, 5, 5, 4, 1, 6, true, true},
        {form->VoltageGauge, 16, 4, 8, 4, 8, 15, true, true},
        {form->TemperatureGauge, 1023, 5, 5, 4, 50, 950, true, false},
        {form->TPS1Gauge, 1023, 5, 5, 4, 1, 1000, true, false},
        {form->LambdaGauge, 250, 5, 5, 4, 1, 220, false, false},
        {form->EngineLoadGauge, 1023, 5, 5, 4, 1, 1000, true, false},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.g->objectName().toStdString());
        EXPECT_EQ(r.g->size(), QSize(113, 65));
        EXPECT_EQ(r.g->Margin(), 1);
        EXPECT_EQ(r.g->Scale(), r.scale);
        EXPECT_EQ(r.g->NumberMainTicks(), r.ticks);
        EXPECT_EQ(r.g->LengthMainTicks(), r.lengthMain);
        EXPECT_EQ(r.g->LengthSubTicks(), r.lengthSub);
        EXPECT_EQ(r.g->IndMinimum(), r.indMin);
        EXPECT_EQ(r.g->IndMaximum(), r.indMax);
        EXPECT_EQ(r.g->FaceOptoins().contains(ShowIndicatorMax), r.max);
        EXPECT_EQ(r.g->FaceOptoins().contains(ShowValues), r.values);
        EXPECT_TRUE(r.g->FaceOptoins().contains(Show3D));
        EXPECT_FALSE(r.g->FaceOptoins().contains(ShowCircles));
        EXPECT_EQ(r.g->Style(), centerstyle);
        EXPECT_EQ(r.g->Angle(), 120);
    }
}

} // namespace
