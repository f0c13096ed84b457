// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/ReaderMessage.h"

#include <QFileInfo>

namespace tarvex::monitor {

ReaderMessage ReaderMessage::cannotOpen(const QString &path, const QString &systemReason)
{
    const QFileInfo file(path);
    if (!file.exists())
        return ReaderMessage(lang::Text::ReadNoFile, {path});
    if (file.isDir())
        return ReaderMessage(lang::Text::ReadFolder, {path});
    if (!file.isReadable())
        return ReaderMessage(lang::Text::ReadNoPermission, {path});
    return ReaderMessage(lang::Text::ReadCannotOpen, {path, systemReason});
}

QString ReaderMessage::text(int language) const
{
    if (isEmpty())
        return QString();
    const QString row = lang::runTimeText(m_text, language);
    // One pass: a path holding "%1" stays as it is.
    switch (m_args.size()) {
    case 0: return row;
    case 1: return row.arg(m_args[0]);
    default: return row.arg(m_args[0], m_args[1]);
    }
}

} // namespace tarvex::monitor
