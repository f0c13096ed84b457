// Searching for ports, connecting and disconnecting.
#include "app/MainForm.h"
#include "link/Protocol.h"
#include "maps/MapGrid.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFrame>
#include <QGroupBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <exception>

namespace tarvex::app {

namespace {
// "СОМ" is written in Cyrillic letters.
const char16_t kNoPortsRussian[] = u"Доступных \u0421\u041E\u041C портов не обнаружено";
const char kNoPortsEnglish[] = "COM ports not found";
} // namespace

void TTarvexMainForm::ComSearchButtonClick()
{
    QStringList ports;
    link::ListSerialPorts(ports, *m_services.serial);
    cbport->clear();
    cbport->addItems(ports);
    cbport->setCurrentIndex(0);
    if (cbport->count() > 0 && !cbport->itemText(0).isEmpty()) {
        ComConnectButton->setEnabled(true);
        return;
    }
    const QString text =
        LanguageIndex() == 0 ? QString::fromUtf16(kNoPortsRussian) : QString::fromLatin1(kNoPortsEnglish);
    m_services.dialogs->message(this, Dialogs::Icon::Critical, QCoreApplication::applicationName(), text);
}

void TTarvexMainForm::ComConnectButtonClick()
{
    Panel1->setEnabled(true);
    InjEditCheck->setChecked(false);
    IgnEditCheck->setChecked(false);
    BComPort1->SetPort(cbport->currentText());
    BComPort1->Open();

    ComConnectButton->setEnabled(false);
    ComSearchButton->setEnabled(false);
    ComDisconnectButton->setEnabled(true);
    InjPanel->setEnabled(true);
    IgnPanel->setEnabled(true);
    SettingsPanel->setEnabled(true);

    for (MapSafety &safety : m_mapSafety)
        safety = MapSafety{};
    m_backupFailureReported = false;
    m_lastBackup = {};
    MapKnown(0, InjGrid->Cells());
    MapKnown(1, IgnGrid->Cells());
    const QByteArray reply = Exchange().run(link::CommandId::Connect);
    FWmemo->setPlainText(link::fromCp1251(link::connectReplyText(reply)));
    RefreshTimer->SetEnabled(true);
    GroupBox3->setEnabled(true);
}

void TTarvexMainForm::ComDisconnectButtonClick()
{
    // A store that fails here (a pulled cable) is reported and the port is
    // let go all the same; so is a close that reports an error after it has
    // released the port: the window always ends disconnected.
    Guarded([this] { AskToStoreUnstored(); });
    std::exception_ptr closeError;
    try {
        BComPort1->Close();
    } catch (...) {
        closeError = std::current_exception();
    }
    ComConnectButton->setEnabled(true);
    ComSearchButton->setEnabled(true);
    ComDisconnectButton->setEnabled(false);
    RefreshTimer->SetEnabled(false);
    InjPanel->setEnabled(false);
    IgnPanel->setEnabled(false);
    SettingsPanel->setEnabled(false);
    GroupBox3->setEnabled(false);
    Panel1->setEnabled(false);
    Guarded([this] { EndLogging(); });
    if (closeError)
        std::rethrow_exception(closeError);
}

void TTarvexMainForm::PageControl1Changing()
{
    // Every page may be shown; pages fetch their own data when shown.
}

} // namespace tarvex::app
