// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "lang/RunTimeTexts.h"

#include <QString>
#include <QStringList>

namespace tarvex::monitor {

// Why a log or the fuel map beside it was not read: a row of the texts and
// what fills it, so that each program says it in the language it shows.
class ReaderMessage {
public:
    ReaderMessage() = default;
    ReaderMessage(lang::Text text, QStringList args) : m_text(text), m_args(std::move(args)) {}

    // A file that cannot be opened, with the reason in either language where
    // it is a common one (no file, a folder, no permission).
    static ReaderMessage cannotOpen(const QString &path, const QString &systemReason);

    bool isEmpty() const { return m_text == lang::Text::Count; }
    QString text(int language) const;
    bool operator==(const ReaderMessage &other) const = default;

private:
    lang::Text m_text = lang::Text::Count;
    QStringList m_args;
};

} // namespace tarvex::monitor
