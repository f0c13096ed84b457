// Switching the window's captions between Russian and English.
#include "app/LanguageTables.h"
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
    else if (auto *label = qobject_cast<QLabel *>(control))
        label->setText(text);
    else if (auto *button = qobject_cast<QAbstractButton *>(control))
        button->setText(text);
    else if (auto *group = qobject_cast<QGroupBox *>(control))
        group->setTitle(text);
}
} // namespace

void TTarvexMainForm::ConnectLanguageHandlers()
{
    connect(ComboBox1, &QComboBox::currentIndexChanged, this, [this](int index) {
        m_languageIndex = index;
        Guarded([this] { ComboBox1Change(); });
    });
    // Typed text selects an item only when it is exactly one.
    connect(ComboBox1->lineEdit(), &QLineEdit::textEdited, this, [this](const QString &text) {
        m_languageIndex = ComboBox1->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
        Guarded([this] { ComboBox1Change(); });
    });
}

void TTarvexMainForm::ComboBox1Change()
{
    const int language = LanguageIndex();
    if (language != 0 && language != 1)
        return;
    for (const CaptionRow &row : captionTable()) {
        auto *control = findChild<QWidget *>(QLatin1String(row.name));
        if (!control)
            continue;
        // Back in Russian every control shows its design caption again, so
        // the window is never half English.
        const char *text = language == 1 ? row.english : (row.russian ? row.russian : row.design);
        setCaption(PageControl1, control, QString::fromUtf8(text));
    }
}

int TTarvexMainForm::LanguageIndex() const
{
    return m_languageIndex;
}

} // namespace tarvex::app
