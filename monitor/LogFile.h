#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QString>

namespace tarvex::monitor {

// The live-data log: 8-bit text with CR LF line ends, named after the time
// logging started. Each finished line goes through to the disk at once.
class LogFile {
public:
    // "dd-mm-yy_hh-nn-ss.log" for the given local time.
    static QString baseName(const QDateTime &start);
    // The name in `folder` (empty: the working directory) that is not taken
    // yet: a second start within the same second gets "_2", then "_3" …
    static QString freshName(const QString &folder, const QDateTime &start,
                             const QString &extension = QStringLiteral(".log"));

    // Creates the file; returns the system's error text, empty on success.
    QString open(const QString &path);
    bool isOpen() const { return m_file.isOpen(); }
    QString path() const { return m_file.fileName(); }
    // Appends an item; ends the line (and writes it through) when asked.
    // Throws the system's error text when the disk refuses.
    void append(const QByteArray &item, bool endLine = false);
    // Closes the file; returns the error of its last write, empty when all
    // of it reached the disk.
    QString close();

private:
    QFile m_file;
};

} // namespace tarvex::monitor
