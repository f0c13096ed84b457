// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/Dialogs.h"

#include <QPdfWriter>
#include <QSaveFile>

namespace tarvex::widgets {

QString writePdf(const QString &path, const Dialogs::Preview &preview)
{
    // Never half a document where the fitter's file was.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    {
        QPdfWriter writer(&file);
        writer.setResolution(300);
        writer.setPageLayout(preview.layout);
        writer.setTitle(preview.title);
        writer.setCreator(QStringLiteral("Tarvex"));
        preview.paint(writer);
    }
    if (!file.commit())
        return file.errorString();
    return QString();
}

} // namespace tarvex::widgets
