// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/LogScatter.h"
#include "lang/RunTimeTexts.h"
#include "maps/MapScale.h"
#include "monitor/LiveData.h"

#include <QMouseEvent>
#include <QPainter>
#include <cmath>

using namespace tarvex::monitor;

namespace tarvex::widgets {

namespace {
constexpr double kTopSpeed = 7000;
constexpr double kTopLoad = 1024;
constexpr double kLoadPerRow = 64; // the load axis split into the map's 16 rows
} // namespace

TLogScatter::TLogScatter(const LogData &log, QWidget *parent) : QWidget(parent), m_log(log)
{
    setMouseTracking(true);
    setMinimumSize(360, 280);
}

void TLogScatter::SetSensor(SensorKind sensor)
{
    m_sensor = sensor;
    Draw();
}

void TLogScatter::SetRange(int first, int last)
{
    m_first = first;
    m_last = last;
    Draw();
}

void TLogScatter::SetLanguage(int language)
{
    m_language = language;
    Draw();
}

QRect TLogScatter::PlotArea() const
{
    return rect().adjusted(56, 16, -16, -44);
}

QPointF TLogScatter::PointOf(double rpm, double load) const
{
    const QRect a = PlotArea();
    return QPointF(a.left() + rpm / kTopSpeed * a.width(), a.bottom() - load / kTopLoad * a.height());
}

void TLogScatter::resizeEvent(QResizeEvent *)
{
    Draw();
}

void TLogScatter::Draw()
{
    if (size().isEmpty())
        return;
    QPixmap picture(size());
    picture.fill(Qt::white);
    QPainter p(&picture);
    const QRect a = PlotArea();
    // The map's cells: columns between the scale's speeds, rows by load.
    p.setPen(QColor(215, 215, 215));
    for (int column = 0; column < 15; ++column) {
        const double border = (maps::columnSpeed(column) + maps::columnSpeed(column + 1)) / 2.0;
        p.drawLine(PointOf(border, 0), PointOf(border, kTopLoad));
    }
    for (int row = 1; row < 16; ++row)
        p.drawLine(PointOf(0, row * kLoadPerRow), PointOf(kTopSpeed, row * kLoadPerRow));
    p.setPen(Qt::black);
    p.drawRect(a);
    for (int column = 0; column < 16; column += 3)
        p.drawText(QRectF(PointOf(maps::columnSpeed(column), 0) + QPointF(-30, 4), QSizeF(60, 14)), Qt::AlignHCenter,
                   maps::speedCaption(column));
    for (int load = 0; load <= 1024; load += 256)
        p.drawText(QRectF(PointOf(0, load) + QPointF(-50, -7), QSizeF(44, 14)), Qt::AlignRight, QString::number(load));
    p.drawText(QRect(a.left(), a.bottom() + 20, a.width(), 16), Qt::AlignHCenter,
               lang::runTimeText(lang::Text::ScatterSpeed, m_language));
    p.save();
    p.translate(12, a.center().y());
    p.rotate(-90);
    p.drawText(QRect(-60, -8, 120, 16), Qt::AlignHCenter, lang::runTimeText(lang::Text::ScatterLoad, m_language));
    p.restore();

    const int last = m_last < 0 ? int(m_log.records.size()) - 1 : std::min(m_last, int(m_log.records.size()) - 1);
    p.setPen(Qt::NoPen);
    for (int i = std::max(0, m_first); i <= last; ++i) {
        const LogRecord &r = m_log.records[size_t(i)];
        const auto rpm = r.number(LogField::Rpm);
        const auto load = r.number(LogField::Map);
        const auto &lambda = r[LogField::Lambda];
        if (!rpm || !load || !lambda)
            continue;
        p.setBrush(lambdaDisplay(*lambda, m_sensor == SensorKind::WideBand).face);
        p.drawEllipse(PointOf(*rpm, *load), 2.5, 2.5);
    }
    m_picture = picture;
    update();
}

int TLogScatter::RecordAt(const QPoint &at) const
{
    int best = -1;
    double bestDistance = 8 * 8;
    const int last = m_last < 0 ? int(m_log.records.size()) - 1 : std::min(m_last, int(m_log.records.size()) - 1);
    for (int i = std::max(0, m_first); i <= last; ++i) {
        const LogRecord &r = m_log.records[size_t(i)];
        const auto rpm = r.number(LogField::Rpm);
        const auto load = r.number(LogField::Map);
        if (!rpm || !load)
            continue;
        const QPointF d = PointOf(*rpm, *load) - QPointF(at);
        const double distance = d.x() * d.x() + d.y() * d.y();
        if (distance < bestDistance) {
            bestDistance = distance;
            best = i;
        }
    }
    return best;
}

QString TLogScatter::Readout() const
{
    if (m_cursor < 0)
        return QString();
    const LogRecord &r = m_log.records[size_t(m_cursor)];
    const auto lambda = r.number(LogField::Lambda);
    const QString mixture = !lambda ? QStringLiteral("–")
                          : m_sensor == SensorKind::WideBand
                              ? QStringLiteral("AFR %1").arg(airFuelRatio(*lambda), 0, 'f', 1)
                              : QStringLiteral("λ %1").arg(*lambda);
    return lang::runTimeText(lang::Text::ScatterRecord, m_language)
        .arg(m_cursor + 1)
        .arg(r.number(LogField::Rpm).value_or(0))
        .arg(r.number(LogField::Map).value_or(0))
        .arg(mixture)
        .arg(QString::fromLatin1(r[LogField::Pos].value_or("–")));
}

void TLogScatter::mouseMoveEvent(QMouseEvent *event)
{
    m_cursor = RecordAt(event->position().toPoint());
    update();
}

void TLogScatter::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.drawPixmap(0, 0, m_picture);
    if (m_cursor < 0)
        return;
    const LogRecord &r = m_log.records[size_t(m_cursor)];
    const QPointF at = PointOf(r.number(LogField::Rpm).value_or(0), r.number(LogField::Map).value_or(0));
    p.setPen(QPen(Qt::black, 1.5));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(at, 5, 5);
    const QString text = Readout();
    const QRect box = p.fontMetrics().boundingRect(text).adjusted(-6, -4, 6, 4);
    QRect placed = box.translated(PlotArea().topLeft() - box.topLeft() + QPoint(8, 8));
    p.fillRect(placed, QColor(255, 255, 230));
    p.drawRect(placed);
    p.drawText(placed, Qt::AlignCenter, text);
}

} // namespace tarvex::widgets
