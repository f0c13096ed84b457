// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/DecimalSpinBox.h"

#include <QRegularExpression>

namespace tarvex::widgets {

namespace {
QString withPoint(QString text)
{
    return text.replace(QLatin1Char(','), QLatin1Char('.'));
}
} // namespace

QValidator::State DecimalSpinBox::validate(QString &text, int &) const
{
    const QRegularExpression form(decimals() > 0
                                      ? QStringLiteral("^-?[0-9]*([.,][0-9]{0,%1})?$").arg(decimals())
                                      : QStringLiteral("^-?[0-9]*$"));
    if (!form.match(text).hasMatch())
        return QValidator::Invalid;
    bool ok = false;
    const double value = withPoint(text).toDouble(&ok);
    return ok && value >= minimum() && value <= maximum() ? QValidator::Acceptable : QValidator::Intermediate;
}

double DecimalSpinBox::valueFromText(const QString &text) const
{
    return withPoint(text).toDouble();
}

QString DecimalSpinBox::textFromValue(double value) const
{
    return QString::number(value, 'f', decimals());
}

} // namespace tarvex::widgets
