// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>
#include <optional>

#include <QLocale>
#include <QRect>

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

// Where a window that would like to be `wanted` opens on a screen whose free
// area (without panels) is `available`: as large as wanted, or smaller to fit
// with room for the window manager's frame, never below `minimum`; centred.
// The position is the frame's corner (QWidget::move), the size the window's
// inside (QWidget::resize).
QRect openingGeometry(QSize wanted, QSize minimum, const QRect &available);

} // namespace tarvex::widgets
