// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/QtDialogs.h"
#include "widgets/DecimalSpinBox.h"

#include <algorithm>

#include <QDate>
#include <QDir>
#include <QStandardPaths>
#include <QButtonGroup>
#include <QColorDialog>
#include <QGridLayout>
#include <QDialogButtonBox>
#include <QDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QGuiApplication>
#include <QScreen>
#include <QToolBar>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QDesktopServices>
#include <QFileDialog>
#include <QCoreApplication>
#include <QMessageBox>
#include <QProgressDialog>

namespace tarvex::widgets {

void QtDialogs::message(QWidget *parent, Icon icon, const QString &title, const QString &text)
{
    static const QMessageBox::Icon kIcons[] = {QMessageBox::NoIcon, QMessageBox::Information,
                                               QMessageBox::Warning, QMessageBox::Critical};
    QMessageBox box(kIcons[int(icon)], title, text, QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText); // file names and ECU text are never markup
    box.exec();
}

bool QtDialogs::question(QWidget *parent, const QString &title, const QString &text)
{
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::Yes);
    box.setTextFormat(Qt::PlainText);
    return box.exec() == QMessageBox::Yes;
}

Dialogs::Answer QtDialogs::questionWithCancel(QWidget *parent, const QString &title, const QString &text)
{
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                    parent);
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::Cancel);
    box.setTextFormat(Qt::PlainText);
    switch (box.exec()) {
    case QMessageBox::Yes: return Answer::Yes;
    case QMessageBox::No: return Answer::No;
    default: return Answer::Cancel;
    }
}

std::vector<int> QtDialogs::choose(QWidget *parent, const QString &title, const QString &text, const Table &table,
                                   const Choices &c)
{
    QDialog dialog(parent);
    dialog.setWindowTitle(title);
    auto *layout = new QVBoxLayout(&dialog);
    auto *label = new QLabel(text, &dialog);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    layout->addWidget(label);
    auto *list = new QTableWidget(int(table.rows.size()), int(table.headers.size()), &dialog);
    list->setHorizontalHeaderLabels(table.headers);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->verticalHeader()->hide();
    for (int r = 0; r < int(table.rows.size()); ++r)
        for (int col = 0; col < table.rows[size_t(r)].size() && col < table.headers.size(); ++col)
            list->setItem(r, col, new QTableWidgetItem(table.rows[size_t(r)][col]));
    list->resizeColumnsToContents();
    layout->addWidget(list);
    std::vector<int> chosen(size_t(c.subjects.size()), -1);
    auto *rows = new QGridLayout;
    // One subject: a button per choice ends the window. Several: a choice
    // per subject, taken with the apply button, or one for all at once.
    const bool several = c.subjects.size() > 1;
    auto *apply = several ? new QPushButton(c.apply, &dialog) : nullptr;
    std::vector<QButtonGroup *> groups;
    for (int s = 0; s < int(c.subjects.size()) && several; ++s) {
        rows->addWidget(new QLabel(c.subjects[s], &dialog), s, 0);
        auto *group = new QButtonGroup(&dialog);
        for (int i = 0; i < c.choices.size(); ++i) {
            auto *button = new QPushButton(c.choices[i], &dialog);
            button->setCheckable(true);
            group->addButton(button, i);
            rows->addWidget(button, s, i + 1);
        }
        groups.push_back(group);
        QObject::connect(group, &QButtonGroup::idClicked, &dialog, [&chosen, &groups, apply, s](int id) {
            chosen[size_t(s)] = id;
            apply->setEnabled(std::all_of(groups.begin(), groups.end(), [](QButtonGroup *g) { return g->checkedId() >= 0; }));
        });
    }
    const int allRow = several ? int(c.subjects.size()) : 0;
    if (several)
        rows->addWidget(new QLabel(c.all, &dialog), allRow, 0);
    for (int i = 0; i < c.choices.size(); ++i) {
        auto *button = new QPushButton(c.choices[i], &dialog);
        QObject::connect(button, &QPushButton::clicked, &dialog, [&dialog, &chosen, i] {
            std::fill(chosen.begin(), chosen.end(), i);
            dialog.accept();
        });
        rows->addWidget(button, allRow, i + 1);
    }
    layout->addLayout(rows);
    if (apply) {
        apply->setEnabled(false);
        QObject::connect(apply, &QPushButton::clicked, &dialog, &QDialog::accept);
        layout->addWidget(apply, 0, Qt::AlignRight);
    }
    // A choice may write to the ECU: only a click or Space takes one, never
    // an Enter typed for a window this one came up over.
    for (QPushButton *button : dialog.findChildren<QPushButton *>()) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }
    list->setFocus();
    dialog.resize(640, 420);
    if (dialog.exec() != QDialog::Accepted)
        return std::vector<int>(chosen.size(), -1);
    return chosen;
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

} // namespace tarvex::widgets

namespace tarvex::widgets {

namespace {
QString runFileDialog(QWidget *parent, QFileDialog::AcceptMode mode, const QString &description,
                      const QString &pattern, const QString &suffix, const QString &folder = QString())
{
    QFileDialog dialog(parent, QString(), folder);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptSave ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setNameFilter(description + QStringLiteral(" (") + pattern + QLatin1Char(')'));
    dialog.setDefaultSuffix(suffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().first();
}
} // namespace

QString QtDialogs::saveFileName(QWidget *parent, const QString &description, const QString &pattern,
                                const QString &suffix)
{
    return runFileDialog(parent, QFileDialog::AcceptSave, description, pattern, suffix);
}

QString QtDialogs::openFileName(QWidget *parent, const QString &description, const QString &pattern,
                                const QString &suffix, const QString &folder)
{
    return runFileDialog(parent, QFileDialog::AcceptOpen, description, pattern, suffix, folder);
}

std::optional<double> QtDialogs::askNumber(QWidget *parent, const QString &title, const QString &label,
                                           double initial, int decimals)
{
    QDialog dialog(parent);
    dialog.setWindowTitle(title);
    auto *layout = new QVBoxLayout(&dialog);
    auto *text = new QLabel(label, &dialog);
    text->setTextFormat(Qt::PlainText);
    layout->addWidget(text);
    auto *number = new DecimalSpinBox(&dialog);
    number->setDecimals(decimals);
    number->setRange(-1e6, 1e6);
    number->setValue(initial);
    number->selectAll();
    layout->addWidget(number);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    number->setFocus();
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    number->interpretText();
    return number->value();
}

void QtDialogs::startProgress(QWidget *parent, const QString &title, const QString &cancel, int maximum)
{
    m_progress = std::make_unique<QProgressDialog>(title, cancel, 0, maximum, parent);
    m_progress->setWindowModality(Qt::WindowModal);
    m_progress->setMinimumDuration(0);
    m_progress->setAutoClose(false);
    m_progress->setAutoReset(false);
    m_progress->show();
}

bool QtDialogs::progress(int value)
{
    if (!m_progress)
        return true;
    m_progress->setValue(value);
    QCoreApplication::processEvents();
    return !m_progress->wasCanceled();
}

void QtDialogs::finishProgress()
{
    m_progress.reset();
}

std::optional<QStringList> QtDialogs::askFields(QWidget *parent, const QString &title,
                                                const std::vector<Field> &fields)
{
    QDialog dialog(parent);
    dialog.setWindowTitle(title);
    auto *layout = new QVBoxLayout(&dialog);
    QFormLayout *form = nullptr;
    QString group;
    std::vector<std::function<QString()>> texts;
    for (const Field &field : fields) {
        if (!form || field.group != group) {
            group = field.group;
            auto *box = new QGroupBox(group, &dialog);
            form = new QFormLayout(box);
            layout->addWidget(box);
        }
        if (field.multiLine) {
            auto *edit = new QPlainTextEdit(field.text, &dialog);
            edit->setTabChangesFocus(true);
            edit->setFixedHeight(edit->fontMetrics().lineSpacing() * 4);
            form->addRow(field.label, edit);
            texts.push_back([edit] { return edit->toPlainText(); });
        } else {
            auto *edit = new QLineEdit(field.text, &dialog);
            edit->setMinimumWidth(320);
            form->addRow(field.label, edit);
            texts.push_back([edit] { return edit->text(); });
        }
    }
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    QStringList out;
    for (const auto &text : texts)
        out << text();
    return out;
}

void QtDialogs::printPreview(QWidget *parent, const Preview &preview)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageLayout(preview.layout);
    printer.setDocName(preview.title);
    QPrintPreviewDialog dialog(&printer, parent);
    dialog.setWindowTitle(preview.title);
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
                     [&](QPrinter *device) { preview.paint(*device); });
    // Saving as a PDF first on the preview's own tool bar, where a narrow
    // screen does not hide it.
    if (auto *bar = dialog.findChild<QToolBar *>()) {
        QAction *first = bar->actions().value(0);
        auto *save = new QAction(preview.savePdf, bar);
        bar->insertAction(first, save);
        bar->insertSeparator(first);
        QObject::connect(save, &QAction::triggered, &dialog, [&] {
            // A name to keep: the report's title and today's date, among the documents.
            QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
            if (folder.isEmpty() || !QDir(folder).exists())
                folder = QDir::homePath();
            const QString name = preview.title + QDate::currentDate().toString(QStringLiteral(" yyyy-MM-dd")) + QStringLiteral(".pdf");
            const QString path = runFileDialog(&dialog, QFileDialog::AcceptSave, preview.pdfDescription,
                                               QStringLiteral("*.pdf"), QStringLiteral("pdf"), QDir(folder).filePath(name));
            if (path.isEmpty())
                return;
            if (const QString error = writePdf(path, preview); !error.isEmpty())
                message(&dialog, Icon::Critical, QCoreApplication::applicationName(),
                        preview.pdfFailed.arg(path, error));
        });
    }
    // A page at a size that reads, the tool bar whole.
    if (const QScreen *screen = parent ? parent->screen() : QGuiApplication::primaryScreen())
        dialog.resize(QSize(1000, 900).boundedTo(screen->availableSize()));
    dialog.exec();
}

} // namespace tarvex::widgets
