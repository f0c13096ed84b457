// SPDX-License-Identifier: GPL-3.0-or-later
// tarvex_bench_record [--short] DOC RESULTS LOAD: writes the tables of the record in
// DOC (docs/PERFORMANCE.md) from one run of bench/run, between the marks
// "<!-- bench/run: NAME -->" and "<!-- bench/run: end NAME -->"; the prose
// around them is kept. RESULTS holds the benchmarks' JSON and the lines
// "figure KEY: TEXT" of the other programs (figures.txt); LOAD is the load
// average before the run. A figure missing from the run writes nothing.
#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSysInfo>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <optional>
#include <vector>

#ifndef TARVEX_BENCH_BUILD
#define TARVEX_BENCH_BUILD "unknown"
#endif

namespace {

struct MissingFigure {
    QString key;
};

class Results {
public:
    explicit Results(const QString &dir)
    {
        for (const QString &name : QDir(dir).entryList({QStringLiteral("*.json")})) {
            QFile file(QDir(dir).filePath(name));
            file.open(QIODevice::ReadOnly);
            for (const QJsonValue &b : QJsonDocument::fromJson(file.readAll())[QLatin1String("benchmarks")].toArray()) {
                if (b[QLatin1String("run_type")].toString() != QLatin1String("iteration"))
                    continue;
                const double scale = unitNs(b[QLatin1String("time_unit")].toString());
                // "BM_StoreWait/iterations:1" is BM_StoreWait.
                static const QRegularExpression fixed(QStringLiteral("/(iterations|repeats):\\d+"));
                Runs &runs = m_runs[b[QLatin1String("run_name")].toString().remove(fixed)];
                runs.real.push_back(b[QLatin1String("real_time")].toDouble() * scale);
                runs.cpu.push_back(b[QLatin1String("cpu_time")].toDouble() * scale);
            }
        }
        QFile figures(QDir(dir).filePath(QStringLiteral("figures.txt")));
        figures.open(QIODevice::ReadOnly);
        static const QRegularExpression line(QStringLiteral("^figure ([^:]+): (.*)$"));
        for (const QString &text : QString::fromUtf8(figures.readAll()).split(QLatin1Char('\n'))) {
            const QRegularExpressionMatch m = line.match(text);
            if (m.hasMatch())
                m_figures[m.captured(1)] << m.captured(2);
        }
    }

    // A benchmark's times over its repetitions, in ns, sorted.
    std::vector<double> real(const QString &name) const { return runs(name).real; }
    std::vector<double> cpu(const QString &name) const { return runs(name).cpu; }
    QStringList figures(const QString &key) const
    {
        const auto found = m_figures.find(key);
        if (found == m_figures.end())
            throw MissingFigure{key};
        return found->second;
    }
    QString figure(const QString &key) const { return figures(key).last(); }

private:
    struct Runs {
        std::vector<double> real;
        std::vector<double> cpu;
    };
    static double unitNs(const QString &unit)
    {
        return unit == QLatin1String("us") ? 1e3 : unit == QLatin1String("ms") ? 1e6 : unit == QLatin1String("s") ? 1e9 : 1;
    }
    Runs runs(const QString &name) const
    {
        const auto found = m_runs.find(name);
        if (found == m_runs.end())
            throw MissingFigure{name};
        Runs r = found->second;
        std::sort(r.real.begin(), r.real.end());
        std::sort(r.cpu.begin(), r.cpu.end());
        return r;
    }
    std::map<QString, Runs> m_runs;
    std::map<QString, QStringList> m_figures;
};

// Times in the unit that suits the larger, with two or three digits.
QString duration(double lowNs, double highNs)
{
    const struct {
        double ns;
        const char *unit;
    } units[] = {{1e9, "s"}, {1e6, "ms"}, {1e3, "µs"}, {1, "ns"}};
    const auto &u = *std::find_if(std::begin(units), std::end(units), [&](const auto &u) { return highNs >= u.ns || u.ns == 1; });
    const double high = highNs / u.ns;
    const int decimals = high < 1 ? 2 : high < 10 ? 1 : 0;
    const QString a = QString::number(lowNs / u.ns, 'f', decimals);
    const QString b = QString::number(high, 'f', decimals);
    return (a == b ? b : a + QStringLiteral("–") + b) + QLatin1Char(' ') + QString::fromUtf8(u.unit);
}

QString duration(double ns)
{
    return duration(ns, ns);
}

double median(const std::vector<double> &v)
{
    return v[v.size() / 2];
}

// The median of a benchmark's repetitions: its CPU time, its wall time.
QString cpuOf(const Results &r, const char *name)
{
    return duration(median(r.cpu(QLatin1String(name))));
}

QString wallOf(const Results &r, const char *name)
{
    return duration(median(r.real(QLatin1String(name))));
}

// A benchmark's wall time over its repetitions, lowest to highest.
QString spread(const Results &r, const QString &name)
{
    const std::vector<double> t = r.real(name);
    return duration(t.front(), t.back());
}

struct Row {
    const char *name;
    const char *what;
    std::function<QString(const Results &)> figure;
    const char *target;
};

std::function<QString(const Results &)> timeOf(const char *benchmark)
{
    return [benchmark](const Results &r) { return spread(r, QLatin1String(benchmark)); };
}

std::function<QString(const Results &)> figureOf(const char *key)
{
    return [key](const Results &r) { return r.figure(QLatin1String(key)); };
}

// The rows of the figures' table, in the order of the table.
const std::vector<Row> &figureRows()
{
    static const std::vector<Row> rows = {
        {"`BM_BuildLineSettings`", "the driver record of the line settings", timeOf("BM_BuildLineSettings"), "–"},
        {"`BM_PurgeWriteReadOnPty`", "purge, write \"<G>\\r\", read on a pseudo-terminal",
         timeOf("BM_PurgeWriteReadOnPty"), "–"},
        {"`BM_ParseMapReply`", "one 256-value map reply parsed", timeOf("BM_ParseMapReply"), "–"},
        {"`BM_ParseAndRepaintFuelGrid`",
         "map reply parsed into the fuel grid and the grid painted in full, colour bands included",
         timeOf("BM_ParseAndRepaintFuelGrid"), "< 5 ms"},
        {"`BM_TrailPaint`", "the working point's trail (25 fading dots) drawn over a grid", timeOf("BM_TrailPaint"),
         "< 0.1 ms a tick"},
        {"`BM_SurfaceRedrawAfterACellChange`", "the surface window (640 × 480) drawn again after one cell changed",
         timeOf("BM_SurfaceRedrawAfterACellChange"), "< 16 ms"},
        {"`BM_TickSensorReply`",
         "a live-data tick without its 50 ms wait: sensor reply decoded and shown (five lambda gauge face redraws "
         "included)",
         timeOf("BM_TickSensorReply"), "< 0.5 ms"},
        {"`BM_TickStateReply`", "the same for the state reply", timeOf("BM_TickStateReply"), "< 0.5 ms"},
        {"`BM_TickStateReplyLogging`",
         "the state tick while logging: its two finished lines queued for the log's writer thread, which writes and "
         "syncs them (`fdatasync`)",
         [](const Results &r) {
             return QStringLiteral("%1 wall, %2 CPU, against %3 without the log")
                 .arg(wallOf(r, "BM_TickStateReplyLogging"), cpuOf(r, "BM_TickStateReplyLogging"),
                      wallOf(r, "BM_TickStateReply"));
         },
         "< 0.5 ms"},
        {"`BM_TickSensorReplyLogging`", "the sensor tick while logging (no line ends, nothing synced)",
         timeOf("BM_TickSensorReplyLogging"), "< 0.5 ms"},
        {"`BM_StoreWait`",
         "the 5-second wait after \"Сохранить\": CPU of the window's thread while it waits for `Timer2`",
         [](const Results &r) {
             const double cpu = median(r.cpu(QStringLiteral("BM_StoreWait")));
             const double real = median(r.real(QStringLiteral("BM_StoreWait")));
             return QStringLiteral("%1 of CPU in %2 (%3 %)")
                 .arg(duration(cpu), duration(real), QString::number(100 * cpu / real, 'f', 1));
         },
         "< 10 %"},
        {"`BM_AnalyseHourLog`",
         "the per-cell analysis and suggestion of a one-hour log (18 000 records) against the map beside it (59 cell "
         "changes), with a 400 ms lambda delay and 3 locked cells",
         timeOf("BM_AnalyseHourLog"), "< 200 ms"},
        {"`BM_LiveAnalysisTickPair`",
         "the window's live analysis: a sensor reply and the next state reply made one record, paired with the "
         "working point 400 ms earlier, filtered and summed, an hour of records already kept",
         timeOf("BM_LiveAnalysisTickPair"), "< 0.1 ms a tick"},
        {"`BM_TickStateReplyAnalysed`, `BM_TickSensorReplyAnalysed`",
         "the live-data tick with the \"Анализ\" window open and taking the replies, against `BM_TickStateReply` and "
         "`BM_TickSensorReply` (CPU)",
         [](const Results &r) {
             return QStringLiteral("state tick %1 against %2; sensor tick %3 against %4")
                 .arg(cpuOf(r, "BM_TickStateReplyAnalysed"), cpuOf(r, "BM_TickStateReply"),
                      cpuOf(r, "BM_TickSensorReplyAnalysed"), cpuOf(r, "BM_TickSensorReply"));
         },
         "< 0.1 ms added"},
        {"`BM_LiveAnalysisWindowRefresh`",
         "what the \"Анализ\" window does twice a second while records come: the cells analysed against the ECU's "
         "map, coloured, their tooltips made (18 000 records kept)",
         [](const Results &r) {
             return QStringLiteral("%1 CPU, %2 wall")
                 .arg(cpuOf(r, "BM_LiveAnalysisWindowRefresh"), wallOf(r, "BM_LiveAnalysisWindowRefresh"));
         },
         "< 16 ms"},
        {"`BM_OpenHourLog`", "`tarvex-logview` opening a one-hour log: reading it, the window with its analysis, the "
                             "plots drawn",
         timeOf("BM_OpenHourLog"), "< 1 s"},
        {"`BM_SeekHourLog`",
         "`tarvex-logview` playing back a one-hour log (18 000 records, the map beside it with 59 changes): a seek to "
         "a record far from the last, then the whole window drawn anew (`grab`, more than a screen update paints) "
         "with the plots' cursor, the six gauges, the fuel map in force and the trail",
         [](const Results &r) {
             return QStringLiteral("the whole hour in view: %1; five minutes in view, a far seek panning them: %2; "
                                   "half the hour in view, every seek panning it: %3")
                 .arg(spread(r, QStringLiteral("BM_SeekHourLog/0")), spread(r, QStringLiteral("BM_SeekHourLog/1500")),
                      spread(r, QStringLiteral("BM_SeekHourLog/9000")));
         },
         "< 50 ms"},
        {"`BM_GaugePositionUpdate`", "a needle move at 113 × 65 (copy, needle, disc)", timeOf("BM_GaugePositionUpdate"),
         "< 0.1 ms"},
        {"`BM_GaugeFaceRedraw`", "a face redraw at 113 × 65", timeOf("BM_GaugeFaceRedraw"), "< 1 ms"},
        {"`tarvex_cadence 30`",
         "the connected window against the simulator for 30 s, spacing of requests from the simulator's transcript",
         figureOf("cadence"), "within 5 ms of 100 ms"},
        {"`tarvex_cadence 30`", "CPU of window and simulator together, while connected", figureOf("cadence.cpu"),
         "< 3 % (window alone)"},
        {"`tarvex_cadence 30 --log-writer-ms 200`",
         "the same while logging to a disk that takes 200 ms to sync each batch of lines",
         figureOf("cadence.slow-log"), "unchanged by the disk"},
        {"`tarvex_edit_bench 256`",
         "\"Задать значение…\" over the whole fuel map (256 changed cells) against the simulator paced at 57600 baud; "
         "the grid repaints each cell as its frame goes out; then the map is read back and every cell checked",
         figureOf("edit.256"), "within 5 %"},
        {"`tarvex_edit_bench 2`, `16`",
         "the same over 2 and 16 cells: the read-back (one map reply) is paid once a batch of more than one cell",
         [](const Results &r) {
             return QStringLiteral("2 cells: %1; 16 cells: %2")
                 .arg(r.figure(QStringLiteral("edit.2")), r.figure(QStringLiteral("edit.16")));
         },
         "within 5 %"},
        {"`tarvex_firmware_bench 30000`", "a firmware image to the simulator paced at 57600 baud both ways",
         figureOf("firmware"), "within 2 %"},
    };
    return rows;
}

QString machine(const QString &load)
{
    auto read = [](const char *path) {
        QFile f{QString::fromLatin1(path)};
        f.open(QIODevice::ReadOnly);
        return QString::fromUtf8(f.readAll());
    };
    const QString cpu = QRegularExpression(QStringLiteral("model name\\s*: (.*)")).match(read("/proc/cpuinfo")).captured(1);
    const double memGiB =
        QRegularExpression(QStringLiteral("MemTotal:\\s*(\\d+)")).match(read("/proc/meminfo")).captured(1).toDouble()
        / (1024 * 1024);
    return QStringLiteral("%1 cores of %2, %3 GiB, %4, load average %5 before the run")
        .arg(QThread::idealThreadCount())
        .arg(cpu.simplified())
        .arg(qRound(memGiB))
        .arg(QSysInfo::prettyProductName(), load);
}

QString figuresBlock(const Results &r, const QString &load, bool shortRun)
{
    QString out = QStringLiteral(
        "%1 on %2: %3; %4 build, GCC %5, Qt %6, offscreen Qt platform.\n"
        "Not measured by it: the tuning loop's full drive cycles (their tests, run by hand, below) and the "
        "figures on the kernel's serial drivers (`scripts/test-serial-vm.sh`, in its own section).\n"
        "Floors are the time the protocol needs: its waits, and the line's time only where no wait covers it "
        "(57600 baud, ten bits a byte).\n\n"
        "| Benchmark | What it measures | Figure | Target |\n|---|---|---|---|\n")
                      .arg(shortRun ? QStringLiteral("A short try of `bench/run --short`, not the record,")
                                    : QStringLiteral("This table, and those of the fault soak and of a pulled adapter "
                                                     "below, from one run of `bench/run`"),
                           QLocale(QLocale::English).toString(QDate::currentDate(), QStringLiteral("d MMMM yyyy")),
                           machine(load), QStringLiteral(TARVEX_BENCH_BUILD), QStringLiteral(__VERSION__),
                           QLatin1String(qVersion()));
    for (const Row &row : figureRows())
        out += QStringLiteral("| %1 | %2 | %3 | %4 |\n")
                   .arg(QString::fromUtf8(row.name), QString::fromUtf8(row.what), row.figure(r),
                        QString::fromUtf8(row.target));
    return out;
}

QString tableBlock(const char *header, const QStringList &rows)
{
    QString out = QString::fromUtf8(header);
    for (const QString &row : rows)
        out += QStringLiteral("| %1 |\n").arg(row);
    return out;
}

// DOC with the text between the marks of `name` replaced; none when the marks are missing.
std::optional<QString> replaceBlock(const QString &doc, const QString &name, const QString &block)
{
    const QString begin = QStringLiteral("<!-- bench/run: %1 -->\n").arg(name);
    const QString end = QStringLiteral("<!-- bench/run: end %1 -->").arg(name);
    const qsizetype from = doc.indexOf(begin);
    const qsizetype to = doc.indexOf(end);
    if (from < 0 || to < from)
        return std::nullopt;
    return doc.left(from + begin.size()) + block + doc.mid(to);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    QStringList args = application.arguments().mid(1);
    const bool shortRun = args.removeAll(QStringLiteral("--short")) > 0;
    if (args.size() != 3) {
        std::fputs("Usage: tarvex_bench_record [--short] DOC RESULTS_DIR LOAD_AVERAGE\n", stderr);
        return 2;
    }
    const Results results(args[1]);
    QFile file(args[0]);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "tarvex_bench_record: cannot read %s\n", qPrintable(args[0]));
        return 2;
    }
    std::optional<QString> doc = QString::fromUtf8(file.readAll());
    try {
        const std::pair<const char *, QString> blocks[] = {
            {"figures", figuresBlock(results, args[2], shortRun)},
            {"soak", tableBlock("| Fault | Longest handler | Error boxes | Resident memory, first → last 10 s | Connects "
                                "again |\n|---|---|---|---|---|\n",
                                results.figures(QStringLiteral("soak")))},
            {"replug", tableBlock("| Pulls and replugs | Recovered by themselves | Error boxes | Open descriptors, "
                                  "before → after | Resident memory | Port back to the connect frame \"<E>\\r\" | Port "
                                  "back to the first live-data request |\n|---|---|---|---|---|---|---|\n",
                                  results.figures(QStringLiteral("replug")))},
        };
        for (const auto &[name, block] : blocks) {
            doc = replaceBlock(*doc, QLatin1String(name), block);
            if (!doc) {
                std::fprintf(stderr, "tarvex_bench_record: %s has no marks \"<!-- bench/run: %s -->\"\n",
                             qPrintable(args[0]), name);
                return 2;
            }
        }
    } catch (const MissingFigure &missing) {
        std::fprintf(stderr, "tarvex_bench_record: the run has no figure %s; nothing written\n", qPrintable(missing.key));
        return 1;
    }
    QSaveFile out(file.fileName());
    if (!out.open(QIODevice::WriteOnly) || out.write(doc->toUtf8()) < 0 || !out.commit()) {
        std::fprintf(stderr, "tarvex_bench_record: cannot write %s\n", qPrintable(args[0]));
        return 2;
    }
    return 0;
}
