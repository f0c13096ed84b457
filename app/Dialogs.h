#pragma once

#include <QString>
#include <QUrl>

class QWidget;

namespace tarvex::app {

// Every modal box, file and colour dialog and every hand-off to the desktop
// goes through here, so that tests can answer them.
class Dialogs {
public:
    enum class Icon { None, Information, Warning, Critical };

    virtual ~Dialogs() = default;
    // A modal box with an OK button.
    virtual void message(QWidget *parent, Icon icon, const QString &title, const QString &text) = 0;
    // Opens an address in the desktop's browser; failures are not reported.
    virtual void openUrl(const QUrl &url) = 0;
};

class QtDialogs final : public Dialogs {
public:
    void message(QWidget *parent, Icon icon, const QString &title, const QString &text) override;
    void openUrl(const QUrl &url) override;
};

} // namespace tarvex::app
