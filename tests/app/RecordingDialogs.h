#pragma once

#include "app/Dialogs.h"

#include <QStringList>
#include <QUrl>
#include <vector>

namespace tarvex::test {

// Answers every dialog at once and keeps what was shown.
class RecordingDialogs final : public app::Dialogs {
public:
    struct Message {
        Icon icon;
        QString title;
        QString text;
    };

    void message(QWidget *, Icon icon, const QString &title, const QString &text) override
    {
        messages.push_back(Message{icon, title, text});
    }
    void openUrl(const QUrl &url) override { urls.push_back(url); }

    QStringList texts() const
    {
        QStringList out;
        for (const Message &m : messages)
            out << m.text;
        return out;
    }

    std::vector<Message> messages;
    std::vector<QUrl> urls;
};

} // namespace tarvex::test
