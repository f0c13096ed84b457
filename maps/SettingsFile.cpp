// SPDX-License-Identifier: GPL-3.0-or-later
#include "maps/SettingsFile.h"
#include "link/Exception.h"
#include "link/Protocol.h"

#include <QFile>
#include <QSaveFile>

namespace tarvex::maps {

const BandColors &defaultBandColors()
{
    static const BandColors colors = {11536036, 15993314, 16340973, 13763604, 16533847, 13342977, 16697121,
                                      173574,   258314,   7536284,  50366,    61674,    5636091,  9568252,
                                      94925,    495614,   7060734,  1966564,  4599038,  7561214,  10921727};
    return colors;
}

namespace {
// One line without its end, however long; past a length no colour needs,
// only the start is kept, which is no number either.
QByteArray readWholeLine(QFile &file)
{
    constexpr qsizetype kKept = 64 * 1024;
    QByteArray line;
    for (;;) {
        const QByteArray part = file.readLine(kKept + 1);
        if (line.size() < kKept)
            line += part.left(kKept - line.size());
        if (part.isEmpty() || part.endsWith('\n'))
            break;
    }
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    return line;
}
} // namespace

SettingsRead readSettingsFile(const QString &path)
{
    SettingsRead result;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return result;
    result.opened = true;
    for (int k = 0; k < kBandCount; ++k) {
        // A missing line reads as an empty one, which is no number.
        const QByteArray line = file.atEnd() ? QByteArray() : readWholeLine(file);
        if (const std::optional<int> color = link::tryStrToInt(link::fromCp1251(line))) {
            result.colors.push_back(*color);
            continue;
        }
        // The message quotes the start of a long line only.
        constexpr qsizetype kQuoted = 256;
        const QString quoted = link::fromCp1251(line.left(kQuoted));
        result.error = invalidInteger(line.size() > kQuoted ? quoted + QStringLiteral("…") : quoted).message();
        break;
    }
    return result;
}

QString writeSettingsFile(const QString &path, const BandColors &colors)
{
    QSaveFile file(path);
    // A folder that takes no new files but a writable "tarvex.ini" still
    // keeps the colours.
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly))
        return QStringLiteral("Cannot create file \"%1\". %2").arg(path, file.errorString());
    for (int32_t color : colors)
        file.write(QByteArray::number(color) + "\r\n");
    if (!file.commit())
        return QStringLiteral("Cannot write file \"%1\". %2").arg(path, file.errorString());
    return QString();
}

BandColors readBandColors(const QString &path)
{
    BandColors colors = defaultBandColors();
    const SettingsRead read = readSettingsFile(path);
    for (size_t k = 0; k < read.colors.size() && k < colors.size(); ++k)
        colors[k] = read.colors[k];
    return colors;
}

} // namespace tarvex::maps
