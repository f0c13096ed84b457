// SPDX-License-Identifier: GPL-3.0-or-later
// The window's shell: creation, start-up, shutdown, settings file, links.
#include "app/MainForm.h"
#include "app/ColorLabel.h"
#include "lang/ErrorText.h"
#include "app/UserSettings.h"
#include "app/WebLinks.h"
#include "link/DeviceWatcher.h"
#include "widgets/AnalogGauge.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFrame>
#include <QGroupBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTabWidget>

namespace tarvex::app {

TTarvexMainForm::TTarvexMainForm(FormServices services, QWidget *parent)
    : QWidget(parent), m_services(std::move(services))
{
    setObjectName(QStringLiteral("TarvexMainForm"));
    setAccessibleDescription(objectName());
    setWindowTitle(QLatin1String(kWindowTitle));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    QFont windowFont(QStringLiteral("Liberation Sans"));
    windowFont.setPointSize(8);
    setFont(windowFont);
    setFixedSize(1014, 453);
    move(1, 1);

    BComPort1 = new link::TBComPort(this, m_services.serial);
    link::TBComPort::SetApplicationExceptionHandler([this](const QString &message) { ShowException(message); });
    BComPort1->SetBaudRate(link::br57600);
    BComPort1->SetByteSize(link::bs8);
    BComPort1->SetInBufSize(4096);
    BComPort1->SetOutBufSize(4096);
    BComPort1->SetParity(link::paNone);
    BComPort1->SetPort(QStringLiteral("COM2"));
    BComPort1->SetSyncMethod(link::smThreadSync);
    BComPort1->SetStopBits(link::sb1);

    RefreshTimer = new TTimer(this, 50, true);
    Timer1 = new TTimer(this, 5000, true);
    Timer2 = new TTimer(this, 1000, true);
    // The watcher sees a replugged adapter at once; the timer's look is
    // the safety net for what the watcher cannot see.
    ReconnectTimer = new TTimer(this, 3000, false);
    AdapterWatcher = new link::DeviceWatcher(this);
    if (m_services.logSync)
        m_log.setSync(m_services.logSync);

    CreateControls();
    ConnectHandlers();

    link::EcuExchange::Hooks hooks;
    hooks.setLiveData = [this](bool on) { RefreshTimer->SetEnabled(on); };
    hooks.waitProcessingEvents = [this](int ms) {
        // Timer2 times the wait and switches itself off; the window stays
        // responsive meanwhile, and the thread sleeps until an event comes.
        Timer2->SetInterval(ms);
        Timer2->SetEnabled(true);
        if (!Timer2->Enabled())
            return;
        QEventLoop wait;
        m_storeWaits.push_back(&wait);
        wait.exec();
        std::erase(m_storeWaits, &wait);
    };
    m_exchange = std::make_unique<link::EcuExchange>(*BComPort1, *m_services.clock, hooks);

    Guarded([this] { FormCreate(); });
}

TTarvexMainForm::~TTarvexMainForm() = default;

void TTarvexMainForm::ConnectHandlers()
{
    On(ComSearchButton, &QPushButton::clicked, &TTarvexMainForm::ComSearchButtonClick);
    On(ComConnectButton, &QPushButton::clicked, &TTarvexMainForm::ComConnectButtonClick);
    On(ComDisconnectButton, &QPushButton::clicked, &TTarvexMainForm::ComDisconnectButtonClick);
    On(InjRefreshButton, &QPushButton::clicked, &TTarvexMainForm::InjRefreshButtonClick);
    On(IgnRefreshButton, &QPushButton::clicked, &TTarvexMainForm::IgnRefreshButtonClick);
    ConnectMapHandlers();
    ConnectMonitorHandlers();
    ConnectServiceHandlers();
    ConnectFileHandlers();
    ConnectLanguageHandlers();
    ConnectEditHandlers();
    ConnectAnalysisHandlers();
    ConnectReportHandlers();
    connect(PageControl1, &QTabWidget::currentChanged, this,
            [this](int index) { Guarded([&] { ShowPage(index); }); });
    Timer2->OnTimer = [this] { Guarded([this] { Timer2Timer(); }); };
    ReconnectTimer->OnTimer = [this] { Guarded([this] { ReconnectTimerTimer(); }); };
    AdapterWatcher->OnChange = [this] { Guarded([this] { ReconnectTimerTimer(); }); };
    Label54->installEventFilter(this);
    Label55->installEventFilter(this);
}

bool TTarvexMainForm::eventFilter(QObject *watched, QEvent *event)
{
    // A web link opens on a click: the left button pressed and released on
    // the same link.
    const bool press = event->type() == QEvent::MouseButtonPress;
    const bool release = event->type() == QEvent::MouseButtonRelease;
    if ((watched == Label54 || watched == Label55) && (press || release)) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (press)
            m_linkPressed = mouse->button() == Qt::LeftButton ? watched : nullptr;
        if (release && mouse->button() == Qt::LeftButton) {
            const bool click = m_linkPressed == watched
                && static_cast<QWidget *>(watched)->rect().contains(mouse->position().toPoint());
            m_linkPressed = nullptr;
            if (click && watched == Label54)
                Guarded([this] { Label54Click(); });
            else if (click)
                Guarded([this] { Label55Click(); });
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TTarvexMainForm::HandlerFailed(const QString &message)
{
    const bool lost = AfterHandlerError();
    // A timer may fail again while the box of a lost link is up (the
    // adapter back and gone again): the title tells of it, not a second box.
    if (lost && m_linkBoxUp)
        return;
    const bool boxWasUp = m_linkBoxUp;
    m_linkBoxUp = m_linkBoxUp || lost;
    const QPointer<TTarvexMainForm> alive(this); // the box's loop may close the window for good
    ShowException(message);
    if (alive)
        m_linkBoxUp = boxWasUp;
}

void TTarvexMainForm::ShowException(const QString &message)
{
    m_services.dialogs->message(this, widgets::Dialogs::Icon::Critical, QCoreApplication::applicationName(),
                                lang::errorReportText(message));
}

maps::BandColors TTarvexMainForm::BandColorsNow() const
{
    maps::BandColors colors{};
    for (int k = 0; k < maps::kBandCount; ++k)
        colors[size_t(k)] = BandLabels[size_t(k)]->Color();
    return colors;
}

void TTarvexMainForm::SetDisconnectedLocks()
{
    for (QWidget *w : std::initializer_list<QWidget *>{Panel1, InjPanel, IgnPanel, SettingsPanel, GroupBox3})
        w->setEnabled(false);
}

void TTarvexMainForm::FormCreate()
{
    SetDisconnectedLocks();
    RefreshTimer->SetEnabled(false);
    {
        // The captions are already the Russian ones of the design.
        const QSignalBlocker quiet(ComboBox1);
        ComboBox1->setCurrentIndex(0);
    }
    Timer1->SetEnabled(false);
    m_logging = false;
    ComConnectButton->setEnabled(false);
    ComDisconnectButton->setEnabled(false);
    // No live data yet: the gauges say so; the labels are still blank.
    for (widgets::TAnalogGauge *gauge : {rpmgauge, VoltageGauge, TemperatureGauge, TPS1Gauge, LambdaGauge, EngineLoadGauge})
        gauge->SetNoData(true);
    m_liveShown = false;
    ApplyUserSettings();
    ApplySettingsFile();
}

void TTarvexMainForm::ApplyUserSettings()
{
    const UserSettings remembered = readUserSettings(m_services.userSettingsPath);
    m_rememberedPort = remembered.port;
    if (remembered.language == 1)
        ComboBox1->setCurrentIndex(1); // runs the language switch
    if (!remembered.port.isEmpty()) {
        cbport->setEditText(remembered.port);
        ComConnectButton->setEnabled(m_services.serial->devicePresent(link::deviceNameForPort(remembered.port)));
    }
}

void TTarvexMainForm::ApplySettingsFile()
{
    const maps::SettingsRead read = maps::readSettingsFile(m_services.settingsPath);
    if (!read.opened) {
        for (int k = 0; k < maps::kBandCount; ++k)
            BandLabels[size_t(k)]->SetColor(maps::defaultBandColors()[size_t(k)]);
        return;
    }
    for (size_t k = 0; k < read.colors.size(); ++k)
        BandLabels[k]->SetColor(read.colors[k]);
    if (!read.error.isEmpty())
        throw EConvertError(read.error);
}

void TTarvexMainForm::FormClose()
{
    // Closing always completes: each step reports its own failure and the
    // next one still runs, so a pulled adapter never costs the colours.
    StopWaitingForAdapter(); // a window that closes connects nowhere
    if (!m_askedAtClose)
        Guarded([this] { AskToStoreUnstored(); });
    Guarded([this] { EndLogging(); });
    Guarded([this] { BComPort1->Close(); });
    const int language = LanguageIndex();
    writeUserSettings(m_services.userSettingsPath, UserSettings{m_rememberedPort, language == 1 ? 1 : 0});
    const QString error = maps::writeSettingsFile(m_services.settingsPath, BandColorsNow());
    if (!error.isEmpty())
        ShowException(error);
}

void TTarvexMainForm::closeEvent(QCloseEvent *event)
{
    if (!m_closed) {
        // Cancel keeps the window open, with its unstored map.
        bool close = true;
        Guarded([&] { close = AskToStoreBeforeClosing(); });
        if (!close) {
            m_askedAtClose = false;
            event->ignore();
            return;
        }
        m_closed = true;
        FormClose();
    }
    event->accept();
}


void TTarvexMainForm::Label54Click()
{
    m_services.dialogs->openUrl(webLinks().site);
}

void TTarvexMainForm::Label55Click()
{
    m_services.dialogs->openUrl(webLinks().vkPage);
}

void TTarvexMainForm::ShowPage(int index)
{
    PageControl1Changing();
    switch (index) {
    case 1: InjectionShow(); break;
    case 2: DwellShow(); break;
    case 3: AdditionalShow(); break;
    default: break; // the settings page has no show event
    }
}

void TTarvexMainForm::InjectionShow()
{
    InjRefreshButtonClick();
}

void TTarvexMainForm::DwellShow()
{
    IgnRefreshButtonClick();
}

void TTarvexMainForm::AdditionalShow()
{
    if (BComPort1->Connected())
        Calibration_read_buttonClick();
}

void TTarvexMainForm::Timer2Timer()
{
    Timer2->SetEnabled(false);
    for (QEventLoop *wait : m_storeWaits)
        wait->quit();
}

} // namespace tarvex::app
