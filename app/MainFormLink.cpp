// SPDX-License-Identifier: GPL-3.0-or-later
// Searching for ports, connecting and disconnecting.
#include "app/MainForm.h"
#include "lang/ErrorText.h"
#include "service/PortProblem.h"
#include "lang/RunTimeTexts.h"
#include "link/DeviceWatcher.h"
#include "link/Protocol.h"
#include "widgets/MapGrid.h"

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
    m_services.dialogs->message(this, widgets::Dialogs::Icon::Critical, QCoreApplication::applicationName(), text);
}

void TTarvexMainForm::ComConnectButtonClick()
{
    Panel1->setEnabled(true);
    InjEditCheck->setChecked(false);
    IgnEditCheck->setChecked(false);
    BComPort1->SetPort(cbport->currentText());
    try {
        BComPort1->Open();
    } catch (const link::EComPort &e) {
        throw Exception(OpenFailureText(e.message()));
    }
    m_rememberedPort = BComPort1->Port();
    // Named now, while it is there: a replugged USB adapter may come back
    // under another /dev/ttyUSBn but under the same by-id link.
    m_stableDevice = m_services.serial->stableDeviceName(link::deviceNameForPort(BComPort1->Port()));
    m_deviceInUse = m_services.serial->deviceNode(link::deviceNameForPort(BComPort1->Port()));
    // A connection by hand is to whatever answers; a new log is the fitter's.
    m_ecuIdentity.clear();
    m_resumeLog = false;

    m_backupFailureReported = false;
    m_reportHeld = {};
    for (int map = 0; map < 2; ++map) {
        Page(map).session.connected();
        Page(map).session.connectionBegan();
        ShowMap(map);
    }
    FinishConnecting();
}

QString TTarvexMainForm::OpenFailureText(const QString &message)
{
    const int error = BComPort1->LastError();
    const QString device = link::deviceNameForPort(BComPort1->Port());
    const QList<link::DeviceHolder> holders =
        link::isBusyDeviceError(error) && !link::isPermissionError(error) ? m_services.serial->deviceHolders(device)
                                                                           : QList<link::DeviceHolder>();
    const QString why =
        service::portProblemText(error, device, m_services.serial->deviceAccess(device), holders, LanguageIndex());
    return why.isEmpty() ? message : lang::errorReportText(message) + QStringLiteral("\n\n") + why;
}

void TTarvexMainForm::ShowConnectedControls()
{
    ComConnectButton->setEnabled(false);
    ComSearchButton->setEnabled(false);
    ComDisconnectButton->setEnabled(true);
    InjPanel->setEnabled(true);
    IgnPanel->setEnabled(true);
    SettingsPanel->setEnabled(true);
    Panel1->setEnabled(true);
}

void TTarvexMainForm::StartPolling(const QByteArray &firmware)
{
    m_silence.reset(); // what came before this connection is no silence of it
    FWmemo->setPlainText(link::fromCp1251(firmware));
    RefreshTimer->SetEnabled(true);
    GroupBox3->setEnabled(true);
}

void TTarvexMainForm::FinishConnecting()
{
    ShowConnectedControls();
    const QByteArray reply = Exchange().run(link::CommandId::Connect);
    m_ecuIdentity = link::connectReplyText(reply);
    StartPolling(m_ecuIdentity);
}

bool TTarvexMainForm::AfterHandlerError()
{
    // Only a device that has gone (a pulled or reset adapter) is waited
    // for; any other failure leaves things as they are.
    if (!m_closed && !m_waitingForAdapter && BComPort1->Connected() && link::isDeviceGoneError(BComPort1->LastError())) {
        StartWaitingForAdapter();
        return true;
    }
    if (BComPort1->Connected() && !RefreshTimer->Enabled())
        ShowLiveData(false); // the error stopped polling
    return false;
}

void TTarvexMainForm::CloseQuietly()
{
    try {
        BComPort1->Close();
    } catch (const Exception &) {
        // Close has let go of the descriptor; a gone device is no news.
    }
}

void TTarvexMainForm::StartWaitingForAdapter()
{
    m_waitingForAdapter = true;
    m_waitingNote = nullptr;
    // Set until the log goes on: a pull before that (during the reconnect
    // itself) must not forget it.
    m_resumeLog = m_resumeLog || m_logging;
    Guarded([this] { EndLogging(); }); // the log so far is complete
    CloseQuietly();
    ShowLiveData(false);
    RefreshTimer->SetEnabled(false);
    Timer1->SetEnabled(false);
    // The port is kept, not forgotten: only "Разъединить" stays usable.
    ComConnectButton->setEnabled(false);
    ComSearchButton->setEnabled(false);
    ComDisconnectButton->setEnabled(true);
    SetDisconnectedLocks();
    UpdateTitle();
    QStringList ports;
    m_services.serial->listPorts(ports);
    m_adapterSearch.begin(m_stableDevice, m_deviceInUse, ports);
    ReconnectTimer->SetEnabled(true);
    // The device's own folder too: an adapter that comes back under another
    // name shows there.
    AdapterWatcher->watch({m_stableDevice, m_deviceInUse});
}

void TTarvexMainForm::StopWaitingForAdapter()
{
    m_waitingForAdapter = false;
    m_waitingNote = nullptr;
    ReconnectTimer->SetEnabled(false);
    AdapterWatcher->stop();
    UpdateTitle();
}

void TTarvexMainForm::UpdateTitle()
{
    QString title = QLatin1String(kWindowTitle);
    if (m_waitingForAdapter)
        title += QStringLiteral(" — ") + lang::runTimeText(lang::Text::WaitingForAdapter, LanguageIndex());
    if (m_waitingForAdapter && m_waitingNote)
        title += QStringLiteral(" — ") + m_waitingNote(LanguageIndex());
    setWindowTitle(title);
}

void TTarvexMainForm::ReconnectTimerTimer()
{
    if (!m_waitingForAdapter || m_closed)
        return;
    QStringList ports;
    m_services.serial->listPorts(ports);
    const QString device = m_adapterSearch.choose(m_services.serial->devicePresent(m_stableDevice), ports);
    // Another adapter is only known for ours by the ECU's answer.
    if (device.isEmpty() || (device != m_stableDevice && m_ecuIdentity.isEmpty()))
        return;
    BComPort1->SetPort(device);
    try {
        BComPort1->Open();
    } catch (const Exception &) {
        // There but not ready yet (udev still setting its group, a prober
        // holding it): looked at again shortly.
        AdapterWatcher->lookAgainIn(100);
        return;
    }
    // Pages stay locked and polling off until the ECU has said who it is.
    QByteArray firmware;
    try {
        firmware = link::connectReplyText(Exchange().run(link::CommandId::Connect));
    } catch (const Exception &) {
        // Pulled again while the plug still bounces: still waiting, and the
        // box of the first pull says it all.
        CloseQuietly();
        return;
    }
    if (!m_ecuIdentity.isEmpty() && firmware != m_ecuIdentity) {
        CloseQuietly();
        if (firmware.isEmpty()) { // not refused: asked again at the next look
            m_waitingNote = [](int language) { return lang::runTimeText(lang::Text::EcuSilentAfterReplug, language); };
        } else {
            m_adapterSearch.refuse(device);
            const QString answered = link::fromCp1251(firmware), first = link::fromCp1251(m_ecuIdentity);
            m_waitingNote = [answered, first](int language) {
                return lang::runTimeText(lang::Text::OtherEcuAnswered, language).arg(answered, first);
            };
        }
        UpdateTitle();
        return;
    }
    // Taken under another name: the adapter is known by that one from now on.
    if (device != m_stableDevice)
        m_stableDevice = m_services.serial->stableDeviceName(device);
    m_deviceInUse = m_services.serial->deviceNode(device);
    ResumeAfterReconnect(firmware);
}

void TTarvexMainForm::ShowDeviceInUse()
{
    // A replugged adapter may be another /dev/ttyUSBn now.
    if (m_services.serial->deviceNode(link::deviceNameForPort(cbport->currentText())) != m_deviceInUse)
        cbport->setEditText(m_deviceInUse);
}

void TTarvexMainForm::ResumeAfterReconnect(const QByteArray &firmware)
{
    m_ecuIdentity = firmware;
    StopWaitingForAdapter();
    ShowDeviceInUse();
    for (int map = 0; map < 2; ++map)
        Page(map).session.connected();
    m_reportHeld.calibration.reset(); // the ECU may have restarted
    ShowConnectedControls();
    // The map pages wait until both maps are read and compared: the ECU may
    // have restarted and lost what was not stored.
    InjPanel->setEnabled(false);
    IgnPanel->setEnabled(false);
    CompareMapsWithEcu();
    if (!BComPort1->Connected())
        return;
    InjPanel->setEnabled(true);
    IgnPanel->setEnabled(true);
    StartPolling(firmware);
    if (m_resumeLog && !m_logging) {
        LogButtonClick(); // a new file, so that each one stays a log of its own
        m_resumeLog = false;
    }
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
    m_resumeLog = false;
    ShowLiveData(false);
    StopWaitingForAdapter();
    if (closeError)
        std::rethrow_exception(closeError);
}

void TTarvexMainForm::PageControl1Changing()
{
    // Every page may be shown; pages fetch their own data when shown.
}

} // namespace tarvex::app
