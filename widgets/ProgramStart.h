#pragma once

#include <QStringList>
#include <optional>

#include <QLocale>

class QCoreApplication;
class QTranslator;

namespace tarvex::widgets {

// What a program of the package does before it opens a window: --version
// and --help print and end it, with no display needed.
// The exit code when the arguments asked for one of them; none otherwise.
std::optional<int> answerInformationOptions(const QStringList &args, const char *program, const char *usage);

// Whether Qt has somewhere to show a window: an X or Wayland display, or a
// platform chosen by hand (QT_QPA_PLATFORM, e.g. offscreen).
bool haveDisplay();
// Says in one line that `program` needs a display; returns the exit code.
int needsDisplay(const char *program);

// Qt's own texts (Yes, No, the file dialogs) in the system's language, from
// Qt's translations when they are installed (none when they are not).
QTranslator *installQtTranslations(QCoreApplication &application, const QLocale &locale = QLocale::system());

} // namespace tarvex::widgets
