// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/LiveGauges.h"
#include "link/Protocol.h"
#include "widgets/AnalogGauge.h"
#include "monitor/LiveData.h"

#include <QWidget>

using namespace tarvex::monitor;

namespace tarvex::widgets {

namespace {
struct GaugeSettings {
    int scale;
    int numberMainTicks;
    int lengthMainTicks;
    int lengthSubTicks;
    int indMinimum;
    int indMaximum;
    bool showIndicatorMax;
    bool showValues;
    const char *caption;
};

// In the order of LiveGauge.
constexpr GaugeSettings kGauges[kLiveGauges] = {
    {7, 5, 5, 4, 1, 6, true, true, "RPM*1000"},
    {16, 4, 8, 4, 8, 15, true, true, "V"},
    {1023, 5, 5, 4, 50, 950, true, false, "°C"},
    {1023, 5, 5, 4, 1, 1000, true, false, " "},
    {250, 5, 5, 4, 1, 220, false, false, " "},
    {1023, 5, 5, 4, 1, 1000, true, false, " "},
};
} // namespace

TAnalogGauge *makeLiveGauge(QWidget *parent, LiveGauge which)
{
    const GaugeSettings &settings = kGauges[int(which)];
    auto *g = new TAnalogGauge(parent);
    g->resize(113, 65);
    QFont small = parent->font();
    small.setPixelSize(8);
    g->setFont(small);
    g->SetMargin(1);
    g->SetCenterRadius(8);
    g->SetFaceColor(parent->palette().color(QPalette::Button));
    g->SetScale(settings.scale);
    g->SetNumberMainTicks(settings.numberMainTicks);
    g->SetLengthMainTicks(settings.lengthMainTicks);
    g->SetLengthSubTicks(settings.lengthSubTicks);
    g->SetIndMinimum(settings.indMinimum);
    g->SetIndMaximum(settings.indMaximum);
    TSetFaceOptions options{ShowMargin, ShowMainTicks, ShowSubTicks, ShowCenter, ShowFrame, Show3D, ShowCaption};
    if (settings.showIndicatorMax && settings.showValues)
        options = {ShowMargin, ShowMainTicks, ShowSubTicks, ShowCenter, ShowFrame, Show3D, ShowCaption,
                   ShowIndicatorMax, ShowValues};
    else if (settings.showIndicatorMax)
        options = {ShowMargin, ShowMainTicks, ShowSubTicks, ShowCenter, ShowFrame, Show3D, ShowCaption,
                   ShowIndicatorMax};
    g->SetFaceOptoins(options);
    g->SetCaption(QString::fromUtf8(settings.caption));
    return g;
}

void showLiveValue(TAnalogGauge *gauge, LiveGauge which, const QByteArray &value, bool wideBand)
{
    const int number = link::fieldNumber(value);
    switch (which) {
    case LiveGauge::Rpm: gauge->SetPosition(number / 1000.0); break;
    case LiveGauge::Voltage: gauge->SetPosition(voltsFromRaw(number)); break;
    case LiveGauge::Temperature: gauge->SetPosition(1023.0 - number); break;
    case LiveGauge::Throttle:
    case LiveGauge::Load:
        gauge->SetPosition(number);
        gauge->SetCaption(link::fromCp1251(value));
        break;
    case LiveGauge::Lambda: {
        const LambdaDisplay lambda = lambdaDisplay(value, wideBand);
        gauge->SetIndMaximum(lambda.indMaximum);
        gauge->SetScale(lambda.scale);
        gauge->SetFaceColor(lambda.face);
        gauge->SetPosition(lambda.position);
        gauge->SetCaption(lambda.caption);
        break;
    }
    }
}

} // namespace tarvex::widgets
