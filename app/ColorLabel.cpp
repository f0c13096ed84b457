// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ColorLabel.h"
#include "maps/ColorValue.h"
#include "maps/SettingsFile.h"

#include <QEvent>
#include <QMouseEvent>

namespace tarvex::app {

TColorLabel::TColorLabel(const QString &caption, QWidget *parent)
    : QLabel(caption, parent), m_color(maps::kButtonFaceColor)
{
    setAutoFillBackground(true);
    applyColor();
}

void TColorLabel::SetColor(int32_t value)
{
    m_color = value;
    applyColor();
}

void TColorLabel::applyColor()
{
    QPalette p = palette();
    p.setColor(QPalette::Window, maps::colorFromValue(m_color, parentWidget() ? parentWidget()->palette() : p));
    setPalette(p);
}

void TColorLabel::changeEvent(QEvent *event)
{
    QLabel::changeEvent(event);
    if (event->type() == QEvent::ParentChange)
        applyColor();
}

void TColorLabel::mousePressEvent(QMouseEvent *event)
{
    QLabel::mousePressEvent(event);
    if (event->button() == Qt::LeftButton && OnClick && isEnabled())
        OnClick();
}

} // namespace tarvex::app
