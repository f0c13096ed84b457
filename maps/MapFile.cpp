#include "maps/MapFile.h"
#include "link/Text.h"
#include "maps/MapReply.h"

#include <QFile>
#include <QSaveFile>

namespace tarvex::maps {

namespace {
// A map file is at most 256 lines of three digits and a line end.
constexpr qint64 kLargestMapFile = 64 * 1024;

struct Texts {
    const char *tooLarge;
    const char *cannotOpen;
    const char *lineCount;
    const char *badLine;
};
const Texts kTexts[2] = {
    {"Файл %1 слишком велик для карты (%2 байт). Файл не загружен.", "Не удалось открыть файл %1: %2", "В файле %1 строк, а в карте 256. Файл не загружен.",
     "Строка %1 файла («%2») — не значение карты от 0 до 999. Файл не загружен."},
    {"The file %1 is too large for a map (%2 bytes). Nothing was loaded.", "Cannot open the file %1: %2", "The file has %1 lines; a map has 256. Nothing was loaded.",
     "Line %1 of the file (\"%2\") is not a map value from 0 to 999. Nothing was loaded."},
};

bool isCellValue(const QByteArray &line)
{
    if (line.isEmpty() || line.size() > 3)
        return false;
    for (char c : line)
        if (c < '0' || c > '9')
            return false;
    return true;
}
} // namespace

QByteArray mapFileContent(const QStringList &cells)
{
    QByteArray out;
    for (const QString &cell : cells)
        out += toCp1251(cell) + "\r\n";
    return out;
}

QString writeMapFile(const QString &path, const QStringList &cells)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    file.write(mapFileContent(cells));
    if (!file.commit())
        return file.errorString();
    return QString();
}

MapFileRead readMapFile(const QString &path, int language)
{
    const Texts &t = kTexts[language == 0 ? 0 : 1];
    MapFileRead result;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.error = QString::fromUtf8(t.cannotOpen).arg(path, file.errorString());
        return result;
    }
    if (file.size() > kLargestMapFile) {
        result.error = QString::fromUtf8(t.tooLarge).arg(path).arg(file.size());
        return result;
    }
    QByteArray all = file.readAll();
    if (all.endsWith("\r\n"))
        all.chop(2);
    else if (all.endsWith('\n'))
        all.chop(1);
    QList<QByteArray> lines = all.isEmpty() ? QList<QByteArray>() : all.split('\n');
    if (lines.size() != kMapCells) {
        result.error = QString::fromUtf8(t.lineCount).arg(lines.size());
        return result;
    }
    for (int i = 0; i < lines.size(); ++i) {
        QByteArray &line = lines[i];
        if (line.endsWith('\r'))
            line.chop(1);
        if (!isCellValue(line)) {
            result.error = QString::fromUtf8(t.badLine).arg(i + 1).arg(fromCp1251(line.left(20)));
            return result;
        }
        result.cells << QString::fromLatin1(line);
    }
    return result;
}

} // namespace tarvex::maps
