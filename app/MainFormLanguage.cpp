// SPDX-License-Identifier: GPL-3.0-or-later
// Switching the window's captions between Russian and English.
#include "lang/Captions.h"
#include "app/MainForm.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>

namespace tarvex::app {

namespace {
void setCaption(QTabWidget *tabs, QWidget *control, const QString &text)
{
    if (const int tab = tabs->indexOf(control); tab >= 0)
        tabs->setTabText(tab, text);
    else if (auto *label = qobject_cast<QLabel *>(control)) {
        label->setText(text);
        if (label->property(kSizedByCaption).toBool())
            label->adjustSize(); // wider or narrower, never moved
    }
    else if (auto *button = qobject_cast<QAbstractButton *>(control))
        button->setText(text);
    else if (auto *group = qobject_cast<QGroupBox *>(control))
        group->setTitle(text);
}
} // namespace

void TTarvexMainForm::ConnectLanguageHandlers()
{
    // Every selection from the list runs the switch, also one that leaves
    // the index as it was (after typing); so does every edit of the text.
    connect(ComboBox1, &QComboBox::activated, this, [this] { Guarded([this] { ComboBox1Change(); }); });
    connect(ComboBox1, &QComboBox::currentIndexChanged, this, [this] { Guarded([this] { ComboBox1Change(); }); });
    connect(ComboBox1->lineEdit(), &QLineEdit::textEdited, this, [this] { Guarded([this] { ComboBox1Change(); }); });
}

void TTarvexMainForm::ComboBox1Change()
{
    const int language = LanguageIndex();
    if (language != 0 && language != 1)
        return;
    UpdateViewCaptions();
    UpdateAnalysisCaptions();
    UpdateTitle();
    for (const lang::CaptionRow &row : lang::captionTable()) {
        auto *control = findChild<QWidget *>(QLatin1String(row.name));
        if (!control)
            continue;
        // Back in Russian every control shows its design caption again, so
        // the window is never half English.
        const char *text = language == 1 ? row.english : (row.russian ? row.russian : row.design);
        setCaption(PageControl1, control, QString::fromUtf8(text));
    }
    // The map pages' lines, which the captions may have set to their design.
    for (int map = 0; map < 2; ++map)
        ShowMap(map);
}

int TTarvexMainForm::LanguageIndex() const
{
    // The box's selected item and nothing else: typed text selects the item
    // it spells exactly, any other text none (-1).
    return ComboBox1->findText(ComboBox1->currentText(), Qt::MatchExactly | Qt::MatchCaseSensitive);
}

} // namespace tarvex::app
