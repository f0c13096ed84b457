#pragma once

#include <QWidget>

namespace tarvex::app {

// The one window of the program.
class TTarvexMainForm : public QWidget {
    Q_OBJECT
public:
    explicit TTarvexMainForm(QWidget *parent = nullptr);
};

} // namespace tarvex::app
