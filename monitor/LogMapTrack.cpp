// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/LogMapTrack.h"
#include "link/Protocol.h"

#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace tarvex::monitor {

namespace {
const char kHeader[] = "tarvex fuel track 1";
constexpr int kHighest = 999;
// Far more than the changes of the longest drive.
constexpr qint64 kMaxFileBytes = 64 * 1024 * 1024;

// A whole number of plain digits within [lowest, highest].
std::optional<int> wholeIn(const QByteArray &word, int lowest, int highest)
{
    if (word.isEmpty() || word.size() > 9 || !std::all_of(word.begin(), word.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    const int n = word.toInt();
    return n >= lowest && n <= highest ? std::optional<int>(n) : std::nullopt;
}

QByteArray changeLine(int record, int cell, int value)
{
    return "change " + QByteArray::number(record + 1) + ' ' + QByteArray::number(cell + 1) + ' '
        + QByteArray::number(value) + '\n';
}

// "from R", "unknown R", "known R": the records before R have no map, the
// map is not known from R on, known again from R.
QByteArray recordLine(const char *word, int record)
{
    return QByteArray(word) + ' ' + QByteArray::number(record + 1) + '\n';
}

QByteArray startLine(const FuelMap &map)
{
    QByteArray line = "start";
    for (int v : map)
        line += ' ' + QByteArray::number(v);
    return line + '\n';
}
} // namespace

void LogMapTrack::begin(const FuelMap &start)
{
    m_start = start;
    m_changes.clear();
}

void LogMapTrack::change(int record, int cell, int value)
{
    const auto at = std::upper_bound(m_changes.begin(), m_changes.end(), record,
                                     [](int r, const Change &c) { return r < c.record; });
    m_changes.insert(at, Change{record, cell, value});
}

void LogMapTrack::unknown(int from, int to)
{
    m_unknown.emplace_back(from, to);
}

bool LogMapTrack::hasMapAt(int record) const
{
    if (record < m_first)
        return false;
    return std::none_of(m_unknown.begin(), m_unknown.end(), [record](const std::pair<int, int> &gap) {
        return record >= gap.first && (gap.second < 0 || record < gap.second);
    });
}

FuelMap LogMapTrack::mapAt(int record) const
{
    FuelMap map = m_start;
    for (const Change &c : m_changes) {
        if (c.record > record)
            break;
        map[size_t(c.cell)] = c.value;
    }
    return map;
}

FuelMap LogMapTrack::endMap() const
{
    FuelMap map = m_start;
    for (const Change &c : m_changes)
        map[size_t(c.cell)] = c.value;
    return map;
}

QByteArray LogMapTrack::text() const
{
    QByteArray out = QByteArray(kHeader) + '\n' + startLine(m_start);
    if (m_first > 0)
        out += recordLine("from", m_first);
    for (const auto &[from, to] : m_unknown) {
        out += recordLine("unknown", from);
        if (to >= 0)
            out += recordLine("known", to);
    }
    for (const Change &c : m_changes)
        out += changeLine(c.record, c.cell, c.value);
    return out;
}

QString logMapTrackPath(const QString &logPath)
{
    const QString stem = logPath.endsWith(QLatin1String(".log"), Qt::CaseInsensitive) ? logPath.chopped(4) : logPath;
    return stem + QStringLiteral(".fuel");
}

LogMapTrackRead readLogMapTrack(const QByteArray &content)
{
    LogMapTrackRead read;
    QList<QByteArray> lines = content.split('\n');
    auto notTrack = [&read](lang::Text why) {
        read.error = ReaderMessage(why, {});
        return read;
    };
    if (lines.size() < 2 || lines[0].trimmed() != kHeader)
        return notTrack(lang::Text::TrackNotTrack);
    const QList<QByteArray> start = lines[1].simplified().split(' ');
    if (start.size() != kTrackCells + 1 || start[0] != "start")
        return notTrack(lang::Text::TrackNoStart);
    FuelMap map{};
    for (int cell = 0; cell < kTrackCells; ++cell) {
        const std::optional<int> v = wholeIn(start[cell + 1], 0, kHighest);
        if (!v)
            return notTrack(lang::Text::TrackNoStart);
        map[size_t(cell)] = *v;
    }
    LogMapTrack track(map);
    int openGap = -1; // an "unknown" line not yet ended by "known"
    for (int i = 2; i < lines.size(); ++i) {
        const QByteArray line = lines[i].simplified();
        if (line.isEmpty())
            continue;
        const QList<QByteArray> words = line.split(' ');
        if (words.size() == 2 && (words[0] == "from" || words[0] == "unknown" || words[0] == "known")) {
            if (const std::optional<int> at = wholeIn(words[1], 1, 1 << 30)) {
                if (words[0] == "from")
                    track.setFirstRecord(*at - 1);
                else if (words[0] == "unknown")
                    openGap = *at - 1;
                else if (openGap >= 0)
                    track.unknown(std::exchange(openGap, -1), *at - 1);
                continue;
            }
        }
        const std::optional<int> record = words.size() == 4 ? wholeIn(words[1], 1, 1 << 30) : std::nullopt;
        const std::optional<int> cell = words.size() == 4 ? wholeIn(words[2], 1, kTrackCells) : std::nullopt;
        const std::optional<int> value = words.size() == 4 ? wholeIn(words[3], 0, kHighest) : std::nullopt;
        if (words[0] != "change" || !record || !cell || !value) {
            if (read.badLines++ == 0)
                read.firstBadLine = i + 1;
            continue;
        }
        track.change(*record - 1, *cell - 1, *value);
    }
    if (openGap >= 0)
        track.unknown(openGap, -1);
    read.track = std::move(track);
    return read;
}

LogMapTrackRead readLogMapTrackFile(const QString &path)
{
    QFile file(path);
    if (!file.exists())
        return {};
    LogMapTrackRead read;
    if (QFileInfo(path).size() > kMaxFileBytes) {
        read.error = ReaderMessage(lang::Text::TrackTooLarge, {path});
        return read;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        read.error = ReaderMessage::cannotOpen(path, file.errorString());
        return read;
    }
    return readLogMapTrack(file.readAll());
}

std::optional<FuelMap> fuelMapValues(const QStringList &cells)
{
    if (cells.size() != kTrackCells)
        return std::nullopt;
    FuelMap map{};
    for (int cell = 0; cell < kTrackCells; ++cell) {
        const std::optional<int> v = link::tryStrToInt(cells[cell]);
        if (!v || *v < 0 || *v > kHighest)
            return std::nullopt;
        map[size_t(cell)] = *v;
    }
    return map;
}

void LogMapTrackWriter::newLog()
{
    close();
    m_records = 0;
}

QString LogMapTrackWriter::begin(const QString &path, const FuelMap &start)
{
    close();
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return m_file.errorString();
    m_now = start;
    m_followed.clear();
    m_unknown = false;
    QByteArray head = QByteArray(kHeader) + '\n' + startLine(start);
    if (m_records > 0)
        head += recordLine("from", m_records);
    if (m_file.write(head) != head.size() || !m_file.flush() || ::fdatasync(m_file.handle()) != 0) {
        const QString error = m_file.errorString();
        m_file.remove();
        return error;
    }
    return QString();
}

QString LogMapTrackWriter::change(int cell, int value)
{
    if (!m_file.isOpen() || cell < 0 || cell >= kTrackCells || m_now[size_t(cell)] == value)
        return QString();
    m_now[size_t(cell)] = value;
    return writeLine(changeLine(m_records, cell, value));
}

QString LogMapTrackWriter::unknown()
{
    if (!m_file.isOpen() || m_unknown)
        return QString();
    m_unknown = true;
    // Every cell is compared afresh when the map is known again.
    m_followed.clear();
    return writeLine(recordLine("unknown", m_records));
}

QString LogMapTrackWriter::writeLine(const QByteArray &line)
{
    if (m_file.write(line) == line.size() && m_file.flush() && ::fdatasync(m_file.handle()) == 0)
        return QString();
    const QString error = m_file.error() != QFileDevice::NoError ? m_file.errorString()
                                                                 : QString::fromLocal8Bit(std::strerror(errno));
    m_file.remove();
    return error;
}

QString LogMapTrackWriter::follow(const QStringList &cells)
{
    if (m_file.isOpen() && m_unknown) {
        m_unknown = false;
        if (const QString error = writeLine(recordLine("known", m_records)); !error.isEmpty())
            return error;
    }
    // Called at every record: only the texts that changed are read.
    if (!m_file.isOpen() || cells == m_followed)
        return QString();
    for (int cell = 0; cell < std::min<int>(kTrackCells, int(cells.size())); ++cell) {
        if (cells[cell] == m_followed.value(cell))
            continue;
        const std::optional<int> v = link::tryStrToInt(cells[cell]);
        if (!v || *v < 0 || *v > kHighest)
            continue;
        if (const QString error = change(cell, *v); !error.isEmpty())
            return error;
    }
    m_followed = cells;
    return QString();
}

void LogMapTrackWriter::close()
{
    if (m_file.isOpen())
        m_file.close();
}

} // namespace tarvex::monitor
