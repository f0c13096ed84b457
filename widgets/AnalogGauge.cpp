// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/AnalogGauge.h"

#include <QEvent>
#include <QPainter>
#include <algorithm>

using namespace tarvex::monitor;

namespace tarvex::widgets {

TAnalogGauge::TAnalogGauge(QWidget *parent) : QWidget(parent), m_faceColor(palette().color(QPalette::Button))
{
    setMinimumSize(60, 50);
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(225, 180);
}

void TAnalogGauge::FaceChanged()
{
    DrawFace();
    SetPosition(m_position);
}

void TAnalogGauge::SetPosition(double value)
{
    m_position = value;
    if (m_indMaximum < m_position && OnOverMax)
        OnOverMax(this);
    if (m_indMinimum > m_position && OnOverMin)
        OnOverMin(this);
    UpdatePosition();
}

// The needle over a copy of the face, without the events: ArrowWidth's way.
void TAnalogGauge::UpdatePosition()
{
    ComposeView();
    update();
}

void TAnalogGauge::ComposeView()
{
    if (m_face.isNull())
        return;
    m_view = m_face.copy();
    DrawArrow(m_noData ? 0.0 : m_position);
    if (m_noData) {
        // Grey and pale: plainly not a reading.
        m_view = m_view.convertToFormat(QImage::Format_Grayscale8).convertToFormat(QImage::Format_RGB32);
        QPainter pale(&m_view);
        pale.fillRect(rect(), QColor(255, 255, 255, 110));
    }
}

void TAnalogGauge::MakeFace()
{
    // In device pixels: sharp on a high-density screen.
    const qreal ratio = devicePixelRatioF();
    m_face = QImage(size() * ratio, QImage::Format_RGB32);
    m_face.setDevicePixelRatio(ratio);
}

void TAnalogGauge::SetNoData(bool value)
{
    if (value == m_noData)
        return;
    m_noData = value;
    UpdatePosition();
}

void TAnalogGauge::SetMargin(int value)
{
    m_margin = value;
    FaceChanged();
}

void TAnalogGauge::SetStyle(TStyle value)
{
    m_style = value;
    FaceChanged();
}

void TAnalogGauge::SetScale(int value)
{
    if (value > 1) {
        m_scale = value;
        if (m_indMaximum >= value)
            m_indMaximum = value - 1;
        if (m_scale - m_indMaximum < m_indMinimum)
            m_indMinimum = m_scale - m_indMaximum;
    }
    FaceChanged();
}

void TAnalogGauge::SetAngle(int value)
{
    if (value > 10 && value <= 360)
        m_angle = value;
    FaceChanged();
}

void TAnalogGauge::SetCirclesRadius(int value)
{
    m_circlesRadius = value;
    FaceChanged();
}

void TAnalogGauge::SetNumberMainTicks(int value)
{
    m_numberMainTicks = value;
    FaceChanged();
}

void TAnalogGauge::SetLengthMainTicks(int value)
{
    m_lengthMainTicks = value;
    FaceChanged();
}

void TAnalogGauge::SetLengthSubTicks(int value)
{
    m_lengthSubTicks = value;
    FaceChanged();
}

void TAnalogGauge::SetFaceOptoins(TSetFaceOptions value)
{
    m_faceOptions = value;
    FaceChanged();
}

void TAnalogGauge::SetIndMaximum(int value)
{
    if (value > 0 && value < m_scale)
        m_indMaximum = value;
    FaceChanged();
}

void TAnalogGauge::SetIndMinimum(int value)
{
    if (value > 0 && value < m_scale)
        m_indMinimum = value;
    FaceChanged();
}

void TAnalogGauge::SetFaceColor(const QColor &value)
{
    m_faceColor = value;
    FaceChanged();
}

void TAnalogGauge::SetCenterColor(const QColor &value)
{
    m_centerColor = value;
    FaceChanged();
}

void TAnalogGauge::SetCenterRadius(int value)
{
    m_centerRadius = value;
    FaceChanged();
}

void TAnalogGauge::SetCircleColor(const QColor &value)
{
    m_circleColor = value;
    FaceChanged();
}

void TAnalogGauge::SetArrowWidth(int value)
{
    m_arrowWidth = std::clamp(value, 1, 5);
    UpdatePosition();
}

void TAnalogGauge::SetCaption(const QString &value)
{
    m_caption = value;
    FaceChanged();
}

void TAnalogGauge::resizeEvent(QResizeEvent *event)
{
    // Both images follow the control's size; the minimum size keeps it at
    // 60 × 50 or more.
    MakeFace();
    FaceChanged();
    QWidget::resizeEvent(event);
}

void TAnalogGauge::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange && !m_face.isNull())
        FaceChanged();
}

void TAnalogGauge::paintEvent(QPaintEvent *)
{
    // Moved to a screen of another density: the face again at its ratio.
    if (!m_face.isNull() && m_face.devicePixelRatio() != devicePixelRatioF()) {
        MakeFace();
        DrawFace();
        ComposeView();
    }
    QPainter painter(this);
    painter.drawImage(0, 0, m_view);
}

void TAnalogGauge::DrawFace()
{
    if (m_face.isNull())
        MakeFace();
    ++m_faceDraws;
    const int W = width();
    const int H = height();
    const int M = m_margin;
    QPainter p(&m_face);
    p.setFont(font());
    p.fillRect(rect(), m_faceColor);
    p.setBrush(m_faceColor);

    if (m_faceOptions.contains(ShowFrame)) {
        if (m_faceOptions.contains(Show3D)) {
            p.setPen(QPen(QColor(128, 128, 128), 2));
            p.drawPolyline(QPolygon({QPoint(W, 0), QPoint(0, 0), QPoint(0, H)}));
            p.setPen(QPen(Qt::white, 2));
            p.drawPolyline(QPolygon({QPoint(0, H), QPoint(W, H), QPoint(W, 0)}));
        } else {
            p.setPen(QPen(Qt::black, 1));
            p.drawRect(QRect(QPoint(0, 0), QPoint(W - 1, H - 1)));
        }
    }
    if (m_faceOptions.contains(ShowMargin)) {
        p.setPen(QPen(Qt::black, 1));
        p.drawRect(QRect(QPoint(M, M), QPoint(W - M - 1, H - M - 1)));
    }

    const GaugeGeometry g = gaugeGeometry(m_style, m_angle, W, H, M, false);
    m_angle = g.angle;
    m_radius = g.radius;
    const int R = g.radius;
    const QFontMetrics metrics(p.font());
    p.setBackgroundMode(Qt::OpaqueMode);
    p.setBackground(m_faceColor);

    if (m_faceOptions.contains(ShowCaption)) {
        const QPoint at = captionPosition(g, metrics.horizontalAdvance(m_caption));
        p.setPen(palette().color(QPalette::WindowText));
        p.drawText(QRect(at, QSize(metrics.horizontalAdvance(m_caption) + 1, metrics.height())),
                   Qt::AlignLeft | Qt::AlignTop, m_caption);
    }

    // Zones: arcs of the scale circle, angles measured the toolkit's way.
    const QRect arcSquare(g.wholeCx - R, g.wholeCy - R, 2 * R, 2 * R);
    auto zone = [&](const QColor &color, double from, double to) {
        const double a = valueAngle(from, m_angle, m_scale, g.phi0);
        const double b = valueAngle(to, m_angle, m_scale, g.phi0);
        p.setPen(QPen(color, 4, Qt::SolidLine, Qt::FlatCap));
        p.setBrush(Qt::NoBrush);
        p.drawArc(arcSquare, qRound((180.0 - a) * 16), qRound(-(b - a) * 16));
    };
    if (m_faceOptions.contains(ShowIndicatorMax))
        zone(QColor(255, 0, 0), m_indMaximum, m_scale);
    if (m_faceOptions.contains(ShowIndicatorMid) && m_indMinimum < m_indMaximum)
        zone(QColor(255, 255, 0), m_indMinimum, m_indMaximum);
    if (m_faceOptions.contains(ShowIndicatorMin))
        zone(QColor(0, 128, 0), 0, m_indMinimum);

    p.setPen(QPen(Qt::black, 1));
    p.setBrush(m_faceColor);
    // No main ticks means nothing to divide the scale by.
    if (m_numberMainTicks <= 0)
        return;
    const int n5 = m_numberMainTicks * 5;
    if (m_faceOptions.contains(ShowSubTicks)) {
        for (int i = 0; i <= n5; ++i) {
            const double theta = double(int64_t(i) * m_angle) / n5 + g.phi0;
            p.drawLine(pointAt(g, theta, R - m_lengthSubTicks), pointAt(g, theta, R));
        }
    }
    const std::vector<int> numbers = mainTickNumbers(m_scale, m_numberMainTicks);
    for (int i = 0; i <= m_numberMainTicks; ++i) {
        const double theta = double(int64_t(i) * m_angle) / m_numberMainTicks + g.phi0;
        if (m_faceOptions.contains(ShowMainTicks)) {
            p.setPen(QPen(Qt::black, 1));
            p.drawLine(pointAt(g, theta, R - m_lengthMainTicks), pointAt(g, theta, R));
        }
        if (m_faceOptions.contains(ShowCircles)) {
            const QPoint c = pointAt(g, theta, R);
            p.setPen(QPen(Qt::black, 1));
            p.setBrush(m_circleColor);
            p.drawEllipse(c, m_circlesRadius, m_circlesRadius);
            p.setBrush(m_faceColor);
        }
        if (m_faceOptions.contains(ShowValues)) {
            const QString text = QString::number(numbers[size_t(i)]);
            const int width = metrics.horizontalAdvance(text);
            const QPoint at = numberPosition(g, i, m_numberMainTicks, m_lengthMainTicks, width);
            p.setPen(palette().color(QPalette::WindowText));
            p.drawText(QRect(at, QSize(width + 1, metrics.height())), Qt::AlignLeft | Qt::AlignTop, text);
        }
    }
}

void TAnalogGauge::DrawArrow(double position)
{
    ++m_arrowDraws;
    const GaugeGeometry g = gaugeGeometry(m_style, m_angle, width(), height(), m_margin, true);
    m_radius = g.radius;
    QPainter p(&m_view);
    p.setRenderHint(QPainter::Antialiasing, false);
    const QPen needle(Qt::black, m_arrowWidth);
    p.setPen(needle);
    const double theta = m_angle * position / m_scale + g.phi0;
    const QPoint centre(g.wholeCx, g.wholeCy);
    p.drawLine(centre, pointAt(g, theta, g.radius));
    if (m_faceOptions.contains(ShowCenter)) {
        p.setBrush(m_centerColor);
        p.drawEllipse(centre, m_centerRadius, m_centerRadius);
    }
}

} // namespace tarvex::widgets
