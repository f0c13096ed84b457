// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/LogPlot.h"
#include "widgets/LogChannels.h"
#include "link/Protocol.h"
#include "monitor/PlotGeometry.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <functional>

using namespace tarvex::monitor;

namespace tarvex::widgets {

namespace {

const std::vector<LogChannel> &channels()
{
    return logChannels();
}

constexpr int kLeft = 110;
constexpr int kRight = 16;
constexpr int kTop = 28;
constexpr int kBottom = 34;
constexpr int kStrip = 18;
constexpr double kSecondsPerRecord = 0.2; // two live-data ticks of about 100 ms

} // namespace

TLogPlot::TLogPlot(LogData log, QWidget *parent) : QWidget(parent), m_log(std::move(log))
{
    setMouseTracking(true);
    setMinimumSize(480, 360);
    setWindowTitle(link::fromCp1251(m_log.version));
    SetView(0, std::max<double>(1, double(m_log.records.size()) - 1));
}

void TLogPlot::SetTexts(PlotTexts texts)
{
    m_texts = std::move(texts);
    m_curvesStale = true;
    update();
}

QString TLogPlot::UnitText(int channel) const
{
    return unitText(channels()[size_t(channel)].unit, m_texts);
}

void TLogPlot::SetView(double start, double end)
{
    const double last = std::max<double>(1, double(m_log.records.size()) - 1);
    const double span = std::clamp(end - start, 4.0, std::max(4.0, last));
    m_start = std::clamp(start, 0.0, std::max(0.0, last - span));
    m_end = m_start + span;
    m_curvesStale = true;
    update();
}

void TLogPlot::SetCursorRecord(int record)
{
    m_cursor = m_log.records.empty() ? -1 : std::clamp(record, 0, int(m_log.records.size()) - 1);
    update();
}

QStringList TLogPlot::Readout() const
{
    QStringList lines;
    if (m_cursor < 0)
        return lines;
    const LogRecord &r = m_log.records[size_t(m_cursor)];
    lines << m_texts.record.arg(m_cursor + 1).arg(m_cursor * kSecondsPerRecord, 0, 'f', 1);
    for (int c = 0; c < int(channels().size()); ++c) {
        const LogChannel &channel = channels()[size_t(c)];
        const std::optional<double> v = channel.value(r);
        lines << QStringLiteral("%1: %2 %3")
                     .arg(m_texts.channels[size_t(c)],
                          v ? QString::number(*v, 'f', channel.decimals) : QStringLiteral("–"), UnitText(c))
                     .trimmed();
    }
    lines << QStringLiteral("%1: %2").arg(m_texts.cell, QString::fromLatin1(r[LogField::Pos].value_or("–")));
    return lines;
}

QRect TLogPlot::plotArea() const
{
    return rect().adjusted(kLeft, kTop, -kRight, -kBottom - kStrip);
}

double TLogPlot::recordAt(int x) const
{
    return PlotAxis{plotArea(), m_start, m_end}.valueAt(x);
}

int TLogPlot::xOf(double record) const
{
    return PlotAxis{plotArea(), m_start, m_end}.xOf(record);
}

void TLogPlot::resizeEvent(QResizeEvent *event)
{
    m_curvesStale = true;
    QWidget::resizeEvent(event);
}

void TLogPlot::paintEvent(QPaintEvent *)
{
    const QRect area = plotArea();
    const int first = std::max(0, int(std::floor(m_start)));
    const int last = std::min(int(m_log.records.size()) - 1, int(std::ceil(m_end)));
    const qreal ratio = devicePixelRatioF();
    if (m_curvesStale || m_curves.size() != size() * ratio) {
        m_curves = QPixmap(size() * ratio);
        m_curves.setDevicePixelRatio(ratio);
        QPainter curves(&m_curves);
        curves.setFont(font());
        PaintCurves(curves, first, last);
        m_curvesStale = false;
    }
    QPainter p(this);
    p.drawPixmap(0, 0, m_curves);
    const QRect strip(area.left(), area.bottom() + 2, area.width(), kStrip - 4);
    if (m_cursor >= 0 && m_cursor >= first && m_cursor <= last) {
        const int x = xOf(m_cursor);
        p.setPen(QPen(Qt::black, 1, Qt::DashLine));
        p.drawLine(x, area.top(), x, strip.bottom());
        paintReadout(p, font(), x, area, Readout());
    }
}

void TLogPlot::PaintCurves(QPainter &p, int first, int last)
{
    p.fillRect(rect(), Qt::white);
    p.setPen(Qt::black);
    p.drawText(QRect(8, 4, width() - 16, kTop - 6), Qt::AlignLeft | Qt::AlignVCenter, windowTitle());
    const QRect area = plotArea();
    const auto &list = channels();
    const int rows = int(list.size());
    const double rowHeight = double(area.height()) / rows;

    for (int c = 0; c < rows; ++c) {
        const QRect row(area.left(), area.top() + int(c * rowHeight), area.width(), int(rowHeight) - 4);
        // Scale each channel to what is in view.
        double lo = 1e300, hi = -1e300;
        for (int i = first; i <= last; ++i)
            if (const auto v = list[size_t(c)].value(m_log.records[size_t(i)])) {
                lo = std::min(lo, *v);
                hi = std::max(hi, *v);
            }
        if (!paintChannelRow(p, row, kLeft, QStringLiteral("%1\n%2").arg(m_texts.channels[size_t(c)], UnitText(c)),
                             list[size_t(c)].color, lo, hi))
            continue;
        p.setPen(QPen(list[size_t(c)].color, 1.5));
        p.setRenderHint(QPainter::Antialiasing);
        QPointF previous;
        bool have = false;
        for (int i = first; i <= last; ++i) {
            const auto v = list[size_t(c)].value(m_log.records[size_t(i)]);
            if (!v) {
                have = false; // a gap where the tick failed
                continue;
            }
            const QPointF point(xOf(i), row.bottom() - (*v - lo) / (hi - lo) * (row.height() - 4) - 2);
            if (have)
                p.drawLine(previous, point);
            previous = point;
            have = true;
        }
        p.setRenderHint(QPainter::Antialiasing, false);
    }

    // The working point as a strip: one colour per cell.
    const QRect strip(area.left(), area.bottom() + 2, area.width(), kStrip - 4);
    p.setPen(Qt::black);
    p.drawText(QRect(4, strip.top(), kLeft - 8, strip.height()), Qt::AlignLeft | Qt::AlignVCenter, m_texts.cell);
    for (int i = first; i <= last; ++i) {
        const auto cell = m_log.records[size_t(i)].number(LogField::Pos);
        if (!cell)
            continue;
        const int x0 = std::max(area.left(), xOf(i - 0.5));
        const int x1 = std::min(area.right(), xOf(i + 0.5));
        p.fillRect(QRect(x0, strip.top(), std::max(1, x1 - x0), strip.height()),
                   QColor::fromHsv(int(*cell) * 360 / 257 % 360, 160, 230));
    }

    // Record axis with an approximate time scale.
    p.setPen(Qt::black);
    const int ticks = 8;
    const QFontMetrics metrics(p.font());
    QStringList texts;
    std::vector<AxisLabel> labels;
    for (int t = 0; t <= ticks; ++t) {
        const double record = m_start + (m_end - m_start) * t / ticks;
        const int x = xOf(record);
        p.drawLine(x, strip.bottom() + 2, x, strip.bottom() + 6);
        texts << QStringLiteral("%1 (%2 %3)")
                     .arg(int(std::lround(record)) + 1)
                     .arg(record * kSecondsPerRecord, 0, 'f', 1)
                     .arg(m_texts.seconds);
        labels.push_back({x, metrics.horizontalAdvance(texts.back())});
    }
    const std::vector<std::optional<int>> lefts = axisLabelLefts(labels, 2, width() - 2, metrics.averageCharWidth());
    for (size_t t = 0; t < lefts.size(); ++t)
        if (lefts[t])
            p.drawText(QRect(*lefts[t], strip.bottom() + 6, labels[t].width, metrics.height()), Qt::AlignLeft,
                       texts[int(t)]);
}

void TLogPlot::wheelEvent(QWheelEvent *event)
{
    const auto [start, end] = PlotAxis{plotArea(), m_start, m_end}.zoomedAt(int(event->position().x()),
                                                                          event->angleDelta().y() > 0);
    SetView(start, end);
    event->accept();
}

void TLogPlot::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        m_dragging = true;
        m_dragX = int(event->position().x());
        m_dragStart = m_start;
    }
}

void TLogPlot::mouseMoveEvent(QMouseEvent *event)
{
    const int x = int(event->position().x());
    if (m_dragging) {
        const double start = m_dragStart - PlotAxis{plotArea(), m_start, m_end}.dragged(x - m_dragX);
        SetView(start, start + (m_end - m_start));
    }
    if (!m_followMouse)
        return;
    SetCursorRecord(int(std::lround(recordAt(x))));
    if (OnCursorMoved)
        OnCursorMoved(m_cursor);
}

void TLogPlot::mouseReleaseEvent(QMouseEvent *)
{
    m_dragging = false;
}

} // namespace tarvex::widgets
