// Renders each page of the window to a picture for the README.
#include "app/MainForm.h"

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
    return 0;
}
