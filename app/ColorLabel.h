// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLabel>
#include <cstdint>
#include <functional>

namespace tarvex::app {

// A label whose background is a colour value; the value itself is kept, so
// what was read from the settings file is what is written back.
class TColorLabel : public QLabel {
public:
    explicit TColorLabel(const QString &caption, QWidget *parent);

    int32_t Color() const { return m_color; }
    void SetColor(int32_t value);

protected:
    void changeEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

public:
    std::function<void()> OnClick;

private:
    void applyColor();
    int32_t m_color;
};

} // namespace tarvex::app
