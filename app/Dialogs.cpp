#include "app/Dialogs.h"

#include <QColorDialog>
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

QtDialogs::QtDialogs() = default;
QtDialogs::~QtDialogs() = default;

std::optional<QColor> QtDialogs::chooseColor(QWidget *parent, const QColor &initial)
{
    QColorDialog dialog(initial, parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.selectedColor();
}

void QtDialogs::showWarningWindow(QWidget *parent, const QString &title, const QString &text)
{
    m_warning = std::make_unique<QMessageBox>(QMessageBox::Warning, title, text, QMessageBox::Ok, parent);
    m_warning->setModal(false);
    m_warning->setWindowModality(Qt::NonModal);
    m_warning->show();
}

void QtDialogs::hideWarningWindow()
{
    if (m_warning)
        m_warning->hide();
    m_warning.reset();
}

} // namespace tarvex::app
