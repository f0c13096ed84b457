#include "app/SettingsFile.h"
#include "link/Exception.h"

#include <QFile>
#include <QSaveFile>

namespace tarvex::app {

const BandColors &defaultBandColors()
{
    static const BandColors colors = {11536036, 15993314, 16340973, 13763604, 16533847, 13342977, 16697121,
                                      173574,   258314,   7536284,  50366,    61674,    5636091,  9568252,
                                      94925,    495614,   7060734,  1966564,  4599038,  7561214,  10921727};
    return colors;
}

SettingsRead readSettingsFile(const QString &path)
{
    SettingsRead result;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return result;
    result.opened = true;
    for (int k = 0; k < kBandCount; ++k) {
        // A missing line reads as an empty one, which is no number.
        // No colour needs a long line; a huge one is not read whole.
        QByteArray line = file.atEnd() ? QByteArray() : file.readLine(256);
        while (line.endsWith('\n') || line.endsWith('\r'))
            line.chop(1);
        try {
            result.colors.push_back(strToInt(QString::fromLatin1(line)));
        } catch (const EConvertError &e) {
            result.error = e.message();
            break;
        }
    }
    return result;
}

QString writeSettingsFile(const QString &path, const BandColors &colors)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return QStringLiteral("Cannot create file \"%1\". %2").arg(path, file.errorString());
    for (int32_t color : colors)
        file.write(QByteArray::number(color) + "\r\n");
    if (!file.commit())
        return QStringLiteral("Cannot write file \"%1\". %2").arg(path, file.errorString());
    return QString();
}

} // namespace tarvex::app
