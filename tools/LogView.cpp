// tarvex-logview: plots a live-data log recorded by the window, analyses it
// per cell of the fuel map and suggests a corrected map.
#include "app/Dialogs.h"
#include "app/ProgramStart.h"
#include "link/Protocol.h"
#include "maps/MapCompare.h"
#include "maps/MapFile.h"
#include "monitor/LogAnalysis.h"
#include "monitor/LogPlot.h"
#include "monitor/LogViewWindow.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <cstdio>
#include <optional>

using namespace tarvex;
using namespace tarvex::monitor;

namespace {
const char kUsage[] =
    "Usage: tarvex-logview FILE.log\n"
    "       tarvex-logview --csv FILE.log          (the records as CSV on standard output)\n"
    "       tarvex-logview --png OUT.png FILE.log  (the plots as a picture)\n"
    "       tarvex-logview --cells OUT.csv FILE.log (the fuel map's cells as CSV; - for standard output)\n"
    "       tarvex-logview --suggest OUT.inj [--map CURRENT.inj] FILE.log\n"
    "                      (a suggested fuel map; the current map defaults to the newest .inj in\n"
    "                       backups/ beside the log)\n"
    "       tarvex-logview --help | --version\n"
    "Analysis options (--cells, --suggest):\n"
    "  --sensor wide|narrow   the lambda sensor (guessed from the log when not given)\n"
    "  --min-coolant C        leave out records with the coolant below C (70)\n"
    "  --throttle-rate R      leave out records while the throttle moves faster than R units a second (150)\n"
    "  --keep-overrun         keep records with no injection\n"
    "  --min-records N        no suggestion for cells with fewer records (10)\n"
    "  --target AFR           the air-fuel ratio aimed at (14.7)\n"
    "  --target-map FILE      a target per cell: a map file holding AFR × 10\n"
    "  --max-change PCT       the largest change a cell takes in one pass (15)\n";

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

bool haveDisplay()
{
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        || qEnvironmentVariableIsSet("QT_QPA_PLATFORM");
}

struct Command {
    QString mode;   // "", "--csv", "--png", "--cells", "--suggest"
    QString output; // of --png, --cells, --suggest
    QString log;
    QString map;
    QString targetMap;
    std::optional<SensorKind> sensor;
    AnalysisFilters filters;
    SuggestionSettings settings;
};

// The command line; none when it makes no sense.
std::optional<Command> parse(const QStringList &args)
{
    Command c;
    QStringList positional;
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        auto value = [&]() -> std::optional<QString> {
            return i + 1 < args.size() ? std::optional<QString>(args[++i]) : std::nullopt;
        };
        auto number = [&]() -> std::optional<double> {
            bool ok = false;
            const std::optional<QString> v = value();
            const double n = v ? v->toDouble(&ok) : 0;
            return ok ? std::optional<double>(n) : std::nullopt;
        };
        std::optional<double> n;
        if (a == QLatin1String("--csv")) {
            c.mode = a;
        } else if (a == QLatin1String("--png") || a == QLatin1String("--cells") || a == QLatin1String("--suggest")) {
            c.mode = a;
            const auto v = value();
            if (!v)
                return std::nullopt;
            c.output = *v;
        } else if (a == QLatin1String("--map") || a == QLatin1String("--target-map")) {
            const auto v = value();
            if (!v)
                return std::nullopt;
            (a == QLatin1String("--map") ? c.map : c.targetMap) = *v;
        } else if (a == QLatin1String("--sensor")) {
            const auto v = value();
            if (!v || (*v != QLatin1String("wide") && *v != QLatin1String("narrow")))
                return std::nullopt;
            c.sensor = *v == QLatin1String("wide") ? SensorKind::WideBand : SensorKind::NarrowBand;
        } else if (a == QLatin1String("--keep-overrun")) {
            c.filters.skipNoInjection = false;
        } else if (a == QLatin1String("--min-coolant") && (n = number())) {
            c.filters.minCoolantC = *n;
        } else if (a == QLatin1String("--throttle-rate") && (n = number())) {
            c.filters.maxThrottlePerS = *n;
        } else if (a == QLatin1String("--min-records") && (n = number())) {
            c.filters.minRecords = int(*n);
        } else if (a == QLatin1String("--target") && (n = number())) {
            c.settings.targetAfr = *n;
        } else if (a == QLatin1String("--max-change") && (n = number())) {
            c.settings.maxChangePercent = *n;
        } else if (a.startsWith(QLatin1String("--"))) {
            return std::nullopt;
        } else {
            positional << a;
        }
    }
    if (positional.size() != 1)
        return std::nullopt;
    c.log = positional.first();
    return c;
}

int analyse(const Command &c, const LogData &log)
{
    QString mapPath = c.map;
    if (mapPath.isEmpty())
        mapPath = maps::newestMapFile(QFileInfo(c.log).dir().filePath(QStringLiteral("backups")), QStringLiteral(".inj"));
    QString error;
    std::optional<std::array<int, kCellCount>> current;
    if (!mapPath.isEmpty() && !(current = maps::readMapValues(mapPath, 1, &error)))
        return fail(error);
    if (c.mode == QLatin1String("--suggest") && !current)
        return fail(QStringLiteral("no current fuel map: give one with --map"));
    SuggestionSettings settings = c.settings;
    if (!c.targetMap.isEmpty()) {
        const auto targets = maps::readMapValues(c.targetMap, 1, &error);
        if (!targets)
            return fail(error);
        settings.targetMap = std::array<double, kCellCount>{};
        for (int cell = 0; cell < kCellCount; ++cell)
            (*settings.targetMap)[size_t(cell)] = (*targets)[size_t(cell)] / 10.0;
    }
    const SensorKind sensor = c.sensor.value_or(guessSensor(log));
    const Analysis analysis = analyseLog(log, sensor, c.filters, current, settings);
    if (c.mode == QLatin1String("--cells")) {
        const QByteArray csv = cellsCsv(analysis);
        if (c.output == QLatin1String("-")) {
            std::fwrite(csv.constData(), 1, size_t(csv.size()), stdout);
            return 0;
        }
        QFile out(c.output);
        if (!out.open(QIODevice::WriteOnly) || out.write(csv) != csv.size())
            return fail(QStringLiteral("cannot write %1: %2").arg(c.output, out.errorString()));
        return 0;
    }
    if (sensor != SensorKind::WideBand)
        return fail(QStringLiteral("a narrow-band log measures no mixture: no suggestion"));
    QStringList cells;
    int changed = 0;
    for (int value : suggestedMap(analysis, *current))
        cells << QString::number(value);
    for (const CellStats &cell : analysis.cells)
        changed += cell.suggested && cell.suggested != cell.current;
    if (const QString writeError = maps::writeMapFile(c.output, cells); !writeError.isEmpty())
        return fail(QStringLiteral("cannot write %1: %2").arg(c.output, writeError));
    std::printf("%d records used, %d cells changed; current map %s\n", analysis.recordsUsed, changed,
                qPrintable(mapPath));
    return 0;
}
} // namespace

int main(int argc, char *argv[])
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    if (const std::optional<int> code = app::answerInformationOptions(args, "tarvex-logview", kUsage))
        return *code;
    const std::optional<Command> command = parse(args);
    if (!command)
        return usage();
    const bool window = command->mode.isEmpty();
    if (!window && !qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (window && !haveDisplay()) {
        std::fputs("tarvex-logview: no display to show the plots on; --png and --csv work without one\n", stderr);
        return 1;
    }
    QApplication application(argc, argv);
    app::installQtTranslations(application);

    const LogData log = readLogFile(command->log);
    if (!log.error.isEmpty())
        return fail(log.error);
    if (command->mode == QLatin1String("--csv")) {
        const QByteArray out = logCsv(log);
        std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
        return 0;
    }
    if (command->mode == QLatin1String("--cells") || command->mode == QLatin1String("--suggest"))
        return analyse(*command, log);
    if (command->mode == QLatin1String("--png")) {
        TLogPlot plot(log);
        plot.resize(1200, 800);
        plot.SetCursorRecord(int(log.records.size()) / 2);
        QImage image(plot.size(), QImage::Format_RGB32);
        plot.render(&image);
        if (!image.save(command->output))
            return fail(QStringLiteral("cannot write %1").arg(command->output));
        return 0;
    }
    TLogViewWindow view(log, command->log, std::make_shared<app::QtDialogs>());
    view.show();
    return application.exec();
}
