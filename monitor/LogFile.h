// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <functional>
#include <memory>

namespace tarvex::monitor {

// The live-data log: 8-bit text with CR LF line ends, named after the time
// logging started. Finished lines are handed to a writer thread that writes
// them and syncs them to the disk, so a slow disk never holds up the caller.
class LogFile {
public:
    // Makes written bytes durable; 0 or an errno. fdatasync by default.
    using SyncFunction = std::function<int(int fd)>;
    // Bytes waiting for the writer beyond which append waits for it: minutes
    // of a stalled disk at the live-data rate.
    static constexpr qsizetype kQueueLimit = 4 * 1024 * 1024;
    // How long append and close wait for a disk that takes nothing before
    // they give it up: the window never hangs on a dead USB stick.
    static constexpr int kStallMs = 10000;

    LogFile();
    ~LogFile();
    LogFile(const LogFile &) = delete;
    LogFile &operator=(const LogFile &) = delete;

    // "dd-mm-yy_hh-nn-ss.log" for the given local time.
    static QString baseName(const QDateTime &start);
    // The name in `folder` (empty: the working directory) that is not taken
    // yet: a second start within the same second gets "_2", then "_3" …
    static QString freshName(const QString &folder, const QDateTime &start,
                             const QString &extension = QStringLiteral(".log"));

    // Creates the file; returns the system's error text, empty on success.
    QString open(const QString &path);
    bool isOpen() const { return m_writer != nullptr; }
    QString path() const { return m_path; }
    // Appends an item; a finished line goes to the writer. The first write
    // the disk refused is thrown (as the system's error text) by the next
    // append, once; the lines after it are dropped. So is a queue that
    // stayed full for the stall limit.
    void append(const QByteArray &item, bool endLine = false);
    // Waits until the writer has handled every finished line; false on
    // time-out.
    bool waitWritten(int timeoutMs) const;
    // Hands over the unfinished line, waits for the writer and closes the
    // file; returns the first error of any write or of the last flush, empty
    // when all of it reached the disk. A writer still stuck after the stall
    // limit is left to finish on its own, and that is the error.
    QString close();

    // For the next open.
    void setSync(SyncFunction sync) { m_sync = std::move(sync); }
    void setLimits(qsizetype queueBytes, int stallMs)
    {
        m_queueLimit = queueBytes;
        m_stallMs = stallMs;
    }
    // The language of the stall's text (a language box's index).
    void setLanguage(int language) { m_language = language; }

private:
    struct Writer;
    std::shared_ptr<Writer> m_writer; // shared with its thread, which may outlive a stalled close
    qsizetype m_queueLimit = kQueueLimit;
    int m_stallMs = kStallMs;
    int m_language = 0;
    QByteArray m_line;
    QString m_path;
    bool m_failureTold = false;
    SyncFunction m_sync;
};

} // namespace tarvex::monitor
