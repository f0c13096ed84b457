// SPDX-License-Identifier: GPL-3.0-or-later
// tarvex-logview: plots a live-data log recorded by the window and plays it
// back on the window's gauges and fuel map, analyses it per cell of the fuel
// map and suggests a corrected map.
#include "widgets/QtDialogs.h"
#include "widgets/ProgramStart.h"
#include "lang/RememberedLanguage.h"
#include "maps/MapFile.h"
#include "monitor/LogAnalysis.h"
#include "monitor/LogComparison.h"
#include "monitor/LogMapTrack.h"
#include "widgets/CompareCells.h"
#include "widgets/LogPlot.h"
#include "logview/LogPlaybackView.h"
#include "logview/LogViewWindow.h"
#include "maps/SettingsFile.h"
#include "widgets/MapGrid.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <cstdio>
#include <optional>

using namespace tarvex;
using namespace tarvex::monitor;
using namespace tarvex::logview;
using namespace tarvex::widgets;

namespace {
const char kUsage[] =
    "Usage: tarvex-logview FILE.log\n"
    "       tarvex-logview --csv FILE.log          (the records as CSV on standard output)\n"
    "       tarvex-logview --png OUT.png FILE.log  (the plots as a picture)\n"
    "       tarvex-logview --cells OUT.csv FILE.log (the fuel map's cells as CSV; - for standard output)\n"
    "       tarvex-logview --suggest OUT.inj [--map CURRENT.inj] FILE.log\n"
    "                      (a suggested fuel map from the map beside the log, FILE.fuel, which the\n"
    "                       window writes; for a log without one, --map names the map the ECU held)\n"
    "       tarvex-logview BEFORE.log --compare AFTER.log [--csv OUT.csv]\n"
    "                      (two drives compared per cell of the fuel map, in the window, or with --csv\n"
    "                       as CSV; - for standard output)\n"
    "       tarvex-logview --help | --version\n"
    "Analysis options (--cells, --suggest, --compare):\n"
    "  --sensor wide|narrow   the lambda sensor (guessed from the log when not given)\n"
    "  --min-coolant C        leave out records with the coolant below C, -40 to 130 (70)\n"
    "  --throttle-rate R      leave out records while the throttle moves faster than R units a second,\n"
    "                         1 to 10000 (150)\n"
    "  --keep-overrun         keep records with a fuel cut (no injection, the deceleration flag)\n"
    "  --min-records N        no suggestion for cells with fewer records, 1 to 100000 (10)\n"
    "  --lambda-delay MS      each reading belongs to the working point MS milliseconds before it,\n"
    "                         0 to 2000 (0)\n"
    "  --lock CELLS           cells that get no suggestion: numbers 1 to 256 and ranges, as 67,83-85\n"
    "  --target AFR           the air-fuel ratio aimed at, 8 to 22, one decimal at most (14.7)\n"
    "  --target-map FILE      a target per cell: a map file holding AFR × 10\n"
    "  --max-change PCT       the largest change a cell takes in one pass, 1 to 100, one decimal\n"
    "                         at most (15)\n"
    "The window's lambda delay and locked cells are its own; give them here as options.\n";

// The command line speaks English, as its usage does; the texts it shares
// with the window are taken in that language.
constexpr int kLanguage = 1;

int usage()
{
    std::fputs(kUsage, stderr);
    return 2;
}

int fail(const QString &why)
{
    std::fprintf(stderr, "tarvex-logview: %s\n", qPrintable(why));
    return 1;
}

struct Command {
    QString mode;   // "", "--csv", "--png", "--cells", "--suggest"
    QString output; // of --png, --cells, --suggest, and of --csv with --compare
    QString compare; // the log after
    QString log;
    QString map;
    QString targetMap;
    std::optional<SensorKind> sensor;
    AnalysisFilters filters;
    SuggestionSettings settings;
};

// Why the command line makes no sense; usage() when there is no message.
struct BadCommand {
    QString message;
};

// A number of an option: its form and its range checked.
double numberOf(const QString &option, const QString &text, double lowest, double highest, bool whole)
{
    bool ok = false;
    const double n = whole ? double(text.toInt(&ok)) : text.toDouble(&ok);
    if (!ok || !(n >= lowest && n <= highest))
        throw BadCommand{QStringLiteral("%1 takes %2 from %3 to %4, not '%5'")
                             .arg(option, whole ? QStringLiteral("a whole number") : QStringLiteral("a number"))
                             .arg(lowest)
                             .arg(highest)
                             .arg(text)};
    return n;
}

// A number with at most one decimal, in tenths: the suggestion reckons in
// whole numbers.
int tenthsOf(const QString &option, const QString &text, int lowest, int highest)
{
    static const QRegularExpression form(QStringLiteral("^(\\d{1,4})(?:\\.(\\d))?$"));
    const QRegularExpressionMatch m = form.match(text);
    const int tenths = m.hasMatch() ? m.captured(1).toInt() * 10 + m.captured(2).toInt() : -1;
    if (tenths < lowest || tenths > highest)
        throw BadCommand{QStringLiteral("%1 takes a number with at most one decimal from %2 to %3, not '%4'")
                             .arg(option)
                             .arg(lowest / 10.0)
                             .arg(highest / 10.0)
                             .arg(text)};
    return tenths;
}

// "67,83-85": cell numbers 1 to 256 and ranges of them.
std::array<bool, kCellCount> cellsOf(const QString &option, const QString &text)
{
    std::array<bool, kCellCount> cells{};
    for (const QString &part : text.split(QLatin1Char(','))) {
        const QStringList ends = part.split(QLatin1Char('-'));
        if (ends.size() > 2)
            throw BadCommand{QStringLiteral("%1 takes cells 1 to 256 and ranges such as 67,83-85, not '%2'").arg(option, text)};
        const int first = int(numberOf(option, ends.first(), 1, kCellCount, true));
        const int last = int(numberOf(option, ends.last(), first, kCellCount, true));
        for (int cell = first; cell <= last; ++cell)
            cells[size_t(cell - 1)] = true;
    }
    return cells;
}

// The command line; throws BadCommand when it makes no sense.
Command parse(const QStringList &args)
{
    Command c;
    QStringList positional;
    // With --compare, --csv names the table's file.
    const bool comparing = args.contains(QLatin1String("--compare"));
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        auto value = [&]() -> QString {
            if (i + 1 >= args.size())
                throw BadCommand{QStringLiteral("%1 needs a value").arg(a)};
            return args[++i];
        };
        if (a == QLatin1String("--csv")) {
            c.mode = a;
            if (comparing)
                c.output = value();
        } else if (a == QLatin1String("--compare")) {
            c.compare = value();
        } else if (a == QLatin1String("--png") || a == QLatin1String("--cells") || a == QLatin1String("--suggest")) {
            c.mode = a;
            c.output = value();
        } else if (a == QLatin1String("--map")) {
            c.map = value();
        } else if (a == QLatin1String("--target-map")) {
            c.targetMap = value();
        } else if (a == QLatin1String("--sensor")) {
            const QString v = value();
            if (v != QLatin1String("wide") && v != QLatin1String("narrow"))
                throw BadCommand{QStringLiteral("--sensor takes wide or narrow, not '%1'").arg(v)};
            c.sensor = v == QLatin1String("wide") ? SensorKind::WideBand : SensorKind::NarrowBand;
        } else if (a == QLatin1String("--keep-overrun")) {
            c.filters.skipNoInjection = false;
        } else if (a == QLatin1String("--min-coolant")) {
            c.filters.minCoolantC = numberOf(a, value(), -40, 130, false);
        } else if (a == QLatin1String("--throttle-rate")) {
            c.filters.maxThrottlePerS = numberOf(a, value(), 1, 10000, false);
        } else if (a == QLatin1String("--min-records")) {
            c.filters.minRecords = int(numberOf(a, value(), 1, 100000, true));
        } else if (a == QLatin1String("--lambda-delay")) {
            c.filters.lambdaDelayMs = int(numberOf(a, value(), 0, kMaxLambdaDelayMs, true));
        } else if (a == QLatin1String("--lock")) {
            c.settings.locked = cellsOf(a, value());
        } else if (a == QLatin1String("--target")) {
            c.settings.targetAfrTenths = tenthsOf(a, value(), 80, 220);
        } else if (a == QLatin1String("--max-change")) {
            c.settings.maxChangePerMille = tenthsOf(a, value(), 10, 1000);
        } else if (a.startsWith(QLatin1String("--"))) {
            throw BadCommand{QStringLiteral("unknown option %1").arg(a)};
        } else {
            positional << a;
        }
    }
    if (positional.size() != 1)
        throw BadCommand{positional.isEmpty() ? QString() : QStringLiteral("one log file, not %1").arg(positional.size())};
    c.log = positional.first();
    if (!c.compare.isEmpty() && !c.mode.isEmpty() && c.mode != QLatin1String("--csv"))
        throw BadCommand{QStringLiteral("--compare goes with --csv only, not with %1").arg(c.mode)};
    if (!c.compare.isEmpty() && !c.map.isEmpty())
        throw BadCommand{QStringLiteral("--map does not go with --compare: each log's map is the one beside it")};
    return c;
}

// A table to its file, or to standard output for "-".
int writeTable(const QString &output, const QByteArray &csv)
{
    if (output == QLatin1String("-")) {
        std::fwrite(csv.constData(), 1, size_t(csv.size()), stdout);
        return 0;
    }
    QFile out(output);
    if (!out.open(QIODevice::WriteOnly) || out.write(csv) != csv.size())
        return fail(QStringLiteral("cannot write %1: %2").arg(output, out.errorString()));
    return 0;
}

// The suggestion's settings with the target map read; none, said, when the
// map cannot be read.
std::optional<SuggestionSettings> settingsOf(const Command &c)
{
    SuggestionSettings settings = c.settings;
    if (c.targetMap.isEmpty())
        return settings;
    QString error;
    const auto targets = maps::readMapValues(c.targetMap, kLanguage, &error);
    if (!targets) {
        fail(error);
        return std::nullopt;
    }
    settings.targetMap = *targets;
    return settings;
}

int analyse(const Command &c, const LogData &log)
{
    // The base: the map given, or the one beside the log; never a backup
    // taken silently.
    std::optional<LogMapTrack> base;
    QString baseText;
    QString error;
    if (!c.map.isEmpty()) {
        const std::optional<std::array<int, kCellCount>> map = maps::readMapValues(c.map, 1, &error);
        if (!map)
            return fail(error);
        base = LogMapTrack(*map);
        baseText = QStringLiteral("%1 (given)").arg(c.map);
    } else {
        const QString trackPath = logMapTrackPath(c.log);
        const LogMapTrackRead track = readLogMapTrackFile(trackPath);
        if (!track.error.isEmpty())
            return fail(QStringLiteral("%1: %2").arg(trackPath, track.error.text(kLanguage)));
        if (track.badLines > 0)
            std::fprintf(stderr, "tarvex-logview: %s: lines skipped: %d, the first is line %d\n", qPrintable(trackPath),
                         track.badLines, track.firstBadLine);
        base = track.track;
        if (base)
            baseText = QStringLiteral("%1, beside the log (%2 changes while logging)")
                           .arg(trackPath)
                           .arg(base->changes().size());
        else if (c.mode == QLatin1String("--suggest"))
            return fail(QStringLiteral("no map beside the log (%1): give the map the ECU held with --map").arg(trackPath));
    }
    const std::optional<SuggestionSettings> settings = settingsOf(c);
    if (!settings)
        return 1;
    const SensorKind sensor = c.sensor.value_or(guessSensor(log));
    const Analysis analysis = analyseLog(log, sensor, c.filters, base, *settings);
    if (c.mode == QLatin1String("--cells")) {
        // Standard output may be the table: the base is told on the other.
        std::fprintf(stderr, "tarvex-logview: %s\n",
                     qPrintable(base ? QStringLiteral("current map %1").arg(baseText)
                                     : QStringLiteral("no map beside the log (%1): no suggestion; --map names one")
                                           .arg(logMapTrackPath(c.log))));
        return writeTable(c.output, cellsCsv(analysis));
    }
    if (sensor != SensorKind::WideBand)
        return fail(QStringLiteral("a narrow-band log measures no mixture: no suggestion"));
    QStringList cells;
    int changed = 0;
    for (int value : suggestedMap(analysis, base->endMap()))
        cells << QString::number(value);
    for (const CellStats &cell : analysis.cells)
        changed += cell.suggested && cell.suggested != cell.current;
    if (const QString writeError = maps::writeMapFile(c.output, cells); !writeError.isEmpty())
        return fail(QStringLiteral("cannot write %1: %2").arg(c.output, writeError));
    std::printf("%d records used, %d cells changed; current map %s\n", analysis.recordsUsed, changed,
                qPrintable(baseText));
    return 0;
}
// The map a log was taken with, from the file beside it; a file that cannot
// be read is told on standard error, and the log counts as without a map.
std::optional<LogMapTrack> trackBeside(const QString &logPath)
{
    const QString trackPath = logMapTrackPath(logPath);
    const LogMapTrackRead track = readLogMapTrackFile(trackPath);
    if (!track.error.isEmpty())
        std::fprintf(stderr, "tarvex-logview: %s: %s\n", qPrintable(trackPath), qPrintable(track.error.text(kLanguage)));
    return track.track;
}

// Two drives compared, as a table for scripts.
int compareTable(const Command &c, const LogData &before, const LogData &after)
{
    const std::optional<SuggestionSettings> settings = settingsOf(c);
    if (!settings)
        return 1;
    const LogComparison comparison = compareLogs(before, trackBeside(c.log), after, trackBeside(c.compare),
                                                 c.sensor.value_or(guessSensor(before)), c.filters, *settings);
    // Standard output may be the table: the summary goes to the other.
    std::fprintf(stderr, "tarvex-logview: %s\n", qPrintable(widgets::TCompareCells::SummaryText(comparison, kLanguage)));
    return writeTable(c.output, comparison.csv());
}
} // namespace

int main(int argc, char *argv[])
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    if (const std::optional<int> code = widgets::answerInformationOptions(args, "tarvex-logview", kUsage))
        return *code;
    std::optional<Command> command;
    try {
        command = parse(args);
    } catch (const BadCommand &bad) {
        if (bad.message.isEmpty())
            return usage();
        std::fprintf(stderr, "tarvex-logview: %s\n", qPrintable(bad.message));
        return 2;
    }
    const bool window = command->mode.isEmpty();
    if (!window && !qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (window && !widgets::haveDisplay()) {
        std::fputs("tarvex-logview: no display to show the plots on; --png and --csv work without one\n", stderr);
        return 1;
    }
    QApplication application(argc, argv);
    widgets::installQtTranslations(application);

    const LogData log = readLogFile(command->log);
    // The log after: either log unreadable ends a comparison as a bad option does.
    std::optional<LogData> after;
    if (!command->compare.isEmpty())
        after = readLogFile(command->compare);
    if (after && (!log.error.isEmpty() || !after->error.isEmpty())) {
        std::fprintf(stderr, "tarvex-logview: %s\n",
                     qPrintable((log.error.isEmpty() ? after->error : log.error).text(kLanguage)));
        return 2;
    }
    if (!log.error.isEmpty())
        return fail(log.error.text(kLanguage));
    if (log.badLines > 0)
        std::fprintf(stderr, "tarvex-logview: bad lines of the log skipped: %d, the first is line %d\n", log.badLines,
                     log.firstBadLine);
    if (after && after->badLines > 0)
        std::fprintf(stderr, "tarvex-logview: bad lines of %s skipped: %d, the first is line %d\n",
                     qPrintable(command->compare), after->badLines, after->firstBadLine);
    if (after && !window)
        return compareTable(*command, log, *after);
    if (command->mode == QLatin1String("--csv")) {
        const QByteArray out = logCsv(log);
        std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
        return 0;
    }
    if (command->mode == QLatin1String("--cells") || command->mode == QLatin1String("--suggest"))
        return analyse(*command, log);
    if (command->mode == QLatin1String("--png")) {
        TLogPlot plot(log);
        plot.SetTexts(TLogViewWindow::PlotTextsFor(lang::rememberedLanguage(lang::userSettingsPath())));
        plot.resize(1200, 800);
        plot.SetCursorRecord(int(log.records.size()) / 2);
        QImage image(plot.size(), QImage::Format_RGB32);
        plot.render(&image);
        if (!image.save(command->output))
            return fail(QStringLiteral("cannot write %1").arg(command->output));
        return 0;
    }
    TLogViewWindow view(log, command->log, std::make_shared<widgets::QtDialogs>());
    view.LanguageBox->setCurrentIndex(lang::rememberedLanguage(lang::userSettingsPath()));
    // The fuel map in the colours of the window's bands, from its tarvex.ini.
    const maps::BandColors bands = maps::readBandColors(QStringLiteral("tarvex.ini"));
    widgets::paintMapGrid(view.Playback->Grid, maps::MapPage::Fuel, [bands] { return bands; });
    if (after)
        view.CompareWith(std::move(*after), command->compare);
    view.show();
    return application.exec();
}
