// tarvex-logview: plots a live-data log recorded by the window.
#include "monitor/LogPlot.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <cstdio>

using namespace tarvex::monitor;

namespace {
const char kUsage[] = "Usage: tarvex-logview FILE.log\n"
                      "       tarvex-logview --csv FILE.log        (a CSV on standard output)\n"
                      "       tarvex-logview --png OUT.png FILE.log (the plots as a picture)\n"
                      "       tarvex-logview --help\n";

int usage()
{
    std::fputs(kUsage, stderr);
    return 2;
}

bool haveDisplay()
{
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        || qEnvironmentVariableIsSet("QT_QPA_PLATFORM");
}
} // namespace

int main(int argc, char *argv[])
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    if (!args.isEmpty() && (args[0] == QLatin1String("--help") || args[0] == QLatin1String("-h"))) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    const bool csv = !args.isEmpty() && args[0] == QLatin1String("--csv");
    const bool png = !args.isEmpty() && args[0] == QLatin1String("--png");
    if ((csv && args.size() != 2) || (png && args.size() != 3) || (!csv && !png && args.size() != 1))
        return usage();
    if ((csv || png) && !qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (!csv && !png && !haveDisplay()) {
        std::fputs("tarvex-logview: no display to show the plots on; --png and --csv work without one\n", stderr);
        return 1;
    }
    QApplication application(argc, argv);

    const LogData log = readLogFile(args.last());
    if (!log.error.isEmpty()) {
        std::fprintf(stderr, "tarvex-logview: %s\n", qPrintable(log.error));
        return 1;
    }
    if (csv) {
        const QByteArray out = logCsv(log);
        std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
        return 0;
    }
    TLogPlot plot(log);
    if (png) {
        plot.resize(1200, 800);
        plot.SetCursorRecord(int(log.records.size()) / 2);
        QImage image(plot.size(), QImage::Format_RGB32);
        plot.render(&image);
        if (!image.save(args[1])) {
            std::fprintf(stderr, "tarvex-logview: cannot write %s\n", qPrintable(args[1]));
            return 1;
        }
        return 0;
    }
    plot.resize(1200, 800);
    plot.show();
    return application.exec();
}
