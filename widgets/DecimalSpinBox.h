// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDoubleSpinBox>

namespace tarvex::widgets {

// A number typed with a comma or a point before its decimals, whatever the
// desktop's locale: "2,5" is two and a half, never twenty-five with a group
// separator dropped. The prompts show either, by the interface language.
class DecimalSpinBox final : public QDoubleSpinBox {
public:
    using QDoubleSpinBox::QDoubleSpinBox;

    QValidator::State validate(QString &text, int &position) const override;
    double valueFromText(const QString &text) const override;
    QString textFromValue(double value) const override;
};

} // namespace tarvex::widgets
