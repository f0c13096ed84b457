// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/ProgramStart.h"
#include "ProgramVersion.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <cstdio>

namespace tarvex::widgets {

std::optional<int> answerInformationOptions(const QStringList &args, const char *program, const char *usage)
{
    for (const QString &arg : args) {
        if (arg == QLatin1String("--version")) {
            std::printf("%s %s\n%s", program, TARVEX_VERSION, TARVEX_VERSION_NOTICE);
            return 0;
        }
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            std::fputs(usage, stdout);
            return 0;
        }
    }
    return std::nullopt;
}

bool haveDisplay()
{
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        || !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

int needsDisplay(const char *program)
{
    std::fprintf(stderr, "%s: needs a graphical display (neither DISPLAY nor WAYLAND_DISPLAY is set); "
                         "start it from the desktop\n", program);
    return 1;
}

QTranslator *installQtTranslations(QCoreApplication &application, const QLocale &locale)
{
    // qtbase_ru of qt6-translations-l10n: the standard buttons and dialogs.
    auto *translator = new QTranslator(&application);
    if (translator->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(translator);
        return translator;
    }
    delete translator;
    return nullptr;
}

QRect openingGeometry(QSize wanted, QSize minimum, const QRect &available)
{
    // The frame is not known before the window is shown: a title bar and
    // thin borders.
    const QSize frame(8, 36);
    const QSize size = wanted.boundedTo(available.size() - frame).expandedTo(minimum);
    const QSize free = (available.size() - size - frame).expandedTo(QSize(0, 0));
    return QRect(available.topLeft() + QPoint(free.width() / 2, free.height() / 2), size);
}

} // namespace tarvex::widgets
