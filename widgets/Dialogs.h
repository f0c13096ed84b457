// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QPageLayout>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>
#include <optional>
#include <vector>

class QPagedPaintDevice;
class QWidget;

namespace tarvex::widgets {

// Every modal box, file and colour dialog and every hand-off to the desktop
// goes through here, so that tests can answer them.
class Dialogs {
public:
    enum class Icon { None, Information, Warning, Critical };

    virtual ~Dialogs() = default;
    // A modal box with an OK button.
    virtual void message(QWidget *parent, Icon icon, const QString &title, const QString &text) = 0;
    // A modal question with Yes and No; true for Yes.
    virtual bool question(QWidget *parent, const QString &title, const QString &text) = 0;
    // A modal question with Yes, No and Cancel; closing it is Cancel.
    enum class Answer { Yes, No, Cancel };
    virtual Answer questionWithCancel(QWidget *parent, const QString &title, const QString &text) = 0;
    // A modal window with a text, a table and, for each subject (a map), one
    // of the choices to pick, or one for all of them (`all` names that row);
    // the choice for each subject, each -1 when the window is closed
    // without one.
    struct Table {
        QStringList headers;
        std::vector<QStringList> rows;
    };
    struct Choices {
        QStringList subjects;
        QStringList choices;
        QString all;   // the row that sets every subject at once
        QString apply; // the button that takes the choices of each row
    };
    virtual std::vector<int> choose(QWidget *parent, const QString &title, const QString &text, const Table &table,
                                    const Choices &choices) = 0;
    // Opens an address in the desktop's browser; failures are not reported.
    virtual void openUrl(const QUrl &url) = 0;
    // The colour the user confirms, starting from `initial`; none on cancel.
    virtual std::optional<QColor> chooseColor(QWidget *parent, const QColor &initial) = 0;
    // A box that stays up while the window goes on working, until hidden.
    virtual void showWarningWindow(QWidget *parent, const QString &title, const QString &text) = 0;
    virtual void hideWarningWindow() = 0;
    // File dialogs with one filter: its description shown as given, its
    // pattern ("*.inj"); a name typed without extension gets `suffix`.
    // The save dialog asks before replacing a file. The open dialog starts
    // in `folder` when one is given. Empty on cancel.
    virtual QString saveFileName(QWidget *parent, const QString &description, const QString &pattern,
                                 const QString &suffix) = 0;
    virtual QString openFileName(QWidget *parent, const QString &description, const QString &pattern,
                                 const QString &suffix, const QString &folder) = 0;
    // A number the fitter types, with `decimals` places; none on cancel.
    virtual std::optional<double> askNumber(QWidget *parent, const QString &title, const QString &label,
                                            double initial, int decimals) = 0;
    // A small window with a bar and a Cancel button (Escape cancels too)
    // while a batch runs; the window behind it takes no input meanwhile.
    virtual void startProgress(QWidget *parent, const QString &title, const QString &cancel, int maximum) = 0;
    // Shows how far the batch is and lets the window repaint; false once the
    // fitter has cancelled.
    virtual bool progress(int value) = 0;
    virtual void finishProgress() = 0;

    // A form of text fields under their groups' titles; the texts as the
    // fitter left them, in the fields' order, or none when cancelled.
    struct Field {
        QString group;
        QString label;
        QString text;
        bool multiLine = false;
    };
    virtual std::optional<QStringList> askFields(QWidget *parent, const QString &title,
                                                 const std::vector<Field> &fields) = 0;
    // A print preview of a paged document, to print it or save it as a PDF.
    struct Preview {
        QString title;
        QString savePdf;        // the caption of the button that saves a PDF
        QString pdfDescription; // the PDF file dialog's filter
        QString pdfFailed;      // "%1: %2", the file and why it was not written
        QPageLayout layout;
        std::function<void(QPagedPaintDevice &device)> paint;
    };
    virtual void printPreview(QWidget *parent, const Preview &preview) = 0;
};

// Writes the preview's document as a PDF; why it could not, or nothing.
QString writePdf(const QString &path, const Dialogs::Preview &preview);



} // namespace tarvex::widgets
