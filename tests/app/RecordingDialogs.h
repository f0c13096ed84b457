// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "widgets/Dialogs.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QPushButton>
#include <QEventLoop>
#include <QStringList>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <deque>
#include <functional>
#include <vector>

namespace tarvex::test {

// Answers every dialog at once and keeps what was shown.
class RecordingDialogs final : public widgets::Dialogs {
public:
    struct Message {
        Icon icon;
        QString title;
        QString text;
    };

    void message(QWidget *parent, Icon icon, const QString &title, const QString &text) override
    {
        messages.push_back(Message{icon, title, text});
        if (onMessage)
            onMessage(messages.back());
        spin(parent);
    }
    bool question(QWidget *parent, const QString &, const QString &text) override
    {
        questions << text;
        if (onQuestion)
            onQuestion(text);
        spin(parent);
        return answerYes;
    }
    Answer questionWithCancel(QWidget *parent, const QString &title, const QString &text) override
    {
        if (!answerCancel)
            return question(parent, title, text) ? Answer::Yes : Answer::No;
        questions << text;
        spin(parent);
        return Answer::Cancel;
    }
    // Answered per subject from choiceAnswersEach, else one answer of
    // choiceAnswers for every subject.
    std::vector<int> choose(QWidget *parent, const QString &, const QString &text, const Table &table,
                            const Choices &choices) override
    {
        choiceWindows.push_back(Choice{text, table, choices.choices, choices.subjects});
        if (onChoose)
            onChoose(choiceWindows.back());
        spin(parent);
        if (!choiceAnswersEach.empty()) {
            std::vector<int> answer = choiceAnswersEach.front();
            choiceAnswersEach.pop_front();
            return answer;
        }
        int answer = -1;
        if (!choiceAnswers.empty()) {
            answer = choiceAnswers.front();
            choiceAnswers.pop_front();
        }
        return std::vector<int>(size_t(choices.subjects.size()), answer);
    }

    // As a real modal box does: a window of its own takes the focus and an
    // event loop runs while it is up, deferred deletes included, so that
    // anything may be deleted meanwhile.
    bool nestedLoop = false;
    void spin(QWidget *parent)
    {
        if (!nestedLoop)
            return;
        QDialog box(parent);
        box.setModal(true);
        QPushButton ok(QStringLiteral("OK"), &box); // a box's button takes the focus
        box.show();
        QApplication::setActiveWindow(&box);
        ok.setFocus();
        QTest::qWaitForWindowActive(&box, 1000);
        QEventLoop loop;
        QTimer::singleShot(0, &loop, &QEventLoop::quit);
        loop.exec();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    void openUrl(const QUrl &url) override { urls.push_back(url); }
    std::optional<QColor> chooseColor(QWidget *, const QColor &initial) override
    {
        colorDialogStarts.push_back(initial);
        if (colorAnswers.empty())
            return std::nullopt;
        const std::optional<QColor> answer = colorAnswers.front();
        colorAnswers.pop_front();
        return answer;
    }
    void showWarningWindow(QWidget *, const QString &title, const QString &text) override
    {
        warningTitle = title;
        warningText = text;
        warningVisible = true;
        ++warningsShown;
    }
    void hideWarningWindow() override { warningVisible = false; }
    struct FileDialog {
        bool save;
        QString description, pattern, suffix, folder;
    };
    QString saveFileName(QWidget *, const QString &description, const QString &pattern,
                         const QString &suffix) override
    {
        fileDialogs.push_back(FileDialog{true, description, pattern, suffix, QString()});
        return nextFile;
    }
    QString openFileName(QWidget *, const QString &description, const QString &pattern, const QString &suffix,
                         const QString &folder) override
    {
        fileDialogs.push_back(FileDialog{false, description, pattern, suffix, folder});
        return nextFile;
    }

    std::optional<double> askNumber(QWidget *, const QString &, const QString &label, double initial,
                                    int decimals) override
    {
        asked << label;
        askedInitial.push_back(initial);
        if (onAsk)
            onAsk();
        askedDecimals.push_back(decimals);
        if (numberAnswers.empty())
            return std::nullopt;
        const std::optional<double> answer = numberAnswers.front();
        numberAnswers.pop_front();
        return answer;
    }
    void startProgress(QWidget *, const QString &title, const QString &, int maximum) override
    {
        progressTitle = title;
        progressMaximum = maximum;
        progressValues.clear();
        progressOpen = true;
    }
    bool progress(int value) override
    {
        progressValues.push_back(value);
        if (onProgress)
            onProgress(value);
        return cancelAtProgress < 0 || value < cancelAtProgress;
    }
    void finishProgress() override { progressOpen = false; }
    // Answered from fieldAnswers, else as the form was filled in.
    std::optional<QStringList> askFields(QWidget *parent, const QString &, const std::vector<Field> &fields) override
    {
        forms.push_back(fields);
        spin(parent);
        if (fieldAnswers.empty()) {
            QStringList texts;
            for (const Field &field : fields)
                texts << field.text;
            return texts;
        }
        const std::optional<QStringList> answer = fieldAnswers.front();
        fieldAnswers.pop_front();
        return answer;
    }
    // The document is written to previewPdf when one is named.
    void printPreview(QWidget *parent, const Preview &preview) override
    {
        previews.push_back(preview);
        if (!previewPdf.isEmpty())
            previewPdfError = widgets::writePdf(previewPdf, preview);
        if (onPreview)
            onPreview();
        spin(parent);
    }

    QStringList texts() const
    {
        QStringList out;
        for (const Message &m : messages)
            out << m.text;
        return out;
    }

    struct Choice {
        QString text;
        Table table;
        QStringList choices;
        QStringList subjects;
    };
    std::vector<Choice> choiceWindows;
    std::deque<int> choiceAnswers; // none: the window is closed without a choice
    std::deque<std::vector<int>> choiceAnswersEach;
    std::function<void(const Choice &)> onChoose;
    bool answerCancel = false; // the closing question is cancelled

    std::vector<Message> messages;
    std::function<void(const Message &)> onMessage;
    std::vector<QUrl> urls;
    QStringList questions;
    bool answerYes = true;
    std::function<void(const QString &)> onQuestion;
    std::deque<std::optional<QColor>> colorAnswers; // none: the user cancels
    std::vector<QColor> colorDialogStarts;
    QString warningTitle;
    QString warningText;
    bool warningVisible = false;
    std::vector<FileDialog> fileDialogs;
    QString nextFile; // empty: the user cancels
    int warningsShown = 0;
    QStringList asked;
    std::vector<int> askedDecimals;
    std::vector<double> askedInitial;
    std::deque<std::optional<double>> numberAnswers; // none: the fitter cancels
    QString progressTitle;
    int progressMaximum = 0;
    std::vector<int> progressValues;
    bool progressOpen = false;
    int cancelAtProgress = -1; // the fitter cancels once this many cells are written
    std::function<void(int)> onProgress;
    std::function<void()> onAsk; // while the number's prompt is up
    std::vector<std::vector<Field>> forms;
    std::deque<std::optional<QStringList>> fieldAnswers; // none: the fitter cancels
    std::vector<Preview> previews;
    std::function<void()> onPreview; // while the preview is up
    QString previewPdf;
    QString previewPdfError;
};

} // namespace tarvex::test
