// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/LogFile.h"
#include "lang/RunTimeTexts.h"
#include "link/Exception.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <unistd.h>

namespace tarvex::monitor {

namespace {
QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}
} // namespace

// Takes whatever lines have gathered, writes them in one go and syncs them:
// a slow disk costs one sync per batch, not one per line.
struct LogFile::Writer {
    QFile file;
    SyncFunction sync;
    mutable std::mutex mutex;
    mutable std::condition_variable changed;
    QByteArray queue;
    bool busy = false;
    bool stopping = false;
    bool finished = false;
    QString error;
    std::thread thread;

    void run()
    {
        std::unique_lock lock(mutex);
        for (;;) {
            changed.wait(lock, [this] { return stopping || !queue.isEmpty(); });
            if (queue.isEmpty()) {
                finished = true;
                changed.notify_all();
                return;
            }
            QByteArray batch;
            batch.swap(queue);
            busy = true;
            const bool failedBefore = !error.isEmpty();
            lock.unlock();
            changed.notify_all(); // room in the queue again
            QString failure;
            if (!failedBefore)
                failure = write(batch);
            lock.lock();
            busy = false;
            if (error.isEmpty())
                error = failure;
            changed.notify_all();
        }
    }

    QString write(const QByteArray &bytes)
    {
        if (file.write(bytes) != bytes.size())
            return file.errorString();
        const int synced = sync ? sync(file.handle()) : (::fdatasync(file.handle()) == 0 ? 0 : errno);
        return synced == 0 ? QString() : systemError(synced);
    }
};

LogFile::LogFile() = default;

LogFile::~LogFile()
{
    close();
}

QString LogFile::baseName(const QDateTime &start)
{
    return start.toString(QStringLiteral("dd-MM-yy_hh-mm-ss"));
}

QString LogFile::freshName(const QString &folder, const QDateTime &start, const QString &extension)
{
    const QString base = baseName(start);
    auto inFolder = [&folder](const QString &name) { return folder.isEmpty() ? name : QDir(folder).filePath(name); };
    QString name = inFolder(base + extension);
    for (int n = 2; QFile::exists(name); ++n)
        name = inFolder(QStringLiteral("%1_%2%3").arg(base).arg(n).arg(extension));
    return name;
}

QString LogFile::open(const QString &path)
{
    close();
    auto writer = std::make_shared<Writer>();
    writer->file.setFileName(path);
    // Unbuffered: the writer's batch is the buffer.
    if (!writer->file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
        return writer->file.errorString();
    writer->sync = m_sync;
    writer->thread = std::thread([w = writer] { w->run(); });
    m_writer = std::move(writer);
    m_path = path;
    m_line.clear();
    m_failureTold = false;
    return QString();
}

void LogFile::append(const QByteArray &item, bool endLine)
{
    if (!m_writer)
        return;
    m_line += item;
    if (!endLine)
        return;
    m_line += "\r\n";
    std::unique_lock lock(m_writer->mutex);
    if (!m_writer->error.isEmpty()) {
        m_line.clear();
        if (m_failureTold)
            return;
        m_failureTold = true;
        throw Exception(m_writer->error);
    }
    if (!m_writer->changed.wait_for(lock, std::chrono::milliseconds(m_stallMs),
                                    [this] { return m_writer->queue.size() < m_queueLimit; })) {
        // The disk takes nothing: told once, the rest of the log dropped.
        m_writer->error = lang::runTimeText(lang::Text::LogDiskStalled, m_language).arg(m_stallMs / 1000);
        m_line.clear();
        m_failureTold = true;
        throw Exception(m_writer->error);
    }
    m_writer->queue += m_line;
    m_line.clear();
    lock.unlock();
    m_writer->changed.notify_all();
}

bool LogFile::waitWritten(int timeoutMs) const
{
    if (!m_writer)
        return true;
    std::unique_lock lock(m_writer->mutex);
    return m_writer->changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                      [this] { return m_writer->queue.isEmpty() && !m_writer->busy; });
}

QString LogFile::close()
{
    if (!m_writer)
        return QString();
    const std::shared_ptr<Writer> writer = std::move(m_writer);
    std::unique_lock lock(writer->mutex);
    writer->queue += m_line;
    writer->stopping = true;
    m_line.clear();
    writer->changed.notify_all();
    if (!writer->changed.wait_for(lock, std::chrono::milliseconds(m_stallMs), [&] { return writer->finished; })) {
        // Its thread keeps the writer and closes the file when the disk
        // answers at last.
        writer->thread.detach();
        return lang::runTimeText(lang::Text::LogDiskStalled, m_language).arg(m_stallMs / 1000);
    }
    lock.unlock();
    writer->thread.join();
    QString error = writer->error;
    if (!writer->file.flush() && error.isEmpty())
        error = writer->file.errorString();
    writer->file.close();
    return error;
}

} // namespace tarvex::monitor
