// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "widgets/Dialogs.h"

#include <memory>

class QMessageBox;
class QProgressDialog;

namespace tarvex::widgets {

// The dialogs of a fitter's desktop: Qt's boxes, file and colour dialogs.
class QtDialogs final : public Dialogs {
public:
    QtDialogs();
    ~QtDialogs() override;
    void message(QWidget *parent, Icon icon, const QString &title, const QString &text) override;
    bool question(QWidget *parent, const QString &title, const QString &text) override;
    Answer questionWithCancel(QWidget *parent, const QString &title, const QString &text) override;
    std::vector<int> choose(QWidget *parent, const QString &title, const QString &text, const Table &table,
                            const Choices &choices) override;
    void openUrl(const QUrl &url) override;
    std::optional<QColor> chooseColor(QWidget *parent, const QColor &initial) override;
    void showWarningWindow(QWidget *parent, const QString &title, const QString &text) override;
    void hideWarningWindow() override;
    QString saveFileName(QWidget *parent, const QString &description, const QString &pattern,
                         const QString &suffix) override;
    QString openFileName(QWidget *parent, const QString &description, const QString &pattern,
                         const QString &suffix, const QString &folder) override;
    std::optional<double> askNumber(QWidget *parent, const QString &title, const QString &label, double initial,
                                    int decimals) override;
    void startProgress(QWidget *parent, const QString &title, const QString &cancel, int maximum) override;
    bool progress(int value) override;
    void finishProgress() override;
    std::optional<QStringList> askFields(QWidget *parent, const QString &title,
                                         const std::vector<Field> &fields) override;
    void printPreview(QWidget *parent, const Preview &preview) override;

private:
    std::unique_ptr<QMessageBox> m_warning;
    std::unique_ptr<QProgressDialog> m_progress;
};

} // namespace tarvex::widgets
