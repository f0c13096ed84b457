// SPDX-License-Identifier: GPL-3.0-or-later
#include "maps/MapFile.h"
#include "lang/RunTimeTexts.h"
#include "link/Protocol.h"
#include "maps/MapReply.h"

#include <QFile>
#include <QSaveFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace tarvex::maps {

namespace {
// A map file is at most 256 lines of a sign, three digits and a line end.
constexpr qint64 kLargestMapFile = 64 * 1024;

// One to three digits, a minus sign allowed before them: what the program
// writes itself, also for the values below 0 an ECU may report.
bool isCellValue(const QByteArray &line)
{
    const QByteArray digits = line.startsWith('-') ? line.mid(1) : line;
    if (digits.isEmpty() || digits.size() > 3)
        return false;
    for (char c : digits)
        if (c < '0' || c > '9')
            return false;
    return true;
}

struct Limited {
    QByteArray bytes;
    int error = 0; // errno of the open or a read
    bool tooLarge = false;
};

// At most limit + 1 bytes of any file, a device or a FIFO too, and never a
// wait for a writer: the descriptor does not block.
Limited readAtMost(const QString &path, qint64 limit)
{
    Limited result;
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        result.error = errno;
        return result;
    }
    result.bytes.resize(limit + 1);
    qint64 got = 0;
    while (got <= limit) {
        const ssize_t n = ::read(fd, result.bytes.data() + got, size_t(limit + 1 - got));
        if (n > 0) {
            got += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN)
            result.error = errno;
        break;
    }
    ::close(fd);
    result.bytes.truncate(got);
    result.tooLarge = got > limit;
    return result;
}
} // namespace

QByteArray mapFileContent(const QStringList &cells)
{
    QByteArray out;
    for (const QString &cell : cells)
        out += link::toCp1251(cell) + "\r\n";
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
    using lang::Text;
    MapFileRead result;
    const Limited file = readAtMost(path, kLargestMapFile);
    if (file.error != 0) {
        result.error = lang::runTimeText(lang::Text::MapFileCannotOpen, language)
                           .arg(path, QString::fromLocal8Bit(std::strerror(file.error)));
        return result;
    }
    if (file.tooLarge) {
        result.error = lang::runTimeText(lang::Text::MapFileTooLarge, language).arg(path).arg(kLargestMapFile);
        return result;
    }
    QByteArray all = file.bytes;
    if (all.endsWith("\r\n"))
        all.chop(2);
    else if (all.endsWith('\n'))
        all.chop(1);
    QList<QByteArray> lines = all.isEmpty() ? QList<QByteArray>() : all.split('\n');
    if (lines.size() != kMapCells) {
        result.error = lang::runTimeText(lang::Text::MapFileLineCount, language).arg(lines.size());
        return result;
    }
    for (int i = 0; i < lines.size(); ++i) {
        QByteArray &line = lines[i];
        if (line.endsWith('\r'))
            line.chop(1);
        if (!isCellValue(line)) {
            result.error =
                lang::runTimeText(lang::Text::MapFileBadLine, language).arg(i + 1).arg(link::fromCp1251(line.left(20)));
            return result;
        }
        result.cells << QString::fromLatin1(line);
    }
    return result;
}

MapFileRead readMapFile(const QString &path, const ValueRange &range, int language)
{
    MapFileRead file = readMapFile(path, language);
    for (int line = 0; file.error.isEmpty() && line < file.cells.size(); ++line) {
        const int value = file.cells[line].toInt();
        if (value < range.lowest || value > range.highest)
            file.error = lang::runTimeText(lang::Text::MapFileOutOfRange, language)
                             .arg(line + 1)
                             .arg(file.cells[line])
                             .arg(range.lowest)
                             .arg(range.highest);
    }
    return file;
}

std::optional<std::array<int, 256>> readMapValues(const QString &path, int language, QString *error)
{
    const MapFileRead file = readMapFile(path, language);
    if (!file.error.isEmpty()) {
        if (error)
            *error = file.error;
        return std::nullopt;
    }
    std::array<int, 256> values{};
    for (int cell = 0; cell < 256; ++cell)
        values[size_t(cell)] = link::tryStrToInt(file.cells[cell]).value_or(0); // checked: whole numbers
    return values;
}

} // namespace tarvex::maps
