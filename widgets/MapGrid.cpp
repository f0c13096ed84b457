// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/MapGrid.h"
#include "maps/CellColors.h"
#include "maps/ColorValue.h"
#include "maps/MapScale.h"
#include "maps/WorkingTrail.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPointer>
#include <QStyledItemDelegate>
#include <QToolTip>

using namespace tarvex::maps;

namespace tarvex::widgets {

namespace {

// Paints each cell in full (fill, then text 2 pixels in from the top-left
// corner) and keeps the cell's text in step with its editor at every key.
class CellDelegate final : public QStyledItemDelegate {
public:
    explicit CellDelegate(TMapGrid *grid) : QStyledItemDelegate(grid), m_grid(grid) {}

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        const QString text = index.data(Qt::DisplayRole).toString();
        const bool selected = option.state & QStyle::State_Selected;
        const QPalette &palette = m_grid->palette();
        std::optional<QColor> fill = m_grid->CellFill ? m_grid->CellFill(text) : std::nullopt;
        painter->fillRect(option.rect, fill.value_or(palette.color(QPalette::Active, selected ? QPalette::Highlight
                                                                                              : QPalette::Base)));
        painter->setPen(selected ? palette.color(QPalette::Active, QPalette::HighlightedText) : m_grid->TextColor());
        painter->setFont(m_grid->font());
        const QRect textRect = option.rect.adjusted(2, 2, 0, 0);
        painter->drawText(textRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
    }

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override
    {
        QWidget *editor = QStyledItemDelegate::createEditor(parent, option, index);
        m_grid->EditorOpened(index.row() * TMapGrid::kSize + index.column());
        if (auto *line = qobject_cast<QLineEdit *>(editor)) {
            line->setFrame(false);
            // A map value has at most three digits: one more is refused at
            // Enter, any further would only run over the next cells.
            line->setMaxLength(4);
            connect(line, &QLineEdit::textEdited, this, [this, line] {
                emit const_cast<CellDelegate *>(this)->commitData(line);
            });
        }
        return editor;
    }

    void setEditorData(QWidget *editor, const QModelIndex &index) const override
    {
        // The cell follows the editor at every key; handing the same text
        // back would move the editor's cursor to the end.
        auto *line = qobject_cast<QLineEdit *>(editor);
        if (line && line->text() == index.data(Qt::EditRole).toString())
            return;
        QStyledItemDelegate::setEditorData(editor, index);
    }

protected:
    bool eventFilter(QObject *object, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress) {
            auto *key = static_cast<QKeyEvent *>(event);
            if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
                // The cell holds what the user sees before Enter acts on it;
                // the key then ends here instead of reaching the grid again.
                // Enter may show a modal box, whose event loop can close and
                // delete the editor, or the whole grid with this delegate;
                // its batch takes the focus back to the grid, which closes
                // the editor (and deletes it later).
                const QPointer<QWidget> editor = qobject_cast<QWidget *>(object);
                const QPointer<CellDelegate> self(this);
                if (editor)
                    emit commitData(editor);
                m_grid->handleKey(key);
                if (self && editor && m_grid->IsEditor(editor))
                    emit closeEditor(editor, QAbstractItemDelegate::NoHint);
                return true;
            }
            if (m_grid->handleKey(key))
                return true;
        }
        return QStyledItemDelegate::eventFilter(object, event);
    }

private:
    TMapGrid *m_grid;
};

} // namespace

TMapGrid::TMapGrid(QWidget *parent) : QTableWidget(kSize, kSize, parent), m_textColor(palette().color(QPalette::Text))
{
    horizontalHeader()->hide();
    verticalHeader()->hide();
    horizontalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setMinimumSectionSize(1);
    horizontalHeader()->setDefaultSectionSize(kCellWidth + 1);
    verticalHeader()->setDefaultSectionSize(kCellHeight + 1);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setShowGrid(true);
    setSelectionMode(QAbstractItemView::ContiguousSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Tab leaves the grid, as in the grids fitters know.
    setTabKeyNavigation(false);
    setFrameShape(QFrame::Box);
    setLineWidth(1);
    setFixedSize(531, 325);
    setItemDelegate(new CellDelegate(this));
    // The current cell keeps the selection colours when the grid has no focus.
    QPalette p = palette();
    for (QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText})
        p.setColor(QPalette::Inactive, role, p.color(QPalette::Active, role));
    setPalette(p);
    for (int r = 0; r < kSize; ++r)
        for (int c = 0; c < kSize; ++c)
            setItem(r, c, new QTableWidgetItem());
    setCurrentCell(0, 0);
    connect(this, &QTableWidget::currentCellChanged, this, [this](int row, int column, int, int) {
        if (OnSelectCell && row >= 0 && column >= 0)
            OnSelectCell(column, row);
    });
    connect(this, &QTableWidget::itemChanged, this, [this](QTableWidgetItem *changed) {
        if (!m_showing && OnCellEdited)
            OnCellEdited(changed->row() * kSize + changed->column(), changed->text());
    });
}

void TMapGrid::ShowCells(const QStringList &cells)
{
    const bool was = m_showing;
    m_showing = true;
    SetCells(cells);
    m_showing = was;
}

void TMapGrid::ShowCell(int column, int row, const QString &text)
{
    const bool was = m_showing;
    m_showing = true;
    SetCell(column, row, text);
    m_showing = was;
}

void TMapGrid::EditorOpened(int cell)
{
    m_editorCell = cell;
}

bool TMapGrid::IsEditor(const QWidget *editor) const
{
    return m_editorCell >= 0 && indexWidget(model()->index(m_editorCell / kSize, m_editorCell % kSize)) == editor;
}

void TMapGrid::closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint)
{
    const int cell = m_editorCell;
    m_editorCell = -1;
    QTableWidget::closeEditor(editor, hint);
    if (cell >= 0 && OnEditorClosed)
        OnEditorClosed(cell);
}

QString TMapGrid::Cell(int column, int row) const
{
    const QTableWidgetItem *it = item(row, column);
    return it ? it->text() : QString();
}

void TMapGrid::SetCell(int column, int row, const QString &text)
{
    if (QTableWidgetItem *it = item(row, column))
        it->setText(text);
}

void TMapGrid::SetCells(const QStringList &cells)
{
    for (int i = 0; i < cells.size() && i < kSize * kSize; ++i)
        SetCell(i % kSize, i / kSize, cells[i]);
}

QStringList TMapGrid::Cells() const
{
    QStringList cells;
    for (int row = 0; row < kSize; ++row)
        for (int column = 0; column < kSize; ++column)
            cells << Cell(column, row);
    return cells;
}

void TMapGrid::SetCol(int column)
{
    if (column != currentColumn())
        setCurrentCell(std::max(currentRow(), 0), column);
}

void TMapGrid::SetRow(int row)
{
    if (row != currentRow())
        setCurrentCell(row, std::max(currentColumn(), 0));
}

void TMapGrid::SetEditing(bool on)
{
    if (on == m_editing)
        return;
    m_editing = on;
    // An editor still open keeps what was typed, then closes.
    if (!on && state() == QAbstractItemView::EditingState) {
        if (auto *editor = viewport()->findChild<QLineEdit *>()) {
            commitData(editor);
            closeEditor(editor, QAbstractItemDelegate::NoHint);
        }
    }
    setEditTriggers(on ? QAbstractItemView::AnyKeyPressed | QAbstractItemView::DoubleClicked
                             | QAbstractItemView::EditKeyPressed
                       : QAbstractItemView::NoEditTriggers);
}

void TMapGrid::SetTextColor(const QColor &color)
{
    m_textColor = color;
    viewport()->update();
}

namespace {
// Delete, Escape, Tab and the like: keys whose text is a control character.
bool isControlKey(const QKeyEvent *event)
{
    const QString text = event->text();
    return !text.isEmpty() && text.front().category() == QChar::Other_Control && text.front() != QChar(8)
        && text.front() != QChar(13);
}
} // namespace

bool TMapGrid::handleKey(QKeyEvent *event)
{
    // A held "+" or "-" would queue a write per repeat, still arriving long
    // after the key is let go.
    if (event->isAutoRepeat() && (event->key() == Qt::Key_Plus || event->key() == Qt::Key_Minus))
        return true;
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (OnKeyDown)
        OnKeyDown(enter ? kEnter : event->key());
    // The filter sees typed characters only: Delete, Escape and Tab carry
    // control characters here but are keys, and reach the editor as keys.
    // Backspace is both, and goes through the filter.
    const QString text = event->text();
    if (text.isEmpty() || enter || isControlKey(event))
        return false;
    return OnKeyPress && !OnKeyPress(text.front());
}

void TMapGrid::keyboardSearch(const QString &)
{
    // Typing never moves the current cell: with editing off it would fire
    // the select handler and rewrite the shared cell record.
}

void TMapGrid::keyPressEvent(QKeyEvent *event)
{
    if (handleKey(event)) {
        event->accept();
        return;
    }
    // In the grid itself such a key opens no editor, as no typed character
    // did in the grids fitters know.
    if (isControlKey(event)) {
        QKeyEvent bare(event->type(), event->key(), event->modifiers(), QString());
        QTableWidget::keyPressEvent(&bare);
        event->setAccepted(bare.isAccepted());
        return;
    }
    QTableWidget::keyPressEvent(event);
}

} // namespace tarvex::widgets

namespace tarvex::widgets {

void TMapGrid::SetTrail(const WorkingTrail *trail)
{
    m_trail = trail;
    viewport()->update();
}

void TMapGrid::SetMarks(std::map<int, QString> marks)
{
    m_marks = std::move(marks);
    viewport()->update();
}

void TMapGrid::SetStale(bool stale)
{
    if (stale == m_stale)
        return;
    m_stale = stale;
    viewport()->update();
}

void TMapGrid::SetPending(std::set<int> cells)
{
    if (cells == m_pending)
        return;
    m_pending = std::move(cells);
    viewport()->update();
}

QRect TMapGrid::CellRect(int cell) const
{
    // Fixed cells, no scrolling: the cell inside its grid lines.
    return QRect((cell % kSize) * (kCellWidth + 1), (cell / kSize) * (kCellHeight + 1), kCellWidth, kCellHeight);
}

void TMapGrid::paintEvent(QPaintEvent *event)
{
    QTableWidget::paintEvent(event);
    // Over the cells and their colours, never instead of them.
    QPainter painter(viewport());
    // A block of selected cells keeps the cells' colours; its outline shows it.
    for (const QTableWidgetSelectionRange &range : selectedRanges()) {
        if (range.rowCount() * range.columnCount() < 2)
            continue;
        const QRect block = CellRect(range.topRow() * kSize + range.leftColumn())
                                .united(CellRect(range.bottomRow() * kSize + range.rightColumn()));
        painter.setPen(QPen(palette().color(QPalette::Active, QPalette::Highlight).darker(130), 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(block.adjusted(0, 0, 1, 1));
    }
    if (!m_marks.empty()) {
        painter.setPen(QPen(QColor(220, 0, 0), 2));
        painter.setBrush(Qt::NoBrush);
        for (const auto &mark : m_marks)
            painter.drawRect(CellRect(mark.first).adjusted(1, 1, -1, -1));
    }
    if (!m_pending.empty()) {
        // Typed and not sent: the ECU still holds another value.
        painter.setPen(QPen(QColor(230, 120, 0), 1, Qt::DashLine));
        painter.setBrush(Qt::NoBrush);
        for (int cell : m_pending)
            painter.drawRect(CellRect(cell).adjusted(0, 0, -1, -1));
    }
    if (m_trail)
        WorkingTrail::paint(painter, *m_trail, [this](int cell) { return CellRect(cell); });
    if (m_stale) {
        // Still readable, plainly not the ECU's.
        painter.fillRect(viewport()->rect(), QColor(128, 128, 128, 120));
        painter.fillRect(viewport()->rect(), QBrush(QColor(60, 60, 60, 70), Qt::BDiagPattern));
    }
}

bool TMapGrid::viewportEvent(QEvent *event)
{
    if (event->type() == QEvent::ToolTip && !m_marks.empty()) {
        auto *help = static_cast<QHelpEvent *>(event);
        const QModelIndex index = indexAt(help->pos());
        const auto mark = index.isValid() ? m_marks.find(index.row() * kSize + index.column()) : m_marks.end();
        if (mark != m_marks.end()) {
            QToolTip::showText(help->globalPos(), mark->second, viewport(), CellRect(mark->first));
            return true;
        }
    }
    return QTableWidget::viewportEvent(event);
}

void paintMapGrid(TMapGrid *grid, maps::MapPage kind, std::function<maps::BandColors()> bands)
{
    if (kind == maps::MapPage::Fuel) {
        grid->SetTextColor(Qt::red);
        grid->CellFill = [grid, bands](const QString &text) -> std::optional<QColor> {
            const std::optional<int> band = maps::fuelBand(maps::paintValue(text));
            if (!band)
                return std::nullopt;
            return maps::colorFromValue(bands()[size_t(*band - 1)], grid->palette());
        };
        return;
    }
    grid->SetTextColor(grid->palette().color(QPalette::WindowText));
    grid->CellFill = [grid](const QString &text) -> std::optional<QColor> {
        const std::optional<int32_t> color = maps::ignitionColor(maps::paintValue(text));
        if (!color)
            return std::nullopt;
        return maps::colorFromValue(*color, grid->palette());
    };
}

} // namespace tarvex::widgets
