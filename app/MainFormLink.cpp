// Searching for ports, connecting and disconnecting.
#include "app/MainForm.h"
#include "app/RunTimeTexts.h"
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
    // Named now, while it is there: a replugged USB adapter may come back
    // under another /dev/ttyUSBn but under the same by-id link.
    m_stableDevice = m_services.serial->stableDeviceName(link::deviceNameForPort(BComPort1->Port()));

    m_backupFailureReported = false;
    for (int map = 0; map < 2; ++map) {
        Page(map).session.connected();
        ShowMap(map);
    }
    FinishConnecting();
}

void TTarvexMainForm::FinishConnecting()
{
    ComConnectButton->setEnabled(false);
    ComSearchButton->setEnabled(false);
    ComDisconnectButton->setEnabled(true);
    InjPanel->setEnabled(true);
    IgnPanel->setEnabled(true);
    SettingsPanel->setEnabled(true);
    Panel1->setEnabled(true);
    const QByteArray reply = Exchange().run(link::CommandId::Connect);
    FWmemo->setPlainText(link::fromCp1251(link::connectReplyText(reply)));
    RefreshTimer->SetEnabled(true);
    GroupBox3->setEnabled(true);
}

void TTarvexMainForm::AfterHandlerError()
{
    // Only a device that has gone (a pulled or reset adapter) is waited
    // for; any other failure leaves things as they are.
    if (!m_closed && !m_waitingForAdapter && BComPort1->Connected() && link::isDeviceGoneError(BComPort1->LastError()))
        StartWaitingForAdapter();
}

void TTarvexMainForm::StartWaitingForAdapter()
{
    m_waitingForAdapter = true;
    m_resumeLog = m_logging;
    Guarded([this] { EndLogging(); }); // the log so far is complete
    try {
        BComPort1->Close();
    } catch (const Exception &) {
        // Close has let go of the descriptor; the error was told already.
    }
    RefreshTimer->SetEnabled(false);
    Timer1->SetEnabled(false);
    // The port is kept, not forgotten: only "Разъединить" stays usable.
    ComConnectButton->setEnabled(false);
    ComSearchButton->setEnabled(false);
    ComDisconnectButton->setEnabled(true);
    SetDisconnectedLocks();
    UpdateTitle();
    ReconnectTimer->SetEnabled(true);
}

void TTarvexMainForm::StopWaitingForAdapter()
{
    m_waitingForAdapter = false;
    ReconnectTimer->SetEnabled(false);
    UpdateTitle();
}

void TTarvexMainForm::UpdateTitle()
{
    const QString title = QLatin1String(kWindowTitle);
    setWindowTitle(m_waitingForAdapter ? title + QStringLiteral(" — ") + runTimeText(Text::WaitingForAdapter, LanguageIndex())
                                       : title);
}

void TTarvexMainForm::ReconnectTimerTimer()
{
    if (!m_waitingForAdapter || !m_services.serial->devicePresent(m_stableDevice))
        return;
    BComPort1->SetPort(m_stableDevice);
    try {
        BComPort1->Open();
    } catch (const Exception &) {
        return; // there but not ready yet (still settling, busy): the next look tries again
    }
    StopWaitingForAdapter();
    for (int map = 0; map < 2; ++map)
        Page(map).session.connected();
    // The pages wait until both maps are read and compared: the ECU may
    // have restarted and lost what was not stored.
    FinishConnecting();
    InjPanel->setEnabled(false);
    IgnPanel->setEnabled(false);
    VerifyMapsAfterReconnect();
    if (!BComPort1->Connected())
        return;
    InjPanel->setEnabled(true);
    IgnPanel->setEnabled(true);
    if (m_resumeLog && !m_logging)
        LogButtonClick(); // a new file, so that each one stays a log of its own
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
    StopWaitingForAdapter();
    if (closeError)
        std::rethrow_exception(closeError);
}

void TTarvexMainForm::PageControl1Changing()
{
    // Every page may be shown; pages fetch their own data when shown.
}

} // namespace tarvex::app
