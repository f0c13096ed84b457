// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "service/ServiceReport.h"
#include "widgets/Dialogs.h"

#include <QLocale>
#include <QPageSize>
#include <memory>
#include <optional>

class QTextDocument;
class QWidget;

namespace tarvex::app {

// Letter where the locale measures as the US does, A4 elsewhere.
QPageSize reportPageSize(const QLocale &locale);

// The report laid out for paper: headings, lines of label and value, tables,
// and each map in the window's colours with its changed cells outlined.
std::unique_ptr<QTextDocument> reportDocument(const service::ServiceReport &report);

struct ReportDetails {
    service::Workshop workshop;
    service::CarDetails car;
};
// The workshop's details (kept in the user's settings at `settingsPath`
// once typed) and the car's, asked in one form; none when cancelled.
std::optional<ReportDetails> askReportDetails(widgets::Dialogs &dialogs, QWidget *parent, int language,
                                              const QString &settingsPath, const service::CarDetails &car);

// The report in a print preview, on the locale's paper, to print or save
// as a PDF.
void previewReport(widgets::Dialogs &dialogs, QWidget *parent, const service::ServiceReport &report, int language);

} // namespace tarvex::app
