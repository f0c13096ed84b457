// SPDX-License-Identifier: GPL-3.0-or-later
// Map files and the firmware update.
#include "app/MainForm.h"
#include "lang/RunTimeTexts.h"
#include "link/Protocol.h"
#include "maps/MapFile.h"
#include "widgets/MapGrid.h"
#include "maps/MapReply.h"
#include "service/FirmwareLoader.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

namespace tarvex::app {

using link::CommandId;

namespace {
const char kLoadStatus[] = "Не выключайте зажигание до окончания! ";
const char kSizeText[] = "Размер %1 байт.";
const char kBlocksText[] = "%1 блоков.";
} // namespace

void TTarvexMainForm::ConnectFileHandlers()
{
    On(InjFileSaveButton, &QPushButton::clicked, &TTarvexMainForm::InjFileSaveButtonClick);
    On(IgnFileSaveButton, &QPushButton::clicked, &TTarvexMainForm::IgnFileSaveButtonClick);
    On(InjFileReadButton, &QPushButton::clicked, &TTarvexMainForm::InjFileReadButtonClick);
    On(IgnFileReadButton, &QPushButton::clicked, &TTarvexMainForm::IgnFileReadButtonClick);
    On(OpenFWButton, &QPushButton::clicked, &TTarvexMainForm::OpenFWButtonClick);
    On(LoadFWButton, &QPushButton::clicked, &TTarvexMainForm::LoadFWButtonClick);
}

void TTarvexMainForm::SaveMapFile(int map)
{
    // An empty grid is no map: 256 empty lines would be called saved.
    if (!Page(map).session.hasMap()) {
        m_services.dialogs->message(this, widgets::Dialogs::Icon::Warning, QCoreApplication::applicationName(),
                                    lang::runTimeText(lang::Text::MapFileNotRead, LanguageIndex()));
        return;
    }
    const MapPageTable &page = Page(map).table;
    const QString path = m_services.dialogs->saveFileName(this, QString::fromLatin1(page.saveDescription),
                                                          QString::fromLatin1(page.pattern),
                                                          QString::fromLatin1(page.suffix));
    if (path.isEmpty())
        return;
    if (const QString error = maps::writeMapFile(path, Page(map).controls.grid->Cells()); !error.isEmpty())
        throw Exception(error);
    m_services.dialogs->message(this, widgets::Dialogs::Icon::Information, QCoreApplication::applicationName(),
                                QString::fromUtf8(page.savedMessage));
}

void TTarvexMainForm::LoadMapFile(int map)
{
    // Checked before the engine is stopped or a cell sent.
    const std::optional<maps::MapFileRead> file = MapEditor(map).ChooseFile(QString());
    if (!file)
        return;
    TMapPage &page = Page(map);
    const maps::Plan plan = page.session.load(file->cells);
    if (plan.refused()) {
        RefuseChange(map, plan);
        return;
    }
    if (!BackupBeforeReplacing(map, maps::BackupSource::BeforeFileLoad))
        return;
    RefreshTimer->SetEnabled(false);
    ShowLiveData(false); // no live data while the map goes out
    EngineStopButtonClick();
    repaint();
    m_services.clock->sleepMs(1500);
    const link::CommandId id = page.table.fileCellWrite;
    const QPointer<TTarvexMainForm> alive(this);
    const BatchResult result = SendPlan(
        map, plan,
        [&](const maps::CellChange &change) {
            BComPort1->ClearBuffer(true, true);
            BComPort1->WriteStr(link::cellWriteFrame(id, change.cell, link::toCp1251(change.after)));
            repaint();
            page.controls.status->setText(QString::fromUtf8(kLoadStatus) + QString::number(change.cell));
            m_services.clock->sleepMs(link::command(id).replyWait);
            page.controls.progress->setValue((change.cell - 1) / 16);
        },
        false);
    if (!alive)
        return;
    page.controls.status->clear();
    RefreshTimer->SetEnabled(true);
    page.controls.progress->setValue(0);
    const int language = LanguageIndex();
    if (result.cancelled) {
        page.ShowStatus(language);
        m_services.dialogs->message(this, widgets::Dialogs::Icon::Warning, QCoreApplication::applicationName(),
                                    lang::runTimeText(lang::Text::FileLoadCancelled, language).arg(result.written));
        return;
    }
    StoreMap(map, true);
    if (!alive)
        return;
    const QString done = result.missing.empty() ? lang::runTimeText(lang::Text::FileLoaded, language)
                                                : lang::runTimeText(lang::Text::FileLoadedMissing, language)
                                                      .arg(result.missing.size())
                                                      .arg(missingCellsText(result.missing, language));
    m_services.dialogs->message(this, result.missing.empty() ? widgets::Dialogs::Icon::Information : widgets::Dialogs::Icon::Warning,
                                QCoreApplication::applicationName(), done);
}

void TTarvexMainForm::InjFileSaveButtonClick()
{
    SaveMapFile(0);
}

void TTarvexMainForm::IgnFileSaveButtonClick()
{
    SaveMapFile(1);
}

void TTarvexMainForm::InjFileReadButtonClick()
{
    LoadMapFile(0);
}

void TTarvexMainForm::IgnFileReadButtonClick()
{
    LoadMapFile(1);
}

void TTarvexMainForm::RefuseNonRegularImage(const QString &path)
{
    const QFileInfo info(path);
    if (info.exists() && !info.isFile())
        throw Exception(lang::runTimeText(lang::Text::FirmwareNotAFile, LanguageIndex()).arg(path));
}

void TTarvexMainForm::OpenFWButtonClick()
{
    const QString path = m_services.dialogs->openFileName(this, QStringLiteral("Firmware update"),
                                                          QStringLiteral("*.bin"), QStringLiteral("bin"), QString());
    if (path.isEmpty())
        return;
    // A device or a FIFO has no size and may never end (or never open).
    RefuseNonRegularImage(path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Exception(file.errorString());
    const qint64 size = file.size();
    file.close();
    Label32->setText(QString::fromUtf8(kSizeText).arg(size));
    m_firmwareBlocks = service::firmwareBlockCount(size);
    Label33->setText(QString::fromUtf8(kBlocksText).arg(m_firmwareBlocks));
    m_firmwarePath = path;
    LoadFWButton->setEnabled(true);
}

void TTarvexMainForm::LoadFWButtonClick()
{
    RefreshTimer->SetEnabled(false);
    ShowLiveData(false); // no live data until the transfer is over
    EngineStopButtonClick();
    m_services.clock->sleepMs(300);
    BComPort1->ClearBuffer(true, true);
    ProgressBar3->setMaximum(m_firmwareBlocks);
    // The file is read by its name anew: it is sent as it is now.
    RefuseNonRegularImage(m_firmwarePath);
    QFile file(m_firmwarePath);
    if (!file.open(QIODevice::ReadOnly))
        throw Exception(file.errorString());
    const QByteArray image = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw Exception(file.errorString());
    file.close();
    LoadFWButton->setEnabled(false);

    service::FirmwareLoader loader(*BComPort1, *m_services.clock);
    const service::FirmwareLoader::Outcome outcome = loader.run(image, [this](int blockNumber) {
        ProgressBar3->setValue(std::min(blockNumber, ProgressBar3->maximum()));
        ProgressBar3->repaint();
    });
    RefreshTimer->SetEnabled(true);
    ProgressBar3->setValue(0);
    const bool done = outcome == service::FirmwareLoader::Outcome::Done;
    m_services.dialogs->message(this, done ? widgets::Dialogs::Icon::Information : widgets::Dialogs::Icon::Critical,
                                QCoreApplication::applicationName(), loader.message(outcome, LanguageIndex()));
}

} // namespace tarvex::app
