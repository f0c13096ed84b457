// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the window benchmarks share: dialogs that answer at once, and a
// benchmark main with an offscreen application.
#include "widgets/QuietDialogs.h"
#include "app/MainForm.h"
#include "link/PosixSerialSystem.h"
#include "sim/Options.h"

#include <QDir>
#include <QTemporaryDir>

#include <QApplication>
#include <benchmark/benchmark.h>
#include <cstdio>

namespace tarvex::bench {

using QuietDialogs = widgets::QuietDialogs;

// A window's services that see only the simulator's port registry, with
// its files in `dir`.
inline app::FormServices simulatorServices(const QTemporaryDir &dir, const sim::Options &options,
                                           std::shared_ptr<widgets::Dialogs> dialogs = nullptr)
{
    QDir(dir.path()).mkdir(QStringLiteral("sysfs"));
    app::FormServices services;
    services.serial = std::make_shared<link::PosixSerialSystem>(dir.filePath(QStringLiteral("sysfs")),
                                                                QString::fromStdString(options.registryDir));
    if (dialogs)
        services.dialogs = std::move(dialogs);
    services.settingsPath = dir.filePath(QStringLiteral("tarvex.ini"));
    services.logFolder = dir.path();
    services.backupFolder = dir.filePath(QStringLiteral("backups"));
    return services;
}

// A figure of the record: bench/run takes the lines "figure KEY: TEXT" into
// the table of docs/PERFORMANCE.md.
inline void printFigure(const QString &key, const QString &text)
{
    std::printf("figure %s: %s\n", qPrintable(key), qPrintable(text));
    std::fflush(stdout);
}

// How far a figure is above (or below) its floor: "+2.2".
inline QString signedPercent(double figure, double floor)
{
    const double percent = 100.0 * (figure - floor) / floor;
    return (percent >= 0 ? QStringLiteral("+") : QString()) + QString::number(percent, 'f', 1);
}

inline void useOffscreen()
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

inline int runBenchmarks(int argc, char **argv)
{
    useOffscreen();
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

} // namespace tarvex::bench
