// SPDX-License-Identifier: GPL-3.0-or-later
// One libFuzzer entry per input the program takes from outside: replies,
// files and firmware images. Which one is chosen when built.
#include "maps/SettingsFile.h"
#include "link/EcuExchange.h"
#include "maps/MapFile.h"
#include "maps/MapOperations.h"
#include "maps/MapReply.h"
#include "monitor/LiveAnalysis.h"
#include "monitor/LiveData.h"
#include "monitor/LogAnalysis.h"
#include "monitor/LogMapTrack.h"
#include "monitor/LogReader.h"
#include "service/Calibration.h"
#include "service/Diagnostics.h"
#include "service/FirmwareLoader.h"

#include <QFile>
#include <cstdint>
#include <cstdlib>
#include <unistd.h>

using namespace tarvex;

namespace {

[[maybe_unused]] QString scratchFile(const QByteArray &content)
{
    static const QString path = QStringLiteral("/tmp/tarvex-fuzz-%1.txt").arg(getpid());
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(content);
    return path;
}

[[maybe_unused]] void liveData(const QByteArray &reply)
{
    // Every field of both replies, as the tick reads them.
    for (char tag = 'A'; tag <= 'Y'; ++tag) {
        const QByteArray value = link::taggedField(reply, tag);
        const int number = link::fieldNumber(value);
        link::celsiusText(number);
        monitor::voltageText(number);
        monitor::injectionTimeText(link::fieldReal(value));
        monitor::lambdaDisplay(value, tag % 2 == 0);
        monitor::workingPoint(number);
        monitor::yesNoText(value, number & 1);
        monitor::autotuneText(value, 0);
        monitor::faultCodeText(number, 1);
    }
    // As both replies of the live analysis, a few records in a row.
    monitor::LiveAnalysis live;
    live.configure({.minRecords = 1, .lambdaDelayMs = int(reply.size() % 600)}, {});
    for (int i = 0; i < 3; ++i) {
        live.sensorReply(reply, i * 100.0);
        live.stateReply(reply, i * 100.0 + 50, [](int cell) { return std::optional(cell); });
    }
    monitor::FuelMap current;
    current.fill(int(reply.size() % 1000));
    if (live.records() != 3 || live.result(current).recordsUsed > 3)
        abort();
}

[[maybe_unused]] void calibrationAndDate(const QByteArray &reply)
{
    try {
        service::decodeCalibration(reply, [](int, const QString &) {});
    } catch (const Exception &) {
    }
    try {
        service::parseInstallDate(reply);
    } catch (const Exception &) {
    }
}

[[maybe_unused]] void logFile(const QByteArray &bytes)
{
    const monitor::LogData log = monitor::readLogFile(scratchFile(bytes));
    if ((!log.error.isEmpty() && !log.records.empty()) || (log.badLines > 0) != (log.firstBadLine > 0))
        abort();
    // On to the analysis and the CSVs, as the viewer takes it.
    const monitor::Analysis a = monitor::analyseLog(log, monitor::guessSensor(log),
                                                    {.lambdaDelayMs = int(bytes.size() % 2200)},
                                                    monitor::LogMapTrack(monitor::FuelMap{}), {});
    if (a.recordsUsed > int(log.records.size()))
        abort();
    monitor::logCsv(log);
    monitor::cellsCsv(a);
}

[[maybe_unused]] void mapTrack(const QByteArray &bytes)
{
    const monitor::LogMapTrackRead read = monitor::readLogMapTrackFile(scratchFile(bytes));
    if (!read.track)
        return;
    // What is read is written back the same.
    const monitor::LogMapTrackRead again = monitor::readLogMapTrack(read.track->text());
    if (!again.track || again.badLines != 0 || again.track->text() != read.track->text())
        abort();
    read.track->mapAt(int(bytes.size()));
}

// Text from another program's clipboard: a table is rectangular, and what
// is copied of it is read back the same.
[[maybe_unused]] void paste(const QByteArray &bytes)
{
    const auto parsed = maps::parsePaste(QString::fromUtf8(bytes));
    const auto *rows = std::get_if<maps::PasteRows>(&parsed);
    if (!rows)
        return;
    if (rows->empty())
        abort();
    QString text;
    for (const std::vector<int> &row : *rows) {
        if (row.size() != rows->front().size() || row.empty())
            abort();
        QStringList cells;
        for (int value : row)
            cells << QString::number(value);
        text += cells.join(QLatin1Char('\t')) + QLatin1Char('\n');
    }
    const auto again = maps::parsePaste(text);
    if (!std::holds_alternative<maps::PasteRows>(again) || std::get<maps::PasteRows>(again) != *rows)
        abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
#if defined(FUZZ_LIVE_DATA)
    liveData(bytes);
#elif defined(FUZZ_MAP_REPLY)
    if (const auto cells = maps::parseMapReply(bytes); cells && cells->size() != maps::kMapCells)
        abort();
#elif defined(FUZZ_CALIBRATION)
    calibrationAndDate(bytes);
#elif defined(FUZZ_CONNECT_REPLY)
    const QByteArray text = link::connectReplyText(bytes);
    if (text.size() > bytes.size())
        abort();
    link::hasBrackets(bytes);
#elif defined(FUZZ_SETTINGS_FILE)
    const maps::SettingsRead read = maps::readSettingsFile(scratchFile(bytes));
    if (read.colors.size() > size_t(maps::kBandCount))
        abort();
#elif defined(FUZZ_MAP_FILE)
    const maps::MapFileRead read = maps::readMapFile(scratchFile(bytes), int(size % 2));
    if (read.error.isEmpty() && read.cells.size() != maps::kMapCells)
        abort();
#elif defined(FUZZ_LOG_FILE)
    logFile(bytes);
#elif defined(FUZZ_MAP_TRACK)
    mapTrack(bytes);
#elif defined(FUZZ_PASTE)
    paste(bytes);
#elif defined(FUZZ_FIRMWARE_BLOCK)
    const int number = size > 0 ? data[0] : 1;
    const QByteArray block = service::firmwareBlock(number, QByteArrayView(bytes).sliced(size > 0 ? 1 : 0));
    if (block.size() != 132)
        abort();
    service::firmwareBlockCount(qint64(size) * 1000);
#else
#error "choose a fuzz target"
#endif
    return 0;
}
