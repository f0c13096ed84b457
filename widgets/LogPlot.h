// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "monitor/LogReader.h"

#include <QPixmap>
#include <QWidget>
#include <array>
#include <functional>

namespace tarvex::widgets {

// The plots' words in the language chosen: the channels in the order they
// are drawn (speed, coolant, throttle, load, lambda, injection, advance),
// three units, the readout's record ("%1", "%2" seconds) and the cell strip.
struct PlotTexts {
    std::array<QString, 7> channels;
    QString rpm;
    QString ms;
    QString seconds;
    QString record;
    QString cell;
};

// The channels of a log, one above the other on a shared record axis, with
// the working point as a strip. The wheel zooms, dragging pans, and the
// cursor reads out every channel at the record under the mouse.
class TLogPlot : public QWidget {
public:
    explicit TLogPlot(monitor::LogData log, QWidget *parent = nullptr);

    void SetTexts(PlotTexts texts);

    // The records in view, first and last (may be fractional).
    double ViewStart() const { return m_start; }
    double ViewEnd() const { return m_end; }
    void SetView(double start, double end);
    void SetCursorRecord(int record);
    int CursorRecord() const { return m_cursor; }
    // Whether the mouse moves the cursor (it does unless a log is playing),
    // and who is told when it does.
    void SetFollowMouse(bool follow) { m_followMouse = follow; }
    std::function<void(int record)> OnCursorMoved;
    // The readout at the cursor, one line per channel.
    QStringList Readout() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    QRect plotArea() const;
    // Everything but the cursor, drawn again only when the view, the texts
    // or the size change: a cursor that moves costs a copy.
    void PaintCurves(QPainter &p, int first, int last);
    QString UnitText(int channel) const;
    double recordAt(int x) const;
    int xOf(double record) const;

    monitor::LogData m_log;
    PlotTexts m_texts;
    double m_start = 0;
    double m_end = 1;
    int m_cursor = -1;
    bool m_dragging = false;
    bool m_followMouse = true;
    QPixmap m_curves;
    bool m_curvesStale = true;
    int m_dragX = 0;
    double m_dragStart = 0;
};

} // namespace tarvex::widgets
