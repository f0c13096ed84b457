#pragma once

#include "monitor/LogReader.h"

#include <QWidget>

namespace tarvex::monitor {

// The channels of a log, one above the other on a shared record axis, with
// the working point as a strip. The wheel zooms, dragging pans, and the
// cursor reads out every channel at the record under the mouse.
class TLogPlot : public QWidget {
public:
    explicit TLogPlot(LogData log, QWidget *parent = nullptr);

    // The records in view, first and last (may be fractional).
    double ViewStart() const { return m_start; }
    double ViewEnd() const { return m_end; }
    void SetView(double start, double end);
    void SetCursorRecord(int record);
    int CursorRecord() const { return m_cursor; }
    // The readout at the cursor, one line per channel.
    QStringList Readout() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    QRect plotArea() const;
    double recordAt(int x) const;
    int xOf(double record) const;

    LogData m_log;
    double m_start = 0;
    double m_end = 1;
    int m_cursor = -1;
    bool m_dragging = false;
    int m_dragX = 0;
    double m_dragStart = 0;
};

} // namespace tarvex::monitor
