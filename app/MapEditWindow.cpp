// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/MapEditWindow.h"
#include "app/ReportPrint.h"
#include "maps/ColorValue.h"
#include "lang/ErrorText.h"
#include "lang/RunTimeTexts.h"
#include "link/Exception.h"
#include "maps/MapBackups.h"
#include "widgets/MapGrid.h"
#include "widgets/SpeedScale.h"
#include "maps/MapReply.h"
#include "monitor/LogFile.h"

#include <QPointer>
#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>

namespace tarvex::app {

namespace {
// The page of a file by its extension: 0 fuel, 1 ignition, -1 neither.
int mapOfFile(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    return suffix == QLatin1String("inj") ? 0 : suffix == QLatin1String("ign") ? 1 : -1;
}
} // namespace

std::unique_ptr<TMapEditWindow> TMapEditWindow::Open(const QString &path, MapEditServices services,
                                                    QString *refusal)
{
    const int map = mapOfFile(path);
    const maps::ValueRange range = map == 1 ? maps::kIgnitionRange : maps::kFuelRange;
    maps::MapFileRead file;
    if (map < 0)
        file.error = lang::runTimeText(lang::Text::MapEditNotAMapFile, services.language).arg(path);
    else
        file = maps::readMapFile(path, range, services.language);
    if (!file.error.isEmpty()) {
        if (refusal)
            *refusal = file.error;
        services.dialogs->message(nullptr, widgets::Dialogs::Icon::Critical, QCoreApplication::applicationName(), file.error);
        return nullptr;
    }
    return std::unique_ptr<TMapEditWindow>(new TMapEditWindow(path, map, file.cells, std::move(services)));
}

TMapEditWindow::TMapEditWindow(const QString &path, int map, const QStringList &cells, MapEditServices services)
    : m_path(path), m_services(std::move(services)), m_map(cells), m_original(cells)
{
    setObjectName(QStringLiteral("MapEditWindow"));
    QFont windowFont(QStringLiteral("Liberation Sans"));
    windowFont.setPointSize(8);
    setFont(windowFont);
    setFixedSize(625, 430);

    m_bands = maps::readBandColors(m_services.settingsPath);

    // As a map page of the window: controls above, the grid and its scale.
    SaveButton = new QPushButton(this);
    SaveButton->setGeometry(8, 4, 130, 33);
    LanguageBox = new QComboBox(this);
    LanguageBox->addItems({QStringLiteral("RUS"), QStringLiteral("ENG")});
    LanguageBox->setGeometry(548, 10, 57, 21);
    Hint = new QLabel(this);
    Hint->setGeometry(146, 4, 396, 33);
    Hint->setWordWrap(true);
    Status = new QLabel(this);
    Status->setTextFormat(Qt::PlainText);
    Status->setGeometry(72, 42, 533, 15);
    Grid = new widgets::TMapGrid(this);
    Grid->move(72, 60);
    Scale = new widgets::TSpeedScale(this);
    Scale->move(69, 386);

    m_page = std::make_unique<TMapPage>(map, TMapPage::Controls{Grid, nullptr, Status, nullptr, nullptr}, true);
    widgets::paintMapGrid(Grid, m_page->table.kind, [this] { return m_bands; });
    maps::MapSession &session = m_page->session;
    session.read(cells);
    session.setEditing(true);
    Grid->SetEditing(true);

    TMapEditor::Host host;
    host.window = this;
    host.dialogs = m_services.dialogs;
    host.language = [this] { return Language(); };
    host.editable = [this] { return !m_page->session.batchRunning(); };
    host.send = [this](const maps::Plan &plan) { return SendPlan(plan); };
    host.show = [this] { ShowMap(); };
    host.guarded = [this](const std::function<void()> &handler) { Guarded(handler); };
    host.workingPoint = [] { return -1; };
    host.compareFolder = [this] { return m_services.backupFolder; };
    host.report = [this] { ReportClick(); };
    m_editor = std::make_unique<TMapEditor>(*m_page, std::move(host));

    Grid->OnKeyPress = [](QChar key) { return maps::isMapCellKey(key); };
    Grid->OnKeyDown = [this](int key) {
        Guarded([&] {
            if (!m_editor->StepKey(key) && key == widgets::TMapGrid::kEnter)
                EnterCell();
        });
    };
    Grid->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(Grid, &QWidget::customContextMenuRequested, this, [this](const QPoint &at) {
        Guarded([&] { m_editor->MakeMenu()->exec(Grid->viewport()->mapToGlobal(at)); });
    });
    connect(SaveButton, &QPushButton::clicked, this, [this] { Guarded([this] { SaveClick(); }); });
    // Not the button's shortcut: setting its caption would clear it.
    auto *save = new QShortcut(QKeySequence::Save, this);
    connect(save, &QShortcut::activated, this, [this] { Guarded([this] { SaveClick(); }); });
    auto *report = new QShortcut(QKeySequence::Print, this);
    connect(report, &QShortcut::activated, this, [this] { Guarded([this] { ReportClick(); }); });
    connect(LanguageBox, &QComboBox::currentIndexChanged, this, [this](int language) { SetLanguage(language); });
    LanguageBox->setCurrentIndex(m_services.language == 1 ? 1 : 0);
    SetLanguage(LanguageBox->currentIndex());
}

int TMapEditWindow::Language() const
{
    return LanguageBox->currentIndex();
}

void TMapEditWindow::SetLanguage(int language)
{
    setWindowTitle(lang::runTimeText(lang::Text::MapEditTitle, language)
                       .arg(lang::runTimeText(m_page->table.name, language), QDir::toNativeSeparators(m_path)));
    SaveButton->setText(lang::runTimeText(lang::Text::MapEditSave, language));
    Hint->setText(lang::runTimeText(lang::Text::MapEditHint, language));
    m_editor->UpdateCaptions();
    ShowMap();
}

void TMapEditWindow::Guarded(const std::function<void()> &handler)
{
    try {
        handler();
    } catch (const Exception &e) {
        m_services.dialogs->message(this, widgets::Dialogs::Icon::Critical, QCoreApplication::applicationName(),
                                    lang::errorReportText(e.message()));
    } catch (const std::exception &e) {
        m_services.dialogs->message(this, widgets::Dialogs::Icon::Critical, QCoreApplication::applicationName(),
                                    lang::errorReportText(QString::fromLocal8Bit(e.what())));
    }
}

void TMapEditWindow::ShowMap()
{
    m_page->Show(Language());
    m_editor->RefreshComparison();
}

BatchResult TMapEditWindow::SendPlan(const maps::Plan &plan)
{
    if (plan.refused()) {
        m_editor->Refuse(plan);
        return {};
    }
    // The file's map in memory takes each write as the ECU would.
    const BatchResult result =
        m_editor->Run(plan, [this](const maps::CellChange &change) { m_map[change.cell - 1] = change.after; }, false);
    ShowMap();
    return result;
}

void TMapEditWindow::EnterCell()
{
    SendPlan(m_page->session.enter(Grid->Row() * widgets::TMapGrid::kSize + Grid->Col()));
}

bool TMapEditWindow::SaveClick()
{
    const int language = Language();
    if (m_originalKept.isEmpty()) {
        // The file as it was opened is kept before it is first replaced.
        QDir().mkpath(m_services.backupFolder);
        const QString copy = monitor::LogFile::freshName(m_services.backupFolder, m_services.now(),
                                                         QLatin1String(m_page->table.extension));
        if (const QString error = maps::writeBackup(copy, m_original, maps::BackupSource::MapEditor);
            !error.isEmpty()) {
            m_services.dialogs->message(this, widgets::Dialogs::Icon::Warning, QCoreApplication::applicationName(),
                                        lang::runTimeText(lang::Text::BackupFailed, language).arg(error));
            if (!m_services.dialogs->question(this, QCoreApplication::applicationName(),
                                              lang::runTimeText(lang::Text::GoOnWithoutBackup, language)))
                return false;
        } else {
            m_originalKept = copy;
        }
    }
    maps::MapSession &session = m_page->session;
    session.storeSent();
    const QString error = maps::writeMapFile(m_path, m_map);
    session.storeEnded(error.isEmpty());
    if (!error.isEmpty()) {
        ShowMap();
        throw Exception(error);
    }
    m_page->note = [file = QFileInfo(m_path).fileName(), kept = QDir::toNativeSeparators(m_originalKept)](int language) {
        return kept.isEmpty() ? lang::runTimeText(lang::Text::MapEditSaved, language).arg(file)
                              : lang::runTimeText(lang::Text::MapEditOriginalKept, language).arg(file, kept);
    };
    ShowMap();
    return true;
}

void TMapEditWindow::ReportClick()
{
    const int language = Language();
    const QPointer<TMapEditWindow> alive(this);
    const std::optional<ReportDetails> details =
        askReportDetails(*m_services.dialogs, this, language, m_services.userSettingsPath, m_car);
    if (!alive || !details)
        return;
    m_car = details->car;
    service::ReportFacts facts;
    facts.language = language;
    facts.made = m_services.now();
    facts.workshop = details->workshop;
    facts.car = details->car;
    facts.maps.push_back({&m_page->session, m_path});
    facts.bands = m_bands;
    previewReport(*m_services.dialogs, this, service::makeServiceReport(facts), language);
}

void TMapEditWindow::closeEvent(QCloseEvent *event)
{
    if (m_page->session.unstoredCount() > 0) {
        switch (m_services.dialogs->questionWithCancel(this, QCoreApplication::applicationName(),
                                                       lang::runTimeText(lang::Text::MapEditUnsaved, Language()))) {
        case widgets::Dialogs::Answer::Cancel: event->ignore(); return;
        case widgets::Dialogs::Answer::Yes: {
            bool saved = false;
            Guarded([&] { saved = SaveClick(); });
            if (!saved) {
                event->ignore();
                return;
            }
            break;
        }
        case widgets::Dialogs::Answer::No: break;
        }
    }
    event->accept();
}

} // namespace tarvex::app
