// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/MainForm.h"
#include "widgets/ProgramStart.h"
#include "lang/RememberedLanguage.h"
#include "monitor/LogAnalysis.h"

#include <QApplication>

namespace {
const char kUsage[] =
    "Usage: tarvex [--help] [--version]\n"
    "Service and tuning tool for the ECU on a serial port: live data, the fuel and ignition maps, service\n"
    "functions, logs and firmware updates, in one window.\n"
    "tarvex.ini, the logs and backups/ are kept in the folder it is started from; the last port and the\n"
    "language are remembered in ~/.config/tarvex/tarvex.conf, the analysis's lambda delay and locked\n"
    "cells in ~/.config/tarvex/tarvex-logview.ini (shared with tarvex-logview).\n";
}

int main(int argc, char *argv[])
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    if (const std::optional<int> code = tarvex::widgets::answerInformationOptions(args, "tarvex", kUsage))
        return *code;
    if (!tarvex::widgets::haveDisplay())
        return tarvex::widgets::needsDisplay("tarvex");
    QApplication application(argc, argv);
    tarvex::widgets::installQtTranslations(application);
    tarvex::app::FormServices services;
    services.userSettingsPath = tarvex::lang::userSettingsPath();
    services.analysisSettingsPath = tarvex::monitor::keptAnalysisPath();
    tarvex::app::TTarvexMainForm form(services);
    form.show();
    return application.exec();
}
