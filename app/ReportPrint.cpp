// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ReportPrint.h"
#include "app/UserSettings.h"
#include "lang/RunTimeTexts.h"
#include "maps/ColorValue.h"
#include "maps/MapScale.h"

#include <QPalette>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>

namespace tarvex::app {

namespace {

constexpr double kTextPt = 9;
constexpr double kGridPt = 6.5;
constexpr double kColumnGap = 12; // between sections side by side
constexpr double kColumnSpace = 8; // between a table's columns

QTextCharFormat characters(double points, bool bold = false, const QColor &color = Qt::black)
{
    QTextCharFormat format;
    format.setFontPointSize(points);
    format.setFontWeight(bold ? QFont::Bold : QFont::Normal);
    format.setForeground(color);
    return format;
}

QTextTableFormat tableFormat(int headerRows)
{
    QTextTableFormat format;
    format.setBorder(0.5);
    format.setBorderBrush(QColor(150, 150, 150));
    format.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
    format.setBorderCollapse(true);
    format.setCellPadding(2);
    format.setCellSpacing(0);
    format.setHeaderRowCount(headerRows);
    format.setTopMargin(3);
    format.setBottomMargin(3);
    return format;
}

// Leaves the cursor after the table, also inside another table's cell.
void after(QTextCursor &cursor, const QTextTable *table)
{
    cursor.setPosition(table->lastPosition() + 1);
}

void put(QTextTable *table, int row, int column, const QString &text, const QTextCharFormat &format)
{
    QTextCursor cell = table->cellAt(row, column).firstCursorPosition();
    cell.insertText(text, format);
}

void insertTable(QTextCursor &cursor, const QStringList &headers, const std::vector<QStringList> &rows, bool boldFirst)
{
    const int columns = int(std::max<qsizetype>(headers.size(), rows.empty() ? 0 : rows.front().size()));
    if (columns == 0)
        return;
    const int headerRows = headers.isEmpty() ? 0 : 1;
    QTextTable *table = cursor.insertTable(headerRows + int(rows.size()), columns, tableFormat(headerRows));
    // A column's text kept clear of the next one's.
    QTextTableCellFormat spaced;
    spaced.setRightPadding(kColumnSpace);
    for (int c = 0; c < int(headers.size()); ++c) {
        QTextTableCellFormat shade = spaced;
        shade.setBackground(QColor(235, 235, 235));
        table->cellAt(0, c).setFormat(shade);
        put(table, 0, c, headers[c], characters(kTextPt, true));
    }
    for (size_t r = 0; r < rows.size(); ++r)
        for (int c = 0; c < int(rows[r].size()); ++c) {
            table->cellAt(headerRows + int(r), c).setFormat(spaced);
            put(table, headerRows + int(r), c, rows[r][c], characters(kTextPt, boldFirst && c == 0));
        }
    after(cursor, table);
}

// The map as the window paints it: the engine speeds above, the rows at the
// left, each cell in its colour; a changed cell framed in black.
void insertGrid(QTextCursor &cursor, const service::ReportGrid &grid)
{
    const QPalette palette; // system colours as a light desktop shows them
    QTextTableFormat format = tableFormat(1);
    // Every cell has a frame of the same width, in its own colour unless
    // the cell changed: an outline then makes no row taller than the rest.
    format.setBorderCollapse(false);
    format.setBorder(0);
    format.setCellPadding(0.5);
    format.setWidth(QTextLength(QTextLength::PercentageLength, 100));
    QTextTable *table = cursor.insertTable(17, 17, format);
    const QTextCharFormat caption = characters(kGridPt, true);
    const QTextCharFormat text = characters(kGridPt, false, maps::colorFromValue(grid.text, palette));
    constexpr double kFrame = 2;
    QTextTableCellFormat plain; // the captions on the cells' lines
    plain.setBorder(kFrame);
    plain.setBorderBrush(QColor(Qt::white));
    plain.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
    for (int column = 0; column < 16; ++column) {
        table->cellAt(0, column + 1).setFormat(plain);
        put(table, 0, column + 1, maps::speedCaption(column), caption);
    }
    for (int row = 0; row < 16; ++row) {
        table->cellAt(row + 1, 0).setFormat(plain);
        put(table, row + 1, 0, QString::number(row + 1), caption);
        for (int column = 0; column < 16; ++column) {
            const size_t cell = size_t(row * 16 + column);
            QTextTableCellFormat look;
            const QColor fill = grid.fill[cell] ? maps::colorFromValue(*grid.fill[cell], palette) : QColor(Qt::white);
            look.setBackground(fill);
            look.setBorder(kFrame);
            look.setBorderBrush(grid.changed[cell] ? QColor(Qt::black) : fill);
            look.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
            QTextTableCell at = table->cellAt(row + 1, column + 1);
            at.setFormat(look);
            put(table, row + 1, column + 1, grid.cells.value(int(cell)), text);
        }
    }
    after(cursor, table);
}

void insertParagraph(QTextCursor &cursor, const QString &text, const QTextCharFormat &format, double topMargin = 0)
{
    QTextBlockFormat block;
    block.setTopMargin(topMargin);
    // The empty block a table or a cell leaves takes the text.
    if (cursor.block().length() > 1)
        cursor.insertBlock(block, format);
    else
        cursor.setBlockFormat(block);
    cursor.insertText(text, format);
}

void insertSection(QTextCursor &cursor, const service::ReportSection &section, bool newPage)
{
    insertParagraph(cursor, section.title, characters(11.5, true), 10);
    if (newPage) {
        QTextBlockFormat heading = cursor.blockFormat();
        heading.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
        cursor.setBlockFormat(heading);
    }
    std::vector<QStringList> rows;
    for (const auto &[label, value] : section.rows)
        rows.push_back({label, value});
    insertTable(cursor, {}, rows, true);
    if (section.grid)
        insertGrid(cursor, *section.grid);
    if (!section.note.isEmpty())
        insertParagraph(cursor, section.note, characters(kTextPt), 3);
    insertTable(cursor, section.table.headers, section.table.rows, false);
}

// Short sections stand two in a line, so that the first map fits on the
// first page.
bool fitsHalfWidth(const service::ReportSection &section)
{
    return !section.grid && section.table.headers.size() <= 2;
}

} // namespace

QPageSize reportPageSize(const QLocale &locale)
{
    return QPageSize(locale.measurementSystem() == QLocale::ImperialUSSystem ? QPageSize::Letter : QPageSize::A4);
}

std::unique_ptr<QTextDocument> reportDocument(const service::ServiceReport &report)
{
    auto document = std::make_unique<QTextDocument>();
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSizeF(kTextPt);
    document->setDefaultFont(font);
    document->setDocumentMargin(0);
    QTextCursor cursor(document.get());
    cursor.insertText(report.title, characters(15, true));
    insertParagraph(cursor, report.made, characters(kTextPt));
    const std::vector<service::ReportSection> &sections = report.sections;
    int mapsSoFar = 0;
    for (size_t i = 0; i < sections.size(); ++i) {
        if (i + 1 < sections.size() && fitsHalfWidth(sections[i]) && fitsHalfWidth(sections[i + 1])) {
            QTextTableFormat pair;
            pair.setBorderStyle(QTextFrameFormat::BorderStyle_None);
            pair.setCellPadding(0);
            pair.setCellSpacing(0);
            pair.setWidth(QTextLength(QTextLength::PercentageLength, 100));
            pair.setColumnWidthConstraints({QTextLength(QTextLength::PercentageLength, 50),
                                            QTextLength(QTextLength::PercentageLength, 50)});
            QTextTable *table = cursor.insertTable(1, 2, pair);
            QTextTableCellFormat gap;
            gap.setRightPadding(kColumnGap);
            table->cellAt(0, 0).setFormat(gap);
            for (int half = 0; half < 2; ++half) {
                QTextCursor cell = table->cellAt(0, half).firstCursorPosition();
                insertSection(cell, sections[i + size_t(half)], false);
            }
            after(cursor, table);
            ++i;
            continue;
        }
        // A map after the first begins a page: a map is never cut.
        insertSection(cursor, sections[i], sections[i].grid && mapsSoFar++ > 0);
    }
    return document;
}

std::optional<ReportDetails> askReportDetails(widgets::Dialogs &dialogs, QWidget *parent, int language,
                                              const QString &settingsPath, const service::CarDetails &car)
{
    using lang::Text;
    auto text = [language](Text id) { return lang::runTimeText(id, language); };
    const service::Workshop kept = readWorkshop(settingsPath);
    const QString workshop = text(Text::ReportWorkshop), ofCar = text(Text::ReportCar);
    const std::optional<QStringList> typed = dialogs.askFields(
        parent, text(Text::ReportFormTitle),
        {{workshop, text(Text::ReportWorkshopName), kept.name},
         {workshop, text(Text::ReportWorkshopAddress), kept.address},
         {workshop, text(Text::ReportWorkshopPhone), kept.phone},
         {ofCar, text(Text::ReportRegistration), car.registration},
         {ofCar, text(Text::ReportMileage), car.mileage},
         {ofCar, text(Text::ReportNote), car.note, true}});
    if (!typed || typed->size() != 6)
        return std::nullopt;
    ReportDetails details{{typed->at(0), typed->at(1), typed->at(2)}, {typed->at(3), typed->at(4), typed->at(5)}};
    const service::Workshop &w = details.workshop;
    // Kept for the next report; a file that cannot be written only means
    // asking again.
    if (w.name != kept.name || w.address != kept.address || w.phone != kept.phone)
        writeWorkshop(settingsPath, w);
    return details;
}

void previewReport(widgets::Dialogs &dialogs, QWidget *parent, const service::ServiceReport &report, int language)
{
    std::shared_ptr<const QTextDocument> document = reportDocument(report);
    widgets::Dialogs::Preview preview;
    preview.title = report.title;
    preview.savePdf = lang::runTimeText(lang::Text::ReportSavePdf, language);
    preview.pdfDescription = lang::runTimeText(lang::Text::ReportPdfFiles, language);
    preview.pdfFailed = lang::runTimeText(lang::Text::ReportPdfFailed, language);
    // No margins of the paper's own: the document keeps 2 cm inside the
    // printer's least margin, with the page number in it.
    preview.layout = QPageLayout(reportPageSize(QLocale::system()), QPageLayout::Portrait, QMarginsF(),
                                 QPageLayout::Millimeter);
    preview.paint = [document](QPagedPaintDevice &device) { document->print(&device); };
    dialogs.printPreview(parent, preview);
}

} // namespace tarvex::app
