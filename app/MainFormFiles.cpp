// Map files and the firmware update.
#include "app/MainForm.h"
#include "app/RunTimeTexts.h"
#include "link/Protocol.h"
#include "maps/MapFile.h"
#include "maps/MapGrid.h"
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

struct TTarvexMainForm::MapPageFiles {
    maps::TMapGrid *grid;
    const char *saveDescription;
    const char *openDescription;
    const char *pattern;
    const char *suffix;
    const char *savedMessage;
    CommandId cellWrite;
    QLabel *status;
    QProgressBar *progress;
    void (TTarvexMainForm::*store)();
};

namespace {
const char kLoadStatus[] = "Не выключайте зажигание до окончания! ";
const char kSizeText[] = "Размер %1 байт.";
const char kBlocksText[] = "%1 блоков.";
} // namespace

TTarvexMainForm::MapPageFiles TTarvexMainForm::FuelFiles()
{
    return {InjGrid, "Injection Table ", "injection table", "*.inj", "inj", "Топливная карта сохранена в файл.",
            CommandId::FuelFileCellWrite, InjWarningLabel, ProgressBar2, &TTarvexMainForm::InjSaveButtonClick};
}

TTarvexMainForm::MapPageFiles TTarvexMainForm::IgnitionFiles()
{
    return {IgnGrid, "dwell table", "Dwell table", "*.ign", "ign", "Карта УОЗ сохранена в файл.",
            CommandId::IgnFileCellWrite, IgnWarningLabel, ProgressBar1, &TTarvexMainForm::IgnSaveButtonClick};
}

void TTarvexMainForm::ConnectFileHandlers()
{
    On(InjFileSaveButton, &QPushButton::clicked, &TTarvexMainForm::InjFileSaveButtonClick);
    On(IgnFileSaveButton, &QPushButton::clicked, &TTarvexMainForm::IgnFileSaveButtonClick);
    On(InjFileReadButton, &QPushButton::clicked, &TTarvexMainForm::InjFileReadButtonClick);
    On(IgnFileReadButton, &QPushButton::clicked, &TTarvexMainForm::IgnFileReadButtonClick);
    On(OpenFWButton, &QPushButton::clicked, &TTarvexMainForm::OpenFWButtonClick);
    On(LoadFWButton, &QPushButton::clicked, &TTarvexMainForm::LoadFWButtonClick);
}

void TTarvexMainForm::SaveMapFile(const MapPageFiles &page)
{
    const QString path = m_services.dialogs->saveFileName(this, QString::fromLatin1(page.saveDescription),
                                                          QString::fromLatin1(page.pattern),
                                                          QString::fromLatin1(page.suffix));
    if (path.isEmpty())
        return;
    if (const QString error = maps::writeMapFile(path, page.grid->Cells()); !error.isEmpty())
        throw Exception(error);
    m_services.dialogs->message(this, Dialogs::Icon::Information, QCoreApplication::applicationName(),
                                QString::fromUtf8(page.savedMessage));
}

std::optional<maps::MapFileRead> TTarvexMainForm::ChooseMapFile(const MapPageFiles &page, const QString &folder,
                                                                 QString *path)
{
    const QString chosen = m_services.dialogs->openFileName(this, QString::fromLatin1(page.openDescription),
                                                            QString::fromLatin1(page.pattern),
                                                            QString::fromLatin1(page.suffix), folder);
    if (chosen.isEmpty())
        return std::nullopt;
    // The whole file is checked before anything is done with it.
    maps::MapFileRead file = maps::readMapFile(chosen, LanguageIndex());
    if (!file.error.isEmpty()) {
        m_services.dialogs->message(this, Dialogs::Icon::Critical, QCoreApplication::applicationName(), file.error);
        return std::nullopt;
    }
    if (path)
        *path = chosen;
    return file;
}

std::optional<maps::MapFileRead> TTarvexMainForm::ChooseMapFile(int map, const QString &folder, QString *path)
{
    return ChooseMapFile(map == 0 ? FuelFiles() : IgnitionFiles(), folder, path);
}

void TTarvexMainForm::LoadMapFile(const MapPageFiles &page)
{
    // Checked before the engine is stopped or a cell sent.
    const std::optional<maps::MapFileRead> file = ChooseMapFile(page, QString());
    if (!file)
        return;
    if (!BackupBeforeReplacing(page.grid == InjGrid ? 0 : 1))
        return;
    RefreshTimer->SetEnabled(false);
    EngineStopButtonClick();
    repaint();
    m_services.clock->sleepMs(1500);
    const link::Command &frame = link::command(page.cellWrite);
    for (int row = 0; row < maps::TMapGrid::kSize; ++row) {
        for (int column = 0; column < maps::TMapGrid::kSize; ++column) {
            const int n = maps::cellNumber(column, row);
            const QString text = file->cells[n - 1];
            page.grid->SetCell(column, row, text);
            BComPort1->ClearBuffer(true, true);
            BComPort1->WriteStr(link::cellWriteFrame(page.cellWrite, n, link::toCp1251(text)));
            repaint();
            page.status->setText(QString::fromUtf8(kLoadStatus) + QString::number(n));
            m_services.clock->sleepMs(frame.replyWait);
            page.progress->setValue(row);
        }
    }
    page.status->clear();
    MapKnown(page.grid == InjGrid ? 0 : 1, file->cells);
    RefreshTimer->SetEnabled(true);
    page.progress->setValue(0);
    (this->*page.store)();
}

void TTarvexMainForm::InjFileSaveButtonClick()
{
    SaveMapFile(FuelFiles());
}

void TTarvexMainForm::IgnFileSaveButtonClick()
{
    SaveMapFile(IgnitionFiles());
}

void TTarvexMainForm::InjFileReadButtonClick()
{
    LoadMapFile(FuelFiles());
}

void TTarvexMainForm::IgnFileReadButtonClick()
{
    LoadMapFile(IgnitionFiles());
}

void TTarvexMainForm::RefuseNonRegularImage(const QString &path)
{
    const QFileInfo info(path);
    if (info.exists() && !info.isFile())
        throw Exception(runTimeText(Text::FirmwareNotAFile, LanguageIndex()).arg(path));
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
    m_services.dialogs->message(this, done ? Dialogs::Icon::Information : Dialogs::Icon::Critical,
                                QCoreApplication::applicationName(), loader.message(outcome, LanguageIndex()));
}

} // namespace tarvex::app
