// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "widgets/Dialogs.h"

#include <functional>

namespace tarvex::widgets {

// Dialogs that show nothing and answer at once, for running the window
// unattended (benchmarks, the README's pictures): every file dialog chooses
// `file`, every number prompt answers `number`, questions are answered no.
class QuietDialogs final : public Dialogs {
public:
    int messages = 0;
    QString last;  // the last message's text
    QString file;
    std::optional<double> number;
    std::function<void(int)> onProgress;

    void message(QWidget *, Icon, const QString &, const QString &text) override
    {
        ++messages;
        last = text;
    }
    bool question(QWidget *, const QString &, const QString &) override { return false; }
    Answer questionWithCancel(QWidget *, const QString &, const QString &) override { return Answer::No; }
    // A choice among actions: the last one, which leaves things as they are.
    std::vector<int> choose(QWidget *, const QString &, const QString &, const Table &, const Choices &c) override
    {
        return std::vector<int>(size_t(c.subjects.size()), int(c.choices.size()) - 1);
    }
    void openUrl(const QUrl &) override {}
    std::optional<QColor> chooseColor(QWidget *, const QColor &) override { return std::nullopt; }
    void showWarningWindow(QWidget *, const QString &, const QString &) override {}
    void hideWarningWindow() override {}
    QString saveFileName(QWidget *, const QString &, const QString &, const QString &) override { return file; }
    QString openFileName(QWidget *, const QString &, const QString &, const QString &, const QString &) override
    {
        return file;
    }
    std::optional<double> askNumber(QWidget *, const QString &, const QString &, double, int) override
    {
        return number;
    }
    void startProgress(QWidget *, const QString &, const QString &, int) override {}
    bool progress(int value) override
    {
        if (onProgress)
            onProgress(value);
        return true;
    }
    void finishProgress() override {}
    // A form is answered `fields`, or as it is filled in; a preview writes
    // `pdf` when one is named.
    std::optional<QStringList> fields;
    std::optional<QStringList> askFields(QWidget *, const QString &, const std::vector<Field> &form) override
    {
        if (fields)
            return fields;
        QStringList texts;
        for (const Field &field : form)
            texts << field.text;
        return texts;
    }
    QString pdf;
    void printPreview(QWidget *, const Preview &preview) override
    {
        if (!pdf.isEmpty())
            last = writePdf(pdf, preview);
    }
};

} // namespace tarvex::widgets
