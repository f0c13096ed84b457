#include "monitor/LogFile.h"
#include "link/Exception.h"

#include <QDir>

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace tarvex::monitor {

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
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return m_file.errorString();
    return QString();
}

void LogFile::append(const QByteArray &item, bool endLine)
{
    const QByteArray bytes = endLine ? item + "\r\n" : item;
    if (m_file.write(bytes) != bytes.size())
        throw Exception(m_file.errorString());
    // A finished line reaches the disk at once: a pulled plug or a crash
    // loses at most the line being written.
    if (endLine && (!m_file.flush() || ::fdatasync(m_file.handle()) != 0))
        throw Exception(m_file.error() != QFileDevice::NoError ? m_file.errorString()
                                                               : QString::fromLocal8Bit(std::strerror(errno)));
}

QString LogFile::close()
{
    if (!m_file.isOpen())
        return QString();
    const bool flushed = m_file.flush();
    const QString error = flushed ? QString() : m_file.errorString();
    m_file.close();
    return error;
}

} // namespace tarvex::monitor
