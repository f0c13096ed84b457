#include "app/MainForm.h"

namespace tarvex::app {

TTarvexMainForm::TTarvexMainForm(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("TarvexMainForm"));
    setWindowTitle(QStringLiteral("Tarvex 28.07.23"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFixedSize(1014, 453);
    move(1, 1);
}

} // namespace tarvex::app
