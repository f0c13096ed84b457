// SPDX-License-Identifier: GPL-3.0-or-later
// tarvex-mapedit: edits a fuel or ignition map file without an ECU, with the
// window's grid, colours, operations, undo, surface and comparison.
#include "app/MapEditWindow.h"
#include "app/UserSettings.h"
#include "widgets/ProgramStart.h"
#include "lang/RememberedLanguage.h"

#include <QApplication>
#include <cstdio>

namespace {
const char kUsage[] =
    "Usage: tarvex-mapedit FILE.inj|FILE.ign\n"
    "       tarvex-mapedit --help | --version\n"
    "Edits a fuel map (.inj) or an ignition map (.ign) file without an ECU. \"Save to the file\" (Ctrl+S)\n"
    "writes it; the file as it was is kept first in backups/ under the folder the program is started from,\n"
    "where the Tarvex window's history lists it. The fuel map's colours come from tarvex.ini there.\n";
} // namespace

int main(int argc, char *argv[])
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    if (const std::optional<int> code = tarvex::widgets::answerInformationOptions(args, "tarvex-mapedit", kUsage))
        return *code;
    if (args.size() != 1 || args.first().startsWith(QLatin1String("--"))) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    if (!tarvex::widgets::haveDisplay())
        return tarvex::widgets::needsDisplay("tarvex-mapedit");
    QApplication application(argc, argv);
    tarvex::widgets::installQtTranslations(application);
    tarvex::app::MapEditServices services;
    services.language = tarvex::lang::rememberedLanguage(tarvex::lang::userSettingsPath());
    services.userSettingsPath = tarvex::lang::userSettingsPath();
    QString refusal;
    const std::unique_ptr<tarvex::app::TMapEditWindow> window =
        tarvex::app::TMapEditWindow::Open(args.first(), services, &refusal);
    if (!window) {
        // On the terminal too: the box is easily missed.
        std::fprintf(stderr, "tarvex-mapedit: %s\n", qPrintable(refusal));
        return 1;
    }
    window->show();
    return application.exec();
}
