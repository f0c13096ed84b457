#pragma once

// What the window benchmarks share: dialogs that answer at once, and a
// benchmark main with an offscreen application.
#include "app/Dialogs.h"
#include "app/MainForm.h"
#include "link/PosixSerialSystem.h"
#include "sim/Options.h"

#include <QDir>
#include <QTemporaryDir>

#include <QApplication>
#include <benchmark/benchmark.h>

namespace tarvex::bench {

class QuietDialogs final : public app::Dialogs {
public:
    int messages = 0;
    QString last;
    QString file; // what the file dialogs choose
    void message(QWidget *, Icon, const QString &, const QString &text) override
    {
        ++messages;
        last = text;
    }
    bool question(QWidget *, const QString &, const QString &) override { return false; }
    void openUrl(const QUrl &) override {}
    std::optional<QColor> chooseColor(QWidget *, const QColor &) override { return std::nullopt; }
    void showWarningWindow(QWidget *, const QString &, const QString &) override {}
    void hideWarningWindow() override {}
    QString saveFileName(QWidget *, const QString &, const QString &, const QString &) override { return {}; }
    QString openFileName(QWidget *, const QString &, const QString &, const QString &, const QString &) override
    {
        return file;
    }
    std::optional<double> askNumber(QWidget *, const QString &, const QString &, double, int) override
    {
        return number;
    }
    void startProgress(QWidget *, const QString &, const QString &, int) override {}
    bool progress(int value) override
    {
        if (onProgress)
            onProgress(value);
        return true;
    }
    void finishProgress() override {}
    std::optional<double> number; // what every number prompt answers
    std::function<void(int)> onProgress;
};

// A window's services that see only the simulator's port registry, with
// its files in `dir`.
inline app::FormServices simulatorServices(const QTemporaryDir &dir, const sim::Options &options,
                                           std::shared_ptr<app::Dialogs> dialogs = nullptr)
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
