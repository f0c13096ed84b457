// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "monitor/ReaderMessage.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <array>
#include <optional>
#include <utility>
#include <vector>

namespace tarvex::monitor {

constexpr int kTrackCells = 256;
using FuelMap = std::array<int, kTrackCells>;

// The fuel map a log was recorded with: the map the ECU held when logging
// started (or when the window first knew it, later) and every cell change
// made while logging, each with the record it took effect at, and the
// stretches in which the window did not know the ECU's map (a restart, a
// failed read). It lies beside the log, in a text file of its own.
class LogMapTrack {
public:
    // Record and cell from 0; the value holds from that record on.
    struct Change {
        int record = 0;
        int cell = 0;
        int value = 0;
    };

    LogMapTrack() = default;
    explicit LogMapTrack(const FuelMap &start) : m_start(start) {}

    void begin(const FuelMap &start);
    // Changes are kept in record order; one of an earlier record than the
    // last goes before the later ones.
    void change(int record, int cell, int value);

    const FuelMap &start() const { return m_start; }
    const std::vector<Change> &changes() const { return m_changes; }
    // The start map holds from this record on; the records before it have
    // no map.
    int firstRecord() const { return m_first; }
    void setFirstRecord(int record) { m_first = std::max(0, record); }
    // From `from` to before `to` (-1: to the end) the map was not known.
    void unknown(int from, int to);
    // Whether the map in force when the record was taken is known.
    bool hasMapAt(int record) const;
    // The map in force when the record was taken.
    FuelMap mapAt(int record) const;
    // The map the ECU held at the log's end.
    FuelMap endMap() const;

    // The file's text.
    QByteArray text() const;

private:
    FuelMap m_start{};
    std::vector<Change> m_changes;
    int m_first = 0;
    std::vector<std::pair<int, int>> m_unknown; // [from, to), to -1: open
};

// The side file of a log: the log's name with ".fuel" for ".log".
QString logMapTrackPath(const QString &logPath);

struct LogMapTrackRead {
    std::optional<LogMapTrack> track; // none when the file is missing or not a track
    ReaderMessage error;              // why it is not a track; empty when missing or read
    int badLines = 0;                 // change lines skipped
    int firstBadLine = 0;             // from 1
};
LogMapTrackRead readLogMapTrack(const QByteArray &content);
// A missing file is no error: an older log has none.
LogMapTrackRead readLogMapTrackFile(const QString &path);

// The cells of a map as the window holds them, as numbers; none unless all
// 256 are values of the fuel map (0 to 999).
std::optional<FuelMap> fuelMapValues(const QStringList &cells);

// Writes the track beside a log while the log is being recorded; each line
// reaches the disk at once, as the log's do.
class LogMapTrackWriter {
public:
    // A log starts: its records are counted from here, the file made once
    // the map is known.
    void newLog();
    // Creates the file with the map known now, holding from the log's
    // record about to start; the system's error text, empty on success.
    QString begin(const QString &path, const FuelMap &start);
    bool isOpen() const { return m_file.isOpen(); }
    QString path() const { return m_file.fileName(); }

    // The ECU holds `value` in the fuel cell (0 to 255) from now on: the
    // change takes effect at the log's next record. Nothing is written when
    // the cell held the value already. The error text, empty on success; a
    // failed write removes the file, since a track with a change missing
    // would give the analysis a wrong base.
    QString change(int cell, int value);
    // Every cell that differs from `cells` (as the window holds them; those
    // that are not numbers are left alone) is a change; after a stretch
    // without a known map, the stretch ends here.
    QString follow(const QStringList &cells);
    // From the record about to start the window does not know the ECU's
    // map: its records count as having none.
    QString unknown();
    // A record of the log begins.
    void recordStarts() { ++m_records; }
    int records() const { return m_records; }
    void close();

private:
    QString writeLine(const QByteArray &line);

    QFile m_file;
    FuelMap m_now{};
    QStringList m_followed; // the cells as last followed
    int m_records = 0;
    bool m_unknown = false; // in a stretch without a known map
};

} // namespace tarvex::monitor
