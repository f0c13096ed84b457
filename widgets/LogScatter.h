// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "monitor/LogAnalysis.h"

#include <QPixmap>
#include <QWidget>

namespace tarvex::widgets {

// The records of a log as points of engine speed against load, coloured by
// the lambda reading as the window's lambda gauge colours it, over the fuel
// map's cells; the record under the mouse is read out.
class TLogScatter : public QWidget {
public:
    explicit TLogScatter(const monitor::LogData &log, QWidget *parent = nullptr);

    void SetSensor(monitor::SensorKind sensor);
    // The records shown, first to last.
    void SetRange(int first, int last);
    void SetLanguage(int language);
    // The record drawn nearest to a point of the widget, -1 for none near.
    int RecordAt(const QPoint &at) const;
    int CursorRecord() const { return m_cursor; }
    QString Readout() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    QRect PlotArea() const;
    QPointF PointOf(double rpm, double load) const;
    void Draw();

    const monitor::LogData &m_log;
    monitor::SensorKind m_sensor = monitor::SensorKind::WideBand;
    int m_first = 0;
    int m_last = -1;
    int m_language = 0;
    int m_cursor = -1;
    QPixmap m_picture;
};

} // namespace tarvex::widgets
