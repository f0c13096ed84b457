// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "monitor/GaugeGeometry.h"

#include <QImage>
#include <QWidget>
#include <functional>

namespace tarvex::widgets {

enum TSetFaceOption {
    ShowMargin, ShowCircles, ShowMainTicks, ShowSubTicks, ShowIndicatorMin, ShowIndicatorMid,
    ShowIndicatorMax, ShowValues, ShowCenter, ShowFrame, Show3D, ShowCaption
};

class TSetFaceOptions {
public:
    constexpr TSetFaceOptions() = default;
    constexpr TSetFaceOptions(std::initializer_list<TSetFaceOption> options)
    {
        for (TSetFaceOption o : options)
            m_bits |= 1u << unsigned(o);
    }
    constexpr bool contains(TSetFaceOption o) const { return m_bits & (1u << unsigned(o)); }
    constexpr bool operator==(const TSetFaceOptions &) const = default;

private:
    unsigned m_bits = 0;
};

// A dial: the face (scale, ticks, numbers, zones, caption) is drawn into an
// image at the screen's pixel ratio only when a face setting or the ratio
// changes; a new position copies that image,
// draws the needle and the centre disc over it and shows the result.
class TAnalogGauge : public QWidget {
public:
    explicit TAnalogGauge(QWidget *parent = nullptr);

    double Position() const { return m_position; }
    void SetPosition(double value);
    int Margin() const { return m_margin; }
    void SetMargin(int value);
    monitor::TStyle Style() const { return m_style; }
    void SetStyle(monitor::TStyle value);
    int Scale() const { return m_scale; }
    void SetScale(int value);
    int Angle() const { return m_angle; }
    void SetAngle(int value);
    int CirclesRadius() const { return m_circlesRadius; }
    void SetCirclesRadius(int value);
    int NumberMainTicks() const { return m_numberMainTicks; }
    void SetNumberMainTicks(int value);
    int LengthMainTicks() const { return m_lengthMainTicks; }
    void SetLengthMainTicks(int value);
    int LengthSubTicks() const { return m_lengthSubTicks; }
    void SetLengthSubTicks(int value);
    TSetFaceOptions FaceOptoins() const { return m_faceOptions; }
    void SetFaceOptoins(TSetFaceOptions value);
    int IndMaximum() const { return m_indMaximum; }
    void SetIndMaximum(int value);
    int IndMinimum() const { return m_indMinimum; }
    void SetIndMinimum(int value);
    QColor FaceColor() const { return m_faceColor; }
    void SetFaceColor(const QColor &value);
    QColor CenterColor() const { return m_centerColor; }
    void SetCenterColor(const QColor &value);
    int CenterRadius() const { return m_centerRadius; }
    void SetCenterRadius(int value);
    QColor CircleColor() const { return m_circleColor; }
    void SetCircleColor(const QColor &value);
    int ArrowWidth() const { return m_arrowWidth; }
    void SetArrowWidth(int value);
    QString Caption() const { return m_caption; }
    void SetCaption(const QString &value);
    // No live data: the face greyed and the needle parked at the scale's
    // start, whatever the position; the position is kept for when data
    // comes again.
    bool NoData() const { return m_noData; }
    void SetNoData(bool value);

    std::function<void(TAnalogGauge *sender)> OnOverMax;
    std::function<void(TAnalogGauge *sender)> OnOverMin;

    // What the gauge shows, and how often it drew its parts (for tests).
    const QImage &FaceImage() const { return m_face; }
    const QImage &ViewImage() const { return m_view; }
    int FaceDraws() const { return m_faceDraws; }
    int ArrowDraws() const { return m_arrowDraws; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void FaceChanged();
    void UpdatePosition();
    void ComposeView();
    void MakeFace();
    void DrawFace();
    void DrawArrow(double position);

    double m_position = 0;
    int m_margin = 10;
    monitor::TStyle m_style = monitor::centerstyle;
    int m_scale = 140;
    int m_angle = 120;
    int m_circlesRadius = 3;
    int m_numberMainTicks = 7;
    int m_lengthMainTicks = 15;
    int m_lengthSubTicks = 8;
    TSetFaceOptions m_faceOptions{ShowMargin, ShowMainTicks, ShowSubTicks, ShowIndicatorMax, ShowValues,
                                  ShowCenter, ShowFrame,     Show3D,       ShowCaption};
    int m_indMaximum = 80;
    int m_indMinimum = 30;
    QColor m_faceColor;
    QColor m_centerColor{128, 128, 128};
    int m_centerRadius = 8;
    QColor m_circleColor{0, 0, 255};
    int m_arrowWidth = 1;
    QString m_caption = QStringLiteral("mV");
    bool m_noData = false;

    QImage m_face;
    QImage m_view;
    int m_radius = 0;
    int m_faceDraws = 0;
    int m_arrowDraws = 0;
};

} // namespace tarvex::widgets
