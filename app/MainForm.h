// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "widgets/QtDialogs.h"
#include "maps/SettingsFile.h"
#include "app/TTimer.h"
#include "link/AdapterSearch.h"
#include "link/BCPort.h"
#include "link/Clock.h"
#include "link/EcuExchange.h"
#include "app/MapEditor.h"
#include "app/MapPage.h"
#include "maps/MapBackups.h"
#include "maps/MapFile.h"
#include "maps/MapOperations.h"
#include "maps/WorkingTrail.h"
#include "monitor/LogFile.h"
#include "monitor/LiveSilence.h"
#include "monitor/LogMapTrack.h"

#include <QDateTime>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <array>
#include <optional>
#include <vector>
#include <memory>

class QAction;
class QCheckBox;
class QEventLoop;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTabWidget;

namespace tarvex::widgets {
class TAnalogGauge;
class TMapGrid;
class TMapSurface;
class TSpeedScale;
}
namespace tarvex::link {
class DeviceWatcher;
}

namespace tarvex::app {

class TColorLabel;
class TCompareWindow;
class TLiveAnalysisWindow;
class THistoryWindow;

inline constexpr char kWindowTitle[] = "Tarvex 28.07.23";

// A label that takes the width of its caption (the design's auto-size).
inline constexpr char kSizedByCaption[] = "tarvexSizedByCaption";

// What the window needs from outside: the serial services, the clock, the
// dialogs and where the settings file lies. Tests put fakes here.
struct FormServices {
    std::shared_ptr<link::SerialSystem> serial = link::defaultSerialSystem();
    std::shared_ptr<Clock> clock = systemClock();
    std::shared_ptr<widgets::Dialogs> dialogs = std::make_shared<widgets::QtDialogs>();
    QString settingsPath = QStringLiteral("tarvex.ini");
    // Where log files go (empty: the working directory) and the clock that
    // names them.
    QString logFolder;
    // Where the maps read from the ECU are kept as they were.
    QString backupFolder = QStringLiteral("backups");
    std::function<QDateTime()> now = [] { return QDateTime::currentDateTime(); };
    // How a finished log line is made durable (empty: fdatasync).
    std::function<int(int fd)> logSync;
    // Where the last port and the language are remembered between starts
    // (empty: nothing is); the program gives the user's configuration folder.
    QString userSettingsPath;
    // Where the analysis keeps the lambda delay and the locked cells (empty:
    // nowhere); the program gives the log viewer's file, so both share them.
    QString analysisSettingsPath;
};

// The one window of the program. Controls are members named as the fitter's
// manual names them; handlers are named control plus event.
class TTarvexMainForm : public QWidget {
    Q_OBJECT
public:
    explicit TTarvexMainForm(FormServices services = FormServices(), QWidget *parent = nullptr);
    ~TTarvexMainForm() override;

    // --- Handlers -------------------------------------------------------
    void FormCreate();
    void FormClose();
    void ComSearchButtonClick();
    void ComConnectButtonClick();
    void ComDisconnectButtonClick();
    // While the adapter is gone: a look for it, on every change udev makes in
    // its folders and every few seconds as a safety net; connects again when
    // it is back and the same ECU answers.
    void ReconnectTimerTimer();
    bool WaitingForAdapter() const { return m_waitingForAdapter; }
    void PageControl1Changing();
    void Label54Click();
    void Label55Click();
    void InjectionShow();
    void DwellShow();
    void AdditionalShow();
    void Timer2Timer();
    void RefreshTimerTimer();
    void Timer1Timer();
    void LogButtonClick();
    void InjRefreshButtonClick();
    void IgnRefreshButtonClick();
    void InjGridSelectCell(int column, int row);
    void IgnGridSelectCell(int column, int row);
    bool InjGridKeyPress(QChar key);
    bool IgnGridKeyPress(QChar key);
    void InjGridKeyDown(int key);
    void IgnGridKeyDown(int key);
    void InjSaveButtonClick();
    void IgnSaveButtonClick();
    void InjTemplateButtonClick();
    void IgnAutoEditButtonClick();
    // Label10Click … Label30Click: band 1 to 21.
    void BandLabelClick(int band);
    void Calibration_read_buttonClick();
    // The 26 "Ниже"/"Выше" buttons, "По умолчанию" and "Сохранить" of the
    // calibration page: one sequence, each with its own frame.
    void CalibrationCommandClick(link::CommandId command);
    void InjTestButtonClick();
    void IgnTestButtonClick();
    void RelayTestButtonClick();
    void AirActuatorTestButtonClick();
    void CELampTestButtonClick();
    void EngineStopButtonClick();
    void ErrorReqButtonClick();
    void FW_ReadButtonClick();
    void StroboscopeButtonClick();
    void IdleDownButtonClick();
    void IdleUpButtonClick();
    void autotunebuttonClick();
    void DateReadButtonClick();
    void InjFileSaveButtonClick();
    void IgnFileSaveButtonClick();
    void InjFileReadButtonClick();
    void IgnFileReadButtonClick();
    void OpenFWButtonClick();
    void LoadFWButtonClick();
    void ComboBox1Change();

    // Range editing on the map pages (map 0 fuel, 1 ignition): the grid's
    // context menu and keys, only while the page's "Редактировать" is ticked
    // (copying always).
    using MapOperation = app::MapOperation;
    void MapOperationClick(int map, MapOperation operation);
    void MapCopyClick(int map);
    void MapPasteClick(int map);
    void PasteCells(int map, const QString &text);
    void MapUndoClick(int map);
    void MapRedoClick(int map);
    bool MapEditable(int map) const;
    // The grid's context menu as it would open now.
    std::unique_ptr<QMenu> MakeMapMenu(int map);

    // Seeing the maps: the surface window, and the comparison with a file
    // (from the grid's context menu).
    void MapSurfaceClick(int map);
    void MapCompareClick(int map);
    void EndComparison(int map);
    // Writes the file's values into these cells (0 to 255) of the map.
    void WriteFromFile(int map, const std::vector<int> &cells);
    // The kept copies of both maps, with how each differs from the ECU's map
    // now (from the grid's context menu); choosing one compares the map with
    // it, and its values restore cells.
    void MapHistoryClick();
    void CompareWithCopy(const maps::BackupEntry &copy);
    TMapEditor &MapEditor(int map) const { return *m_editors[size_t(map)]; }
    const maps::WorkingTrail &Trail() const { return m_trail; }

    // What the window knows of each map (0 fuel, 1 ignition).
    const maps::MapSession &MapState(int map) const { return Page(map).session; }
    // Sends a planned change cell by cell as Enter does, live data paused,
    // with a cancelable progress window and a read-back for more than one
    // cell; a refused plan is told and nothing is sent.
    using BatchResult = app::BatchResult;
    BatchResult SendPlan(int map, const maps::Plan &plan);

    // The live analysis from the wide-band sensor ("Анализ…" in the fuel
    // grid's menu): a window of its own that takes the ticks' replies and
    // asks the window to write its suggestion.
    void LiveAnalysisClick();
    QAction *InjAnalysisAction = nullptr;
    QPointer<TLiveAnalysisWindow> LiveAnalysisWindow;

    // The service report for the customer (Ctrl+P, and "Отчёт для
    // клиента…" in both grids' menus): the fitter's details, what the window
    // does not hold yet read from the ECU, then a print preview.
    void ReportClick();

    // Runs f as a handler: an exception ends it and shows the general
    // error report; nothing escapes into the event loop.
    template <typename F>
    void Guarded(F &&f)
    {
        try {
            f();
        } catch (const Exception &e) {
            HandlerFailed(e.message());
        } catch (const std::exception &e) {
            ShowException(QString::fromLocal8Bit(e.what()));
        } catch (...) {
            ShowException(QStringLiteral("Unknown error"));
        }
    }
    void ShowException(const QString &message);
    // The error box of a failed handler; a lost link is waited for before
    // the box is up, so the reconnect goes on behind it.
    void HandlerFailed(const QString &message);
    // Gauges and live labels show live data, or that there is none.
    void ShowLiveData(bool live);
    bool LiveDataShown() const { return m_liveShown; }

    // --- State shared between handlers ------------------------------------
    int LanguageIndex() const;
    bool Logging() const { return m_logging; }
    link::EcuExchange &Exchange() { return *m_exchange; }
    maps::BandColors BandColorsNow() const;
    // One column and row shared by both map grids, written by both.
    struct CellRecord {
        int column = 0;
        int row = 0;
    };
    CellRecord SelectedCell() const { return m_selectedCell; }
    int StoredFaultCode() const { return m_faultCode; }
    bool AutotuneState() const { return m_autotune; }
    bool PollPhase() const { return m_pollPhase; }

    // --- Controls ---------------------------------------------------------
    QTabWidget *PageControl1 = nullptr;
    QWidget *Settings = nullptr;
    QWidget *Injection = nullptr;
    QWidget *Dwell = nullptr;
    QWidget *Additional = nullptr;
    QComboBox *ComboBox1 = nullptr;

    widgets::TAnalogGauge *rpmgauge = nullptr;
    widgets::TAnalogGauge *VoltageGauge = nullptr;
    widgets::TAnalogGauge *TemperatureGauge = nullptr;
    widgets::TAnalogGauge *TPS1Gauge = nullptr;
    widgets::TAnalogGauge *LambdaGauge = nullptr;
    widgets::TAnalogGauge *EngineLoadGauge = nullptr;
    QLabel *rmptextlabel = nullptr;
    QLabel *RPMLabel = nullptr;
    QLabel *VoltageTextLabel = nullptr;
    QLabel *VoltageLabel = nullptr;
    QLabel *TemperatureTextLabel = nullptr;
    QLabel *TemperatureLabel = nullptr;
    QLabel *tps1textlabel = nullptr;
    QLabel *Label7 = nullptr;
    QLabel *EngineLoadTextLabel = nullptr;
    QCheckBox *wbo_check = nullptr;

    QGroupBox *GroupBox3 = nullptr;
    QLabel *CursorTextLabel = nullptr;
    QLabel *CursorLabel = nullptr;
    QLabel *Label6 = nullptr;
    QLabel *DwellLabel = nullptr;
    QLabel *ErrorTextLabel = nullptr;
    QLabel *ErrorCodeLabel = nullptr;
    QPushButton *autotunebutton = nullptr;
    QLabel *FuelTypeLabel = nullptr;
    QGroupBox *GroupBox4 = nullptr;
    QLabel *InjTextLabel = nullptr;
    QLabel *baseinjlabel = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *cltcorlabel = nullptr;
    QLabel *Label3 = nullptr;
    QLabel *VcorLabel = nullptr;
    QLabel *Label4 = nullptr;
    QLabel *LcorLabel = nullptr;
    QLabel *Label5 = nullptr;
    QLabel *injtimelabel = nullptr;
    QGroupBox *GroupBox6 = nullptr;
    QLabel *IdleSpeedLabel = nullptr;
    QLabel *isshowlabel = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *decellabel = nullptr;
    QLabel *AClabel = nullptr;
    QLabel *AcShowLabel = nullptr;
    QLabel *IATlabel2 = nullptr;
    QLabel *IATlabel = nullptr;

    // Page "Настройки".
    QComboBox *cbport = nullptr;
    QPushButton *ComSearchButton = nullptr;
    QPushButton *ComConnectButton = nullptr;
    QPushButton *ComDisconnectButton = nullptr;
    QLabel *testlabel = nullptr;
    QLabel *logwritelabel = nullptr;
    QLabel *Label54 = nullptr;
    QLabel *Label55 = nullptr;
    QFrame *SettingsPanel = nullptr;
    QGroupBox *GroupBox1 = nullptr;
    QPushButton *FW_ReadButton = nullptr;
    QLabel *FWVersionlabel = nullptr;
    QPlainTextEdit *FWmemo = nullptr;
    QGroupBox *GroupBox2 = nullptr;
    QPushButton *InjTestButton = nullptr;
    QPushButton *AirActuatorTestButton = nullptr;
    QPushButton *IgnTestButton = nullptr;
    QPushButton *RelayTestButton = nullptr;
    QPushButton *EngineStopButton = nullptr;
    QPushButton *ErrorReqButton = nullptr;
    QPushButton *StroboscopeButton = nullptr;
    QPushButton *LogButton = nullptr;
    QGroupBox *GroupBox5 = nullptr;
    QPushButton *IdleDownButton = nullptr;
    QPushButton *IdleUpButton = nullptr;
    QLabel *Label8 = nullptr;
    QLabel *BaseAirLabel = nullptr;
    QLabel *Label9 = nullptr;
    QLabel *CurrentAirLabel = nullptr;
    QGroupBox *GroupBox7 = nullptr;
    std::array<TColorLabel *, maps::kBandCount> BandLabels{}; // Label10 … Label30
    QGroupBox *GroupBox8 = nullptr;
    QPushButton *OpenFWButton = nullptr;
    QPushButton *LoadFWButton = nullptr;
    QLabel *Label32 = nullptr;
    QLabel *Label33 = nullptr;
    QProgressBar *ProgressBar3 = nullptr;
    QLabel *Label34 = nullptr;
    QGroupBox *GroupBox10 = nullptr;
    QLineEdit *DateEdit = nullptr;
    QPushButton *DateReadButton = nullptr;

    // Page "Впрыск".
    QFrame *InjPanel = nullptr;
    QCheckBox *InjEditCheck = nullptr;
    QPushButton *InjRefreshButton = nullptr;
    QPushButton *InjSaveButton = nullptr;
    QPushButton *InjTemplateButton = nullptr;
    QPushButton *InjFileReadButton = nullptr;
    QPushButton *InjFileSaveButton = nullptr;
    QLabel *InjWarningLabel = nullptr;
    QProgressBar *ProgressBar2 = nullptr;
    widgets::TMapGrid *InjGrid = nullptr;
    widgets::TSpeedScale *Image1 = nullptr;
    std::array<QLabel *, 6> RowLabels{}; // Label48 … Label53

    // Page "Зажигание".
    QFrame *IgnPanel = nullptr;
    QCheckBox *IgnEditCheck = nullptr;
    QPushButton *IgnRefreshButton = nullptr;
    QPushButton *IgnSaveButton = nullptr;
    QPushButton *IgnAutoEditButton = nullptr;
    QPushButton *IgnFileReadButton = nullptr;
    QPushButton *IgnFileSaveButton = nullptr;
    QLabel *IgnWarningLabel = nullptr;
    QProgressBar *ProgressBar1 = nullptr;
    widgets::TMapGrid *IgnGrid = nullptr;
    widgets::TSpeedScale *Image2 = nullptr;

    // "История копий…" in each map grid's context menu, and its window.
    std::array<QAction *, 2> HistoryActions{};
    QPointer<THistoryWindow> History;

    // Page "Дополнительно": thirteen rows of caption, lower, value, raise.
    QFrame *Panel1 = nullptr;
    struct CalibrationRow {
        QLabel *caption = nullptr;
        QPushButton *lower = nullptr;
        QLabel *value = nullptr;
        QPushButton *raise = nullptr;
    };
    std::array<CalibrationRow, 13> CalibrationRows{};
    QPushButton *Calibration_read_button = nullptr;
    QPushButton *cal_def_button = nullptr;
    QPushButton *Calibration_write_button = nullptr;

    // Components without a face.
    link::TBComPort *BComPort1 = nullptr;
    TTimer *RefreshTimer = nullptr;
    TTimer *Timer1 = nullptr;
    TTimer *Timer2 = nullptr;
    TTimer *ReconnectTimer = nullptr; // the safety net's look while waiting
    link::DeviceWatcher *AdapterWatcher = nullptr;

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void CreateControls();   // the layout, in MainFormLayout.cpp
    void ConnectHandlers();
    void SetDisconnectedLocks();
    // The connect sequence after the port is open: controls, "<E>", polling.
    void FinishConnecting();
    // A handler's exchange failed: when the device has gone, wait for it
    // (true then).
    bool AfterHandlerError();
    // Buttons and pages of a connected window.
    void ShowConnectedControls();
    // The firmware text shown and polling started.
    void StartPolling(const QByteArray &firmware);
    // The adapter is back and the same ECU answered: the window is connected
    // again as it was.
    void ResumeAfterReconnect(const QByteArray &firmware);
    // The port box names the device the port is open on.
    void ShowDeviceInUse();
    // Adds why the port could not be opened, as far as the system tells.
    QString OpenFailureText(const QString &message);
    void ApplyUserSettings();
    void CloseQuietly();
    void StartWaitingForAdapter();
    void StopWaitingForAdapter();
    void UpdateTitle();
    void EndLogging();
    void ApplySettingsFile();
    void ShowPage(int index);
    void ConnectMapHandlers();
    void ConnectMonitorHandlers();
    void ConnectServiceHandlers();
    void ConnectFileHandlers();
    void ConnectLanguageHandlers();
    void ConnectEditHandlers();
    // The live analysis: its menu entry, the ticks' replies, why it pauses,
    // and its suggestion written as one batch, with the cells written.
    void ConnectAnalysisHandlers();
    void ConnectReportHandlers();
    // The report's form or preview, a comparison of the maps held back
    // while it is up.
    void WithReportUp(const std::function<void()> &dialogs);
    // Reads what the report needs and the window does not hold; false when
    // the ECU gave no reply to a read.
    bool ReadForReport();
    void UpdateAnalysisCaptions();
    void FeedLiveAnalysis(bool sensor, const QByteArray &reply);
    QString LiveAnalysisPause(int language) const;
    void WriteSuggestion(const std::vector<std::pair<int, int>> &cells, std::vector<int> &written);
    void ShowMapMenu(int map, const QPoint &at);
    void UpdateViewCaptions();
    void ConnectHistoryHandlers();
    void RefreshHistory();
    void RefreshComparison(int map);
    void SaveMapFile(int map);
    void LoadMapFile(int map);
    void DecodeSensorReply(const QByteArray &reply);
    void DecodeStateReply(const QByteArray &reply);
    void ShowTrail(int cell);
    void FollowWorkingPoint(widgets::TMapGrid *grid, QCheckBox *editCheck, int column, int row);
    void LogItem(const QByteArray &keyword, const QByteArray &value, bool endLine = false);
    // The fuel map beside the log follows the fuel session at each record.
    void FollowLogMap();
    // A write or sync of the log failed: logging ends, told after the tick.
    void LogFailed(const QString &error);
    TMapPage &Page(int map) const { return *m_pages[size_t(map)]; }
    void ReadMap(int map);
    // The map's cells as the ECU sends them now; none for a reply too short.
    std::optional<QStringList> ReadMapCells(int map, bool resume = true);
    // What a read brought, compared with what the window knew; a map shown
    // from before that differs is reported and the fitter chooses.
    void MapRead(int map, const QStringList &cells);
    // The read is the ECU's map (a template's read: the fitter's own change).
    void TakeRead(int map, const QStringList &cells, bool ownChange);
    // One report of how each map read differs from the window, with the
    // fitter's choice for each; nothing reads or writes a map meanwhile.
    void ReportDifferences(const std::array<std::optional<QStringList>, 2> &read);
    // After a reconnect, or when live data came back after a silence (the
    // ECU may have restarted): both maps shown from before are read, then
    // compared in one report.
    void CompareMapsWithEcu();
    // `partOfLoad`: the end of a file load, which stores what it wrote.
    void StoreMap(int map, bool partOfLoad = false);
    // A copy of the map the ECU holds (or of `cells`) in the backup folder,
    // noting why it was kept; false when it could not be written and the
    // fitter chose not to go on.
    bool BackupMap(int map, bool askToGoOn, maps::BackupSource source,
                   const std::optional<QStringList> &cells = std::nullopt);
    bool BackupBeforeReplacing(int map, maps::BackupSource source);
    void EnterCell(int map);
    // Tells why a change was refused; the refused cell shows the ECU's value.
    void RefuseChange(int map, const maps::Plan &plan);
    // `send` puts one write on the line; `tellMissing` tells the cells the
    // read-back did not find.
    using CellSender = app::CellSender;
    BatchResult SendPlan(int map, const maps::Plan &plan, const CellSender &send, bool tellMissing);
    void ShowMap(int map);
    void AskToStoreUnstored();
    // At closing: each unstored map asked with Cancel; false when cancelled.
    bool AskToStoreBeforeClosing();
    void RefuseNonRegularImage(const QString &path);
    void LoadTemplate(int map);
    void MapCompareWindowShow(int map);
    // Connects a signal to a handler run under the guard.
    template <typename Sender, typename Signal>
    void On(Sender *sender, Signal signal, void (TTarvexMainForm::*handler)())
    {
        connect(sender, signal, this, [this, handler] { Guarded([&] { (this->*handler)(); }); });
    }

    FormServices m_services;
    std::unique_ptr<link::EcuExchange> m_exchange;
    bool m_logging = false;
    monitor::LogFile m_log;
    bool m_logLineOpen = false; // items of a line written, its end not yet
    // Beside the log, the fuel map it is taken with; each record start
    // follows what the fuel map's session knows the ECU holds.
    monitor::LogMapTrackWriter m_logMap;
    bool m_pollPhase = false;
    int m_faultCode = 0;
    bool m_autotune = false;
    // Each map page with its map's session, and its editing.
    std::array<std::unique_ptr<TMapPage>, 2> m_pages;
    std::array<std::unique_ptr<TMapEditor>, 2> m_editors;
    bool m_askedAtClose = false;
    bool m_backupFailureReported = false; // an automatic backup failed this connection
    QString m_firmwarePath;
    QString m_stableDevice;          // the connected adapter, by a name that survives a replug
    bool m_waitingForAdapter = false;
    // A log was being written when the adapter went: it goes on in a new
    // file once the window is connected again, however many pulls it takes.
    bool m_resumeLog = false;
    QByteArray m_ecuIdentity;        // the firmware text of the first connect
    link::AdapterSearch m_adapterSearch; // what to try while waiting, and what another ECU answered on
    QString m_deviceInUse;           // the device the port is open on (/dev/ttyUSB1 behind a by-id name)
    // Why a device that is back was not taken, in the language asked for.
    std::function<QString(int language)> m_waitingNote;
    bool m_liveShown = true;
    monitor::LiveSilence m_silence;  // ticks without live data
    bool m_reportOpen = false;       // the fitter decides about the maps' differences
    bool m_compareAgain = false;     // a second cause came while the report was up
    // A log write or sync failed during a tick: told once the tick is over.
    QString m_logFailure;
    QString m_logTrackPath;          // the log's fuel map file, made once the map is known
    bool m_linkBoxUp = false;        // the box of a lost link is open
    QString m_rememberedPort;
    int m_firmwareBlocks = 0;
    CellRecord m_selectedCell;
    QColor m_lastChosenColor = Qt::black;
    bool m_closed = false;
    maps::WorkingTrail m_trail;
    // The store waits under way (a store may start during another's wait);
    // Timer2's tick ends them all.
    std::vector<QEventLoop *> m_storeWaits;
    // A left button pressed on a web link: a release there opens it.
    QObject *m_linkPressed = nullptr;
    // What the report takes from this connection as the handlers read it,
    // and the car's details typed for the last report.
    struct ReportHeld {
        std::optional<QByteArray> version, date, calibration;
        std::optional<int> faultCode; // from the last state reply with data
        QStringList logs;             // the logs begun
        QString registration, mileage, note;
    };
    ReportHeld m_reportHeld;
    // The report's form or preview is up: a comparison of the maps waits
    // for it to close rather than open over its dialogs.
    bool m_serviceReportUp = false;
};

} // namespace tarvex::app
