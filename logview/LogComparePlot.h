// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "monitor/LogReader.h"
#include "widgets/LogPlot.h"

#include <QPixmap>
#include <QWidget>
#include <array>
#include <functional>
#include <optional>

namespace tarvex::logview {

// The words of the comparison's plots beyond the plots' own.
struct ComparePlotTexts {
    widgets::PlotTexts plot;
    QString readout;      // "%1" seconds, "%2" and "%3" the records before and after
    QString before;       // the legend's names of the logs
    QString after;
    QString momentBefore; // the menu's entries
    QString momentAfter;
    QString starts;
};

// Two logs' channels on one time axis, the log before in one colour and the
// log after in another, each log's record at its moment (its start unless
// the fitter picks one) at zero seconds. The wheel zooms, dragging pans, the
// cursor reads out both logs at its time; right-click picks a log's moment.
class TLogComparePlot : public QWidget {
public:
    enum Which { Before, After };

    explicit TLogComparePlot(QWidget *parent = nullptr);

    // The logs are the owner's and outlive the plot, or are set again.
    void SetLogs(const monitor::LogData *before, const monitor::LogData *after);
    void SetTexts(ComparePlotTexts texts);
    // The record of each log at zero seconds.
    void SetMoments(int before, int after);
    int Moment(Which which) const { return m_moments[which]; }
    // The seconds in view, from zero; ShowAll shows both logs whole.
    void SetView(double start, double end);
    void ShowAll();
    double ViewStart() const { return m_start; }
    double ViewEnd() const { return m_end; }
    void SetCursorSeconds(double seconds);
    std::optional<double> CursorSeconds() const { return m_cursor; }
    // The record of a log at a time, none beyond its ends.
    std::optional<int> RecordAt(Which which, double seconds) const;
    // The readout at the cursor: the time and records, then each channel
    // before / after.
    QStringList Readout() const;
    static QColor LogColor(Which which);

    // A log's moment picked from the menu: its record under the cursor.
    std::function<void(Which which, int record)> OnMoment;
    std::function<void()> OnStarts;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    QRect PlotArea() const;
    double SecondsAt(int x) const;
    int XOf(double seconds) const;
    const monitor::LogData *Log(Which which) const { return which == Before ? m_before : m_after; }
    // Everything but the cursor, drawn again only when the view, the texts,
    // the logs or the size change.
    void PaintCurves(QPainter &p);
    void PaintAxis(QPainter &p, const QRect &area);
    void Stale();

    const monitor::LogData *m_before = nullptr;
    const monitor::LogData *m_after = nullptr;
    ComparePlotTexts m_texts;
    std::array<int, 2> m_moments{};
    double m_start = 0;
    double m_end = 1;
    std::optional<double> m_cursor;
    bool m_dragging = false;
    int m_dragX = 0;
    double m_dragStart = 0;
    QPixmap m_curves;
    bool m_curvesStale = true;
};

} // namespace tarvex::logview
