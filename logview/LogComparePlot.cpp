// SPDX-License-Identifier: GPL-3.0-or-later
#include "logview/LogComparePlot.h"
#include "monitor/LogAnalysis.h"
#include "widgets/LogChannels.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

using namespace tarvex::monitor;
using tarvex::widgets::LogChannel;
using tarvex::widgets::logChannels;

namespace tarvex::logview {

namespace {
constexpr int kLeft = 110;
constexpr int kRight = 16;
constexpr int kTop = 28;
constexpr int kBottom = 24;
constexpr double kSecondsPerRecord = 1.0 / kRecordsPerSecond;
// Steps of the time axis, in seconds; the first that leaves room for a label.
constexpr double kSteps[] = {0.2, 0.5, 1, 2, 5, 10, 15, 30, 60, 120, 300, 600, 900, 1800, 3600, 7200};
constexpr int kLabelRoom = 80;

QString valueText(const std::optional<double> &v, int decimals)
{
    return v ? QString::number(*v, 'f', decimals) : QStringLiteral("–");
}
} // namespace

TLogComparePlot::TLogComparePlot(QWidget *parent) : QWidget(parent)
{
    setMouseTracking(true);
    setMinimumSize(480, 360);
}

QColor TLogComparePlot::LogColor(Which which)
{
    return which == Before ? QColor(0, 90, 200) : QColor(225, 110, 0);
}

void TLogComparePlot::Stale()
{
    m_curvesStale = true;
    update();
}

void TLogComparePlot::SetLogs(const LogData *before, const LogData *after)
{
    m_before = before;
    m_after = after;
    Stale();
}

void TLogComparePlot::SetTexts(ComparePlotTexts texts)
{
    m_texts = std::move(texts);
    Stale();
}

void TLogComparePlot::SetMoments(int before, int after)
{
    m_moments = {before, after};
    Stale();
}

void TLogComparePlot::SetView(double start, double end)
{
    const double span = std::max(end - start, 4 * kSecondsPerRecord);
    m_start = start;
    m_end = start + span;
    Stale();
}

void TLogComparePlot::ShowAll()
{
    double first = 0, last = 0;
    for (Which which : {Before, After})
        if (const LogData *log = Log(which)) {
            first = std::min(first, -m_moments[which] * kSecondsPerRecord);
            last = std::max(last, (int(log->records.size()) - 1 - m_moments[which]) * kSecondsPerRecord);
        }
    SetView(first, last);
}

void TLogComparePlot::SetCursorSeconds(double seconds)
{
    m_cursor = seconds;
    update();
}

std::optional<int> TLogComparePlot::RecordAt(Which which, double seconds) const
{
    const LogData *log = Log(which);
    const int record = int(std::lround(seconds / kSecondsPerRecord)) + m_moments[which];
    if (!log || record < 0 || record >= int(log->records.size()))
        return std::nullopt;
    return record;
}

QStringList TLogComparePlot::Readout() const
{
    if (!m_cursor)
        return {};
    const std::optional<int> before = RecordAt(Before, *m_cursor);
    const std::optional<int> after = RecordAt(After, *m_cursor);
    auto recordText = [](const std::optional<int> &r) { return r ? QString::number(*r + 1) : QStringLiteral("–"); };
    QStringList lines{m_texts.readout.arg(QString::number(*m_cursor, 'f', 1), recordText(before), recordText(after))};
    const auto &channels = logChannels();
    for (size_t c = 0; c < channels.size(); ++c) {
        auto value = [&](Which which, const std::optional<int> &record) {
            return valueText(record ? channels[c].value(Log(which)->records[size_t(*record)]) : std::nullopt,
                             channels[c].decimals);
        };
        lines << QStringLiteral("%1: %2 / %3 %4")
                     .arg(m_texts.plot.channels[c], value(Before, before), value(After, after),
                          widgets::unitText(channels[c].unit, m_texts.plot))
                     .trimmed();
    }
    return lines;
}

QRect TLogComparePlot::PlotArea() const
{
    return rect().adjusted(kLeft, kTop, -kRight, -kBottom);
}

double TLogComparePlot::SecondsAt(int x) const
{
    return widgets::PlotAxis{PlotArea(), m_start, m_end}.valueAt(x);
}

int TLogComparePlot::XOf(double seconds) const
{
    return widgets::PlotAxis{PlotArea(), m_start, m_end}.xOf(seconds);
}

void TLogComparePlot::resizeEvent(QResizeEvent *event)
{
    m_curvesStale = true;
    QWidget::resizeEvent(event);
}

void TLogComparePlot::paintEvent(QPaintEvent *)
{
    const qreal ratio = devicePixelRatioF();
    if (m_curvesStale || m_curves.size() != size() * ratio) {
        m_curves = QPixmap(size() * ratio);
        m_curves.setDevicePixelRatio(ratio);
        QPainter curves(&m_curves);
        curves.setFont(font());
        PaintCurves(curves);
        m_curvesStale = false;
    }
    QPainter p(this);
    p.drawPixmap(0, 0, m_curves);
    const QRect area = PlotArea();
    if (!m_cursor || *m_cursor < m_start || *m_cursor > m_end)
        return;
    const int x = XOf(*m_cursor);
    p.setPen(QPen(Qt::black, 1, Qt::DashLine));
    p.drawLine(x, area.top(), x, area.bottom());
    widgets::paintReadout(p, font(), x, area, Readout());
}

void TLogComparePlot::PaintCurves(QPainter &p)
{
    p.fillRect(rect(), Qt::white);
    // The legend: each log's name in its colour.
    int legendX = 8;
    for (Which which : {Before, After}) {
        const QString name = which == Before ? m_texts.before : m_texts.after;
        p.fillRect(QRect(legendX, kTop / 2 - 2, 24, 4), LogColor(which));
        p.setPen(Qt::black);
        const QRect text(legendX + 30, 4, fontMetrics().horizontalAdvance(name) + 4, kTop - 6);
        p.drawText(text, Qt::AlignLeft | Qt::AlignVCenter, name);
        legendX = text.right() + 24;
    }
    const QRect area = PlotArea();
    const auto &channels = logChannels();
    const int rows = int(channels.size());
    const double rowHeight = double(area.height()) / rows;
    // Each log's records in view.
    std::array<std::pair<int, int>, 2> spans{};
    for (Which which : {Before, After}) {
        const int count = Log(which) ? int(Log(which)->records.size()) : 0;
        spans[which] = {std::max(0, int(std::floor(m_start / kSecondsPerRecord)) + m_moments[which]),
                        std::min(count - 1, int(std::ceil(m_end / kSecondsPerRecord)) + m_moments[which])};
    }
    for (int c = 0; c < rows; ++c) {
        const LogChannel &channel = channels[size_t(c)];
        const QRect row(area.left(), area.top() + int(c * rowHeight), area.width(), int(rowHeight) - 4);
        // One scale for both logs: what is in view of either.
        double lo = 1e300, hi = -1e300;
        for (Which which : {Before, After})
            for (int i = spans[which].first; i <= spans[which].second; ++i)
                if (const auto v = channel.value(Log(which)->records[size_t(i)])) {
                    lo = std::min(lo, *v);
                    hi = std::max(hi, *v);
                }
        const QString label =
            QStringLiteral("%1\n%2").arg(m_texts.plot.channels[size_t(c)], widgets::unitText(channel.unit, m_texts.plot));
        if (!widgets::paintChannelRow(p, row, kLeft, label, channel.color, lo, hi))
            continue;
        p.setRenderHint(QPainter::Antialiasing);
        for (Which which : {Before, After}) {
            p.setPen(QPen(LogColor(which), 1.5));
            QPolygonF line;
            auto flush = [&] {
                p.drawPolyline(line);
                line.clear();
            };
            for (int i = spans[which].first; i <= spans[which].second; ++i) {
                const auto v = channel.value(Log(which)->records[size_t(i)]);
                if (!v) {
                    flush(); // a gap where the tick failed
                    continue;
                }
                line << QPointF(XOf((i - m_moments[which]) * kSecondsPerRecord),
                                row.bottom() - (*v - lo) / (hi - lo) * (row.height() - 4) - 2);
            }
            flush();
        }
        p.setRenderHint(QPainter::Antialiasing, false);
    }
    // The moment both logs are aligned at.
    if (m_start <= 0 && m_end >= 0) {
        p.setPen(QPen(QColor(120, 120, 120), 1, Qt::DotLine));
        p.drawLine(XOf(0), area.top(), XOf(0), area.bottom());
    }
    PaintAxis(p, area);
}

void TLogComparePlot::PaintAxis(QPainter &p, const QRect &area)
{
    const double perSecond = area.width() / std::max(1e-9, m_end - m_start);
    double step = kSteps[std::size(kSteps) - 1];
    for (double s : kSteps)
        if (s * perSecond >= kLabelRoom) {
            step = s;
            break;
        }
    p.setPen(Qt::black);
    const QFontMetrics fm(font());
    for (double t = std::ceil(m_start / step) * step; t <= m_end + 1e-9; t += step) {
        const int x = XOf(t);
        p.drawLine(x, area.bottom() + 2, x, area.bottom() + 6);
        const QString label = QStringLiteral("%1 %2").arg(QString::number(t, 'f', step < 1 ? 1 : 0), m_texts.plot.seconds);
        const int w = fm.horizontalAdvance(label);
        // A label that would leave the widget is left out, not moved onto its neighbour.
        if (x - w / 2 < kLeft - 40 || x + w / 2 > width() - 2)
            continue;
        p.drawText(QRect(x - w / 2 - 2, area.bottom() + 6, w + 4, fm.height()), Qt::AlignHCenter, label);
    }
}

void TLogComparePlot::wheelEvent(QWheelEvent *event)
{
    const auto [start, end] = widgets::PlotAxis{PlotArea(), m_start, m_end}.zoomedAt(int(event->position().x()),
                                                                                   event->angleDelta().y() > 0);
    SetView(start, end);
    event->accept();
}

void TLogComparePlot::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    m_dragging = true;
    m_dragX = int(event->position().x());
    m_dragStart = m_start;
}

void TLogComparePlot::mouseMoveEvent(QMouseEvent *event)
{
    const int x = int(event->position().x());
    if (m_dragging) {
        const double start = m_dragStart - widgets::PlotAxis{PlotArea(), m_start, m_end}.dragged(x - m_dragX);
        SetView(start, start + (m_end - m_start));
    }
    SetCursorSeconds(SecondsAt(x));
}

void TLogComparePlot::mouseReleaseEvent(QMouseEvent *)
{
    m_dragging = false;
}

void TLogComparePlot::contextMenuEvent(QContextMenuEvent *event)
{
    const double at = SecondsAt(event->pos().x());
    QMenu menu(this);
    for (Which which : {Before, After}) {
        QAction *action = menu.addAction(which == Before ? m_texts.momentBefore : m_texts.momentAfter);
        const std::optional<int> record = RecordAt(which, at);
        action->setEnabled(record.has_value());
        connect(action, &QAction::triggered, this, [this, which, record] {
            if (OnMoment && record)
                OnMoment(which, *record);
        });
    }
    connect(menu.addAction(m_texts.starts), &QAction::triggered, this, [this] {
        if (OnStarts)
            OnStarts();
    });
    menu.exec(event->globalPos());
}

} // namespace tarvex::logview
