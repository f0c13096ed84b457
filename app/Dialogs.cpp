#include "app/Dialogs.h"

#include <QDesktopServices>
#include <QMessageBox>

namespace tarvex::app {

void QtDialogs::message(QWidget *parent, Icon icon, const QString &title, const QString &text)
{
    static const QMessageBox::Icon kIcons[] = {QMessageBox::NoIcon, QMessageBox::Information,
                                               QMessageBox::Warning, QMessageBox::Critical};
    QMessageBox box(kIcons[int(icon)], title, text, QMessageBox::Ok, parent);
    box.exec();
}

void QtDialogs::openUrl(const QUrl &url)
{
    QDesktopServices::openUrl(url);
}

} // namespace tarvex::app
