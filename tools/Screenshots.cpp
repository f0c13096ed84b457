// Renders each page of the window to a picture for the README.
#include "app/MainForm.h"
#include "link/PosixSerialSystem.h"
#include "monitor/LogPlot.h"
#include "sim/Simulator.h"

#include <QEventLoop>
#include <QTimer>

#include <QApplication>
#include <QDir>
#include <QTabWidget>
#include <QTemporaryDir>
#include <cstdio>

int main(int argc, char *argv[])
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const QString outDir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs");
    QDir().mkpath(outDir);

    QTemporaryDir scratch;
    tarvex::app::FormServices services;
    services.settingsPath = scratch.filePath(QStringLiteral("tarvex.ini"));
    tarvex::app::TTarvexMainForm form(services);
    form.show();
    const char *const names[] = {"settings", "injection", "ignition", "additional"};
    for (int page = 0; page < 4; ++page) {
        form.PageControl1->setCurrentIndex(page);
        QApplication::processEvents();
        const QString file = QDir(outDir).filePath(QStringLiteral("page-%1.png").arg(QLatin1String(names[page])));
        if (!form.grab().save(file)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
            return 1;
        }
        std::printf("%s\n", qPrintable(file));
    }
    // With "--drive SECONDS": a log recorded from the simulator, plotted.
    if (argc > 3 && QLatin1String(argv[2]) == QLatin1String("--drive")) {
        tarvex::sim::Options options;
        options.registryDir = scratch.filePath(QStringLiteral("ports")).toStdString();
        options.stateFile = scratch.filePath(QStringLiteral("ecu.state")).toStdString();
        tarvex::sim::Simulator simulator(options);
        simulator.start();
        QDir(scratch.path()).mkdir(QStringLiteral("sysfs"));
        tarvex::app::FormServices live;
        live.serial = std::make_shared<tarvex::link::PosixSerialSystem>(scratch.filePath(QStringLiteral("sysfs")),
                                                                       QString::fromStdString(options.registryDir));
        live.settingsPath = services.settingsPath;
        live.logFolder = scratch.path();
        tarvex::app::TTarvexMainForm drive(live);
        drive.Guarded([&] { drive.ComSearchButtonClick(); });
        drive.Guarded([&] { drive.ComConnectButtonClick(); });
        drive.Guarded([&] { drive.LogButtonClick(); });
        QEventLoop wait;
        QTimer::singleShot(atoi(argv[3]) * 1000, &wait, &QEventLoop::quit);
        wait.exec();
        drive.Guarded([&] { drive.LogButtonClick(); });
        drive.Guarded([&] { drive.ComDisconnectButtonClick(); });
        simulator.stop();
        const QStringList logs = QDir(scratch.path()).entryList({QStringLiteral("*.log")}, QDir::Files);
        if (logs.isEmpty())
            return 1;
        tarvex::monitor::TLogPlot plot(tarvex::monitor::readLogFile(scratch.filePath(logs.first())));
        plot.resize(1200, 800);
        plot.SetCursorRecord(int(plot.ViewEnd() / 2));
        QImage image(plot.size(), QImage::Format_RGB32);
        plot.render(&image);
        const QString file = QDir(outDir).filePath(QStringLiteral("logview.png"));
        if (!image.save(file))
            return 1;
        std::printf("%s\n", qPrintable(file));
    }
    return 0;
}
