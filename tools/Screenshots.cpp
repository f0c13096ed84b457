// SPDX-License-Identifier: GPL-3.0-or-later
// Renders each page of the window, the map windows, the history, the map
// editor and the log viewer to pictures for the README.
#include "app/CompareWindow.h"
#include "app/HistoryWindow.h"
#include "app/LiveAnalysisWindow.h"
#include "app/MainForm.h"
#include "app/MapEditWindow.h"
#include "app/UserSettings.h"
#include "link/PosixSerialSystem.h"
#include "logview/LogAnalysisView.h"
#include "logview/LogCompareView.h"
#include "logview/LogPlaybackView.h"
#include "logview/LogViewWindow.h"
#include "maps/ColorValue.h"
#include "maps/MapBackups.h"
#include "maps/MapFile.h"
#include "monitor/LogAnalysis.h"
#include "sim/Simulator.h"
#include "widgets/CompareCells.h"
#include "widgets/LogPlot.h"
#include "widgets/MapGrid.h"
#include "widgets/MapSurface.h"
#include "widgets/QtDialogs.h"
#include "widgets/QuietDialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QEventLoop>
#include <QFile>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

namespace {

bool save(const QImage &image, const QString &file)
{
    if (!image.save(file)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
        return false;
    }
    std::printf("%s\n", qPrintable(file));
    return true;
}

void waitMs(int ms)
{
    QEventLoop wait;
    QTimer::singleShot(ms, &wait, &QEventLoop::quit);
    wait.exec();
}

// The fuel map against the simulator: the working point's trail, a block
// selected with its context menu open; the surface window; a comparison
// with a kept copy.
bool mapPictures(const QString &outDir, const QTemporaryDir &scratch, const QString &settingsPath, int pollSeconds)
{
    using namespace tarvex;
    sim::Options options;
    options.registryDir = scratch.filePath(QStringLiteral("map-ports")).toStdString();
    options.stateFile = scratch.filePath(QStringLiteral("map-ecu.state")).toStdString();
    sim::Simulator simulator(options);
    simulator.start();
    QDir(scratch.path()).mkdir(QStringLiteral("map-sysfs"));
    app::FormServices live;
    live.serial = std::make_shared<link::PosixSerialSystem>(scratch.filePath(QStringLiteral("map-sysfs")),
                                                            QString::fromStdString(options.registryDir));
    live.settingsPath = settingsPath;
    live.backupFolder = scratch.filePath(QStringLiteral("map-backups"));
    auto dialogs = std::make_shared<tarvex::widgets::QuietDialogs>();
    live.dialogs = dialogs;
    app::TTarvexMainForm form(live);
    form.show();
    form.Guarded([&] { form.ComSearchButtonClick(); });
    form.Guarded([&] { form.ComConnectButtonClick(); });
    form.PageControl1->setCurrentIndex(1);
    waitMs(pollSeconds * 1000); // live data draws the trail
    form.InjEditCheck->setChecked(true);
    waitMs(200);
    form.InjGrid->setCurrentCell(2, 6);
    form.InjGrid->setRangeSelected(QTableWidgetSelectionRange(2, 6, 5, 10), true);
    std::unique_ptr<QMenu> menu = form.MakeMapMenu(0);
    const QPoint at = form.InjGrid->viewport()->mapTo(&form, form.InjGrid->CellRect(5 * 16 + 10).center());
    menu->popup(form.mapToGlobal(at));
    waitMs(300);
    // The window, and the menu where it opened, also where it reaches past it.
    const QRect menuRect(form.mapFromGlobal(menu->pos()), menu->size());
    QImage editing(QRect(QPoint(0, 0), form.size()).united(menuRect).size(), QImage::Format_RGB32);
    editing.fill(Qt::white);
    {
        QPainter painter(&editing);
        painter.drawImage(0, 0, form.grab().toImage());
        painter.drawImage(menuRect.topLeft(), menu->grab().toImage());
    }
    menu->hide();
    bool ok = save(editing, QDir(outDir).filePath(QStringLiteral("map-editing.png")));

    form.Guarded([&] { form.MapSurfaceClick(0); });
    waitMs(300);
    ok = ok && save(form.MapEditor(0).surface->grab().toImage(), QDir(outDir).filePath(QStringLiteral("map-surface.png")));
    form.MapEditor(0).surface->close();

    // A copy kept yesterday with a few cells tuned differently, compared.
    QStringList kept = form.InjGrid->Cells();
    for (int cell : {68, 69, 84, 85, 100})
        kept[cell] = QString::number(kept[cell].toInt() + 12);
    const QString copy = scratch.filePath(QStringLiteral("map-backups/07-12-26_18-42-10.inj"));
    maps::writeBackup(copy, kept, maps::BackupSource::BeforeStore);
    maps::setBackupNote(copy, QStringLiteral("до настройки ХХ"));
    dialogs->file = copy;
    form.Guarded([&] { form.MapCompareClick(0); });
    waitMs(300);
    QImage comparing = form.grab().toImage();
    QWidget *list = form.MapEditor(0).compareWindow;
    list->move(form.width() - list->width() - 20, 40);
    {
        QPainter painter(&comparing);
        painter.drawImage(list->pos(), list->grab().toImage());
    }
    ok = ok && save(comparing, QDir(outDir).filePath(QStringLiteral("map-compare.png")));
    form.Guarded([&] { form.EndComparison(0); });

    // The history: today's first reads, yesterday's copy and an older one;
    // yesterday's chosen, its differences listed and outlined.
    QStringList older = form.InjGrid->Cells();
    older[0] = QStringLiteral("30");
    maps::writeBackup(scratch.filePath(QStringLiteral("map-backups/05-12-26_11-05-40.inj")), older,
                      maps::BackupSource::BeforeFileLoad);
    form.Guarded([&] { form.IgnRefreshButtonClick(); });
    form.Guarded([&] { form.MapHistoryClick(); });
    app::THistoryWindow *history = form.History;
    history->resize(form.width(), 210);
    history->List->selectRow(2);
    history->CompareButton->click();
    waitMs(300);
    // The window with the list of differences over it, the history below.
    QImage listed(form.width(), form.height() + history->height(), QImage::Format_RGB32);
    {
        QPainter painter(&listed);
        painter.drawImage(0, 0, form.grab().toImage());
        QWidget *differences = form.MapEditor(0).compareWindow;
        differences->resize(440, 200);
        painter.drawImage(QPoint(form.width() - differences->width() - 10, 40), differences->grab().toImage());
        painter.drawImage(QPoint(0, form.height()), history->grab().toImage());
    }
    ok = ok && save(listed, QDir(outDir).filePath(QStringLiteral("history.png")));
    form.Guarded([&] { form.EndComparison(0); });
    history->close();

    // The map editor on a file of the same map, a block scaled by +5 %.
    const QString base = scratch.filePath(QStringLiteral("base.inj"));
    maps::writeMapFile(base, form.InjGrid->Cells());
    app::MapEditServices offline;
    offline.dialogs = dialogs;
    offline.settingsPath = settingsPath;
    offline.backupFolder = live.backupFolder;
    std::unique_ptr<app::TMapEditWindow> editor = app::TMapEditWindow::Open(base, offline);
    if (!editor)
        return false;
    editor->show();
    editor->Grid->setCurrentCell(7, 4);
    editor->Grid->setRangeSelected(QTableWidgetSelectionRange(7, 4, 10, 8), true);
    dialogs->number = 5;
    editor->Editor().Operation(app::MapOperation::Scale);
    editor->Grid->setRangeSelected(QTableWidgetSelectionRange(7, 4, 10, 8), true);
    std::unique_ptr<QMenu> editMenu = editor->Editor().MakeMenu();
    const QPoint editAt = editor->Grid->viewport()->mapTo(editor.get(), editor->Grid->CellRect(10 * 16 + 8).center());
    editMenu->popup(editor->mapToGlobal(editAt));
    waitMs(300);
    const QRect editMenuRect(editor->mapFromGlobal(editMenu->pos()), editMenu->size());
    QImage offlinePicture(QRect(QPoint(0, 0), editor->size()).united(editMenuRect).size(), QImage::Format_RGB32);
    offlinePicture.fill(Qt::white);
    {
        QPainter painter(&offlinePicture);
        painter.drawImage(0, 0, editor->grab().toImage());
        painter.drawImage(editMenuRect.topLeft(), editMenu->grab().toImage());
    }
    editMenu->hide();
    ok = ok && save(offlinePicture, QDir(outDir).filePath(QStringLiteral("mapedit.png")));
    form.Guarded([&] { form.ComDisconnectButtonClick(); });
    simulator.stop();
    return ok;
}

// Three fuel cells and an ignition cell written and not stored, one typed
// and not sent; then the simulator's ignition is cycled with the cable in,
// and the window reports what both maps lost. The boxes are Qt's own,
// answered by a timer.
bool reconnectPictures(const QString &outDir, const QTemporaryDir &scratch, const QString &settingsPath)
{
    using namespace tarvex;
    sim::Options options;
    options.registryDir = scratch.filePath(QStringLiteral("re-ports")).toStdString();
    options.stateFile = scratch.filePath(QStringLiteral("re-ecu.state")).toStdString();
    sim::Simulator simulator(options);
    simulator.start();
    QDir(scratch.path()).mkdir(QStringLiteral("re-sysfs"));
    app::FormServices live;
    live.serial = std::make_shared<link::PosixSerialSystem>(scratch.filePath(QStringLiteral("re-sysfs")),
                                                            QString::fromStdString(options.registryDir));
    live.settingsPath = settingsPath;
    live.backupFolder = scratch.filePath(QStringLiteral("re-backups"));
    live.dialogs = std::make_shared<widgets::QtDialogs>();
    app::TTarvexMainForm form(live);
    form.show();
    // Message boxes are closed; the difference report is pictured over the
    // window and answered "Оставить".
    bool ok = true;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        QWidget *modal = QApplication::activeModalWidget();
        if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            box->button(box->standardButtons() & QMessageBox::Ok ? QMessageBox::Ok : QMessageBox::No)->click();
        } else if (auto *report = qobject_cast<QDialog *>(modal)) {
            const QImage window = form.grab().toImage();
            const QImage box = report->grab().toImage();
            const QPoint at(200, 60);
            QImage image(std::max(window.width(), at.x() + box.width()), std::max(window.height(), at.y() + box.height()),
                         QImage::Format_RGB32);
            image.fill(Qt::white);
            {
                QPainter painter(&image);
                painter.drawImage(0, 0, window);
                painter.drawImage(at, box);
            }
            ok = save(image, QDir(outDir).filePath(QStringLiteral("map-reconnect.png"))) && ok;
            // "Оставить" for both maps: the last of its buttons.
            const QList<QPushButton *> buttons = report->findChildren<QPushButton *>();
            for (auto b = buttons.rbegin(); b != buttons.rend(); ++b)
                if ((*b)->text().startsWith(QStringLiteral("Оставить"))) {
                    (*b)->click();
                    break;
                }
        }
    });
    answer.start(100);
    form.Guarded([&] { form.ComSearchButtonClick(); });
    form.Guarded([&] { form.ComConnectButtonClick(); });
    form.PageControl1->setCurrentIndex(2);
    waitMs(1500);
    form.IgnGrid->SetCell(4, 3, QString::number(form.IgnGrid->Cell(4, 3).toInt() + 3));
    form.IgnGrid->setCurrentCell(3, 4);
    form.Guarded([&] { form.IgnGridKeyDown(13); });
    form.PageControl1->setCurrentIndex(1);
    waitMs(1500);
    for (int cell : {52, 53, 68}) {
        form.InjGrid->SetCell(cell % 16, cell / 16, QString::number(form.InjGrid->Cell(cell % 16, cell / 16).toInt() + 9));
        form.InjGrid->setCurrentCell(cell / 16, cell % 16);
        form.Guarded([&] { form.InjGridKeyDown(13); });
    }
    form.InjGrid->SetCell(5, 5, QStringLiteral("123")); // typed, not sent
    waitMs(300);
    ok = save(form.grab().toImage(), QDir(outDir).filePath(QStringLiteral("map-unstored.png"))) && ok;
    form.InjGrid->SetCell(5, 5, form.MapState(0).ecu()[85]);
    simulator.cycleIgnition(1000);
    for (int i = 0; i < 80 && !(form.MapState(0).comparison() && form.MapState(1).comparison()); ++i)
        waitMs(100);
    ok = ok && form.MapState(0).comparison().has_value() && form.MapState(1).comparison().has_value();
    form.Guarded([&] { form.EndComparison(0); });
    form.Guarded([&] { form.EndComparison(1); });
    form.close();
    answer.stop();
    simulator.stop();
    return ok;
}

// Before and after: two drives of the simulator with wrong cells, the first
// one's suggestion written between them and one right cell spoiled; the
// second drive followed by the live analysis with the first as before, then
// both logs compared in the viewer. `holdSeconds` a throttle level.
bool comparePictures(const QString &outDir, const QTemporaryDir &scratch, const QString &settingsPath, int holdSeconds)
{
    using namespace tarvex;
    const QString folder = scratch.filePath(QStringLiteral("compare"));
    // The lambda delay set here is kept in the scratch folder, not the user's.
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, folder + QStringLiteral("/config"));
    QDir().mkpath(folder + QStringLiteral("/sysfs"));
    sim::Options options;
    options.registryDir = scratch.filePath(QStringLiteral("compare-ports")).toStdString();
    options.stateFile = scratch.filePath(QStringLiteral("compare-ecu.state")).toStdString();
    options.wideBand = options.warm = true;
    options.fuelErrors = {{67, 0.85}, {83, 1.1}, {117, 0.92}, {151, 1.06}};
    options.driveHoldS = holdSeconds;
    options.lambdaDelayMs = 200;
    sim::Simulator simulator(options);
    simulator.start();
    app::FormServices live;
    live.serial = std::make_shared<link::PosixSerialSystem>(folder + QStringLiteral("/sysfs"),
                                                            QString::fromStdString(options.registryDir));
    live.settingsPath = settingsPath;
    live.logFolder = folder;
    live.backupFolder = folder + QStringLiteral("/backups");
    auto dialogs = std::make_shared<widgets::QuietDialogs>();
    live.dialogs = dialogs;
    app::TTarvexMainForm form(live);
    form.Guarded([&] { form.ComSearchButtonClick(); });
    form.Guarded([&] { form.ComConnectButtonClick(); });
    form.Guarded([&] { form.InjRefreshButtonClick(); });
    form.InjEditCheck->setChecked(true);
    auto drive = [&] {
        form.Guarded([&] { form.LogButtonClick(); });
        waitMs(holdSeconds * 1000 * int(options.driveLevels.size()));
        form.Guarded([&] { form.LogButtonClick(); });
        return QDir(folder).entryInfoList({QStringLiteral("*.log")}, QDir::Files, QDir::Time).value(0).filePath();
    };
    const QString before = drive();
    const monitor::LogMapTrackRead track = monitor::readLogMapTrackFile(monitor::logMapTrackPath(before));
    if (before.isEmpty() || !track.track)
        return false;
    const std::array<int, 256> suggested =
        monitor::suggestedMap(monitor::analyseLog(monitor::readLogFile(before), monitor::SensorKind::WideBand,
                                                  {.lambdaDelayMs = 200}, track.track, {}),
                              track.track->endMap());
    QStringList written;
    for (int value : suggested)
        written << QString::number(value);
    written[99] = QString::number(std::lround(suggested[99] * 1.15)); // a right cell spoiled
    dialogs->file = folder + QStringLiteral("/suggested.inj");
    maps::writeMapFile(dialogs->file, written);
    std::vector<int> all(256);
    for (int cell = 0; cell < 256; ++cell)
        all[size_t(cell)] = cell;
    form.Guarded([&] { form.MapCompareClick(0); form.WriteFromFile(0, all); form.EndComparison(0); });
    form.wbo_check->setChecked(true);
    form.LiveAnalysisClick();
    form.LiveAnalysisWindow->Controls.DelayBox->setValue(200);
    form.LiveAnalysisWindow->CompareWith(before);
    const QString after = drive();
    form.LiveAnalysisWindow->Refresh();
    waitMs(200);
    bool ok = save(form.LiveAnalysisWindow->CompareWindow->grab().toImage(),
                   QDir(outDir).filePath(QStringLiteral("live-compare.png")));
    form.Guarded([&] { form.ComDisconnectButtonClick(); });
    simulator.stop();

    logview::TLogViewWindow view(monitor::readLogFile(before), before, std::make_shared<widgets::QuietDialogs>());
    view.resize(1200, 800);
    view.SetLanguage(0);
    view.LanguageBox->setCurrentIndex(0);
    view.CompareWith(after);
    view.show();
    waitMs(200);
    ok = ok && save(view.grab().toImage(), QDir(outDir).filePath(QStringLiteral("logview-compare.png")));
    // The plots, each log's moment where its throttle first reaches the top
    // level.
    view.Views->setCurrentWidget(view.Compare);
    for (auto [which, path] : {std::pair{logview::TLogComparePlot::Before, before}, {logview::TLogComparePlot::After, after}}) {
        const monitor::LogData log = monitor::readLogFile(path);
        for (size_t i = 0; i < log.records.size(); ++i)
            if (log.records[i].number(monitor::LogField::Tps).value_or(0) >= 450) {
                view.Compare->SetMoment(which, int(i));
                break;
            }
    }
    view.Compare->Plot->ShowAll();
    view.Compare->Plot->SetCursorSeconds(-3);
    waitMs(200);
    return ok && save(view.grab().toImage(), QDir(outDir).filePath(QStringLiteral("logview-compare-plots.png")));
}

// The report for the customer after a drive logged from the simulator and a
// few cells changed, through Qt's own dialogs answered by a timer: the form
// filled in, the preview saved as a PDF, whose first page pdftoppm pictures.
// Prints how long the report took from the form's OK to the preview shown.
bool reportPictures(const QString &outDir, const QTemporaryDir &scratch, const QString &settingsPath)
{
    using namespace tarvex;
    sim::Options options;
    options.registryDir = scratch.filePath(QStringLiteral("rep-ports")).toStdString();
    options.stateFile = scratch.filePath(QStringLiteral("rep-ecu.state")).toStdString();
    options.wideBand = true;
    options.warm = true;
    options.fuelErrors = {{67, 0.85}, {83, 1.1}, {117, 0.95}};
    options.driveHoldS = 4;
    sim::Simulator simulator(options);
    simulator.start();
    QDir(scratch.path()).mkdir(QStringLiteral("rep-sysfs"));
    app::FormServices live;
    live.serial = std::make_shared<link::PosixSerialSystem>(scratch.filePath(QStringLiteral("rep-sysfs")),
                                                            QString::fromStdString(options.registryDir));
    live.settingsPath = settingsPath;
    live.backupFolder = scratch.filePath(QStringLiteral("rep-backups"));
    live.logFolder = scratch.path();
    live.userSettingsPath = scratch.filePath(QStringLiteral("rep-config/tarvex.conf"));
    app::writeWorkshop(live.userSettingsPath, {QStringLiteral("Автосервис «Северный»"),
                                               QStringLiteral("г. Вологда, ул. Заводская, 12"),
                                               QStringLiteral("+7 8172 55-01-20")});
    app::TTarvexMainForm form(live);
    form.show();
    form.Guarded([&] { form.ComSearchButtonClick(); });
    form.Guarded([&] { form.ComConnectButtonClick(); });
    form.Guarded([&] { form.InjRefreshButtonClick(); });
    form.Guarded([&] { form.IgnRefreshButtonClick(); });
    form.Guarded([&] { form.LogButtonClick(); });
    waitMs(26000); // the drive's six levels
    form.Guarded([&] { form.LogButtonClick(); });
    const QStringList fuel = form.MapState(0).ecu();
    for (int cell : {51, 52, 67, 68}) {
        form.InjGrid->SetCell(cell % 16, cell / 16, QString::number(fuel[cell].toInt() + 6));
        form.InjGrid->setCurrentCell(cell / 16, cell % 16);
        form.Guarded([&] { form.InjGridKeyDown(13); });
    }
    form.IgnGrid->SetCell(4, 3, QString::number(form.MapState(1).ecu()[52].toInt() + 2));
    form.IgnGrid->setCurrentCell(3, 4);
    form.Guarded([&] { form.IgnGridKeyDown(13); });
    form.Guarded([&] { form.InjSaveButtonClick(); });

    const QString pdf = scratch.filePath(QStringLiteral("report.pdf"));
    QElapsedTimer clock;
    qint64 shownMs = -1;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        QWidget *modal = QApplication::activeModalWidget();
        if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            box->done(QMessageBox::No); // the ignition map stays unstored
        } else if (auto *files = qobject_cast<QFileDialog *>(modal)) {
            files->selectFile(pdf);
            QMetaObject::invokeMethod(files, "accept");
        } else if (auto *preview = qobject_cast<QDialog *>(modal); preview && preview->inherits("QPrintPreviewDialog")) {
            if (shownMs >= 0) {
                preview->reject();
                return;
            }
            shownMs = clock.elapsed();
            for (QAction *action : preview->findChildren<QAction *>())
                if (!QFile::exists(pdf) && action->text() == QStringLiteral("Сохранить PDF…"))
                    QTimer::singleShot(0, action, &QAction::trigger); // its dialog outside this tick
        } else if (auto *details = qobject_cast<QDialog *>(modal)) {
            const QList<QLineEdit *> lines = details->findChildren<QLineEdit *>();
            if (lines.size() == 5) {
                lines[3]->setText(QStringLiteral("А 123 ВС 35"));
                lines[4]->setText(QStringLiteral("84 512"));
            }
            if (auto *note = details->findChild<QPlainTextEdit *>())
                note->setPlainText(QStringLiteral("Замена форсунок, настройка холостого хода и топливной карты"));
            clock.start();
            details->accept();
        }
    });
    answer.start(10);
    form.Guarded([&] { form.ReportClick(); });
    const qint64 firstMs = shownMs;
    QList<qint64> heldMs; // all it needs is held now
    for (int i = 0; i < 5 && shownMs >= 0; ++i) {
        shownMs = -1;
        form.Guarded([&] { form.ReportClick(); });
        heldMs << shownMs;
    }
    std::sort(heldMs.begin(), heldMs.end());
    std::printf("report: %lld ms from the form's OK to the preview shown, the date and calibration read; "
                "with nothing to read, 5 times: %lld to %lld ms, median %lld ms\n",
                firstMs, heldMs.first(), heldMs.last(), heldMs[2]);
    form.Guarded([&] { form.ComDisconnectButtonClick(); });
    answer.stop();
    simulator.stop();
    const QString page = QDir(outDir).filePath(QStringLiteral("report-page1"));
    if (QProcess::execute(QStringLiteral("pdftoppm"), {QStringLiteral("-png"), QStringLiteral("-r"), QStringLiteral("80"),
                                                       QStringLiteral("-f"), QStringLiteral("1"), QStringLiteral("-l"),
                                                       QStringLiteral("1"), QStringLiteral("-singlefile"), pdf, page})
        != 0) {
        std::fprintf(stderr, "pdftoppm could not picture %s\n", qPrintable(pdf));
        return false;
    }
    std::printf("%s.png\n", qPrintable(page));
    return firstMs >= 0 && heldMs.first() >= 0;
}

} // namespace

int main(int argc, char *argv[])
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const QString outDir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs");
    QDir().mkpath(outDir);

    QTemporaryDir scratch;
    tarvex::app::FormServices services;
    services.settingsPath = scratch.filePath(QStringLiteral("tarvex.ini"));
    tarvex::app::TTarvexMainForm form(services);
    form.show();
    const char *const names[] = {"settings", "injection", "ignition", "additional"};
    for (int page = 0; page < 4; ++page) {
        form.PageControl1->setCurrentIndex(page);
        QApplication::processEvents();
        const QString file = QDir(outDir).filePath(QStringLiteral("page-%1.png").arg(QLatin1String(names[page])));
        if (!form.grab().save(file)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
            return 1;
        }
        std::printf("%s\n", qPrintable(file));
    }
    // With "--maps SECONDS": the map pictures, after so many seconds of
    // live data.
    for (int i = 2; i + 1 < argc; ++i)
        if (QLatin1String(argv[i]) == QLatin1String("--maps")
            && !mapPictures(outDir, scratch, services.settingsPath, atoi(argv[i + 1])))
            return 1;
    // With "--reconnect": the stored line and the report after a reconnect.
    for (int i = 2; i < argc; ++i)
        if (QLatin1String(argv[i]) == QLatin1String("--reconnect")
            && !reconnectPictures(outDir, scratch, services.settingsPath))
            return 1;
    // With "--compare SECONDS": two drives compared, each level held so long.
    for (int i = 2; i + 1 < argc; ++i)
        if (QLatin1String(argv[i]) == QLatin1String("--compare")
            && !comparePictures(outDir, scratch, services.settingsPath, atoi(argv[i + 1])))
            return 1;
    // With "--report": the report for the customer, its first page.
    for (int i = 2; i < argc; ++i)
        if (QLatin1String(argv[i]) == QLatin1String("--report")
            && !reportPictures(outDir, scratch, services.settingsPath))
            return 1;
    // With "--drive SECONDS": a log recorded from the simulator, plotted.
    int driveSeconds = 0;
    for (int i = 2; i + 1 < argc; ++i)
        if (QLatin1String(argv[i]) == QLatin1String("--drive"))
            driveSeconds = atoi(argv[i + 1]);
    if (driveSeconds > 0) {
        tarvex::sim::Options options;
        options.registryDir = scratch.filePath(QStringLiteral("ports")).toStdString();
        options.stateFile = scratch.filePath(QStringLiteral("ecu.state")).toStdString();
        // A wide-band sensor, a drive cycle and a few cells tuned wrong, for
        // the cell view.
        options.wideBand = true;
        options.warm = true;
        options.fuelErrors = {{67, 0.85}, {83, 1.1}, {117, 0.95}, {151, 1.04}};
        options.driveHoldS = std::max(2, driveSeconds / 7);
        tarvex::sim::Simulator simulator(options);
        simulator.start();
        QDir(scratch.path()).mkdir(QStringLiteral("sysfs"));
        tarvex::app::FormServices live;
        live.serial = std::make_shared<tarvex::link::PosixSerialSystem>(scratch.filePath(QStringLiteral("sysfs")),
                                                                       QString::fromStdString(options.registryDir));
        live.settingsPath = services.settingsPath;
        live.logFolder = scratch.path();
        live.backupFolder = scratch.filePath(QStringLiteral("backups"));
        tarvex::app::TTarvexMainForm drive(live);
        drive.Guarded([&] { drive.ComSearchButtonClick(); });
        drive.Guarded([&] { drive.ComConnectButtonClick(); });
        drive.Guarded([&] { drive.InjRefreshButtonClick(); }); // kept beside the log
        drive.Guarded([&] { drive.LogButtonClick(); });
        // The same drive in the window's live analysis.
        drive.wbo_check->setChecked(true);
        drive.InjEditCheck->setChecked(true);
        drive.LiveAnalysisClick();
        drive.LiveAnalysisWindow->Controls.DelayBox->setValue(200);
        QEventLoop wait;
        QTimer::singleShot(driveSeconds * 1000, &wait, &QEventLoop::quit);
        wait.exec();
        drive.LiveAnalysisWindow->resize(1000, 760);
        drive.LiveAnalysisWindow->Cells->setRangeSelected(QTableWidgetSelectionRange(4, 2, 5, 2), true);
        drive.LiveAnalysisWindow->Refresh();
        waitMs(200);
        if (!save(drive.LiveAnalysisWindow->grab().toImage(), QDir(outDir).filePath(QStringLiteral("live-analysis.png"))))
            return 1;
        drive.Guarded([&] { drive.LogButtonClick(); });
        drive.Guarded([&] { drive.ComDisconnectButtonClick(); });
        simulator.stop();
        const QStringList logs = QDir(scratch.path()).entryList({QStringLiteral("*.log")}, QDir::Files);
        if (logs.isEmpty())
            return 1;
        tarvex::widgets::TLogPlot plot(tarvex::monitor::readLogFile(scratch.filePath(logs.first())));
        plot.SetTexts(tarvex::logview::TLogViewWindow::PlotTextsFor(0));
        plot.resize(1200, 800);
        plot.SetCursorRecord(int(plot.ViewEnd() / 2));
        QImage image(plot.size(), QImage::Format_RGB32);
        plot.render(&image);
        const QString file = QDir(outDir).filePath(QStringLiteral("logview.png"));
        if (!image.save(file))
            return 1;
        std::printf("%s\n", qPrintable(file));
        // The same drive's cells, with the suggestion from the map beside
        // the log; the viewer's settings (a locked cell) in the scratch folder.
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, scratch.filePath(QStringLiteral("config")));
        const QString logPath = scratch.filePath(logs.first());
        tarvex::logview::TLogViewWindow cells(tarvex::monitor::readLogFile(logPath), logPath,
                                              std::make_shared<tarvex::widgets::QuietDialogs>());
        cells.resize(1000, 720);
        cells.SetLanguage(0);
        cells.LanguageBox->setCurrentIndex(0);
        cells.Views->setCurrentIndex(1);
        cells.CellView->ToggleLock(99);
        cells.show();
        waitMs(200);
        if (!save(cells.grab().toImage(), QDir(outDir).filePath(QStringLiteral("logview-cells.png"))))
            return 1;
        // The same drive played back at 4×, halfway through, the plots
        // zoomed to a minute around it.
        cells.close();
        tarvex::logview::TLogViewWindow playback(tarvex::monitor::readLogFile(logPath), logPath,
                                                 std::make_shared<tarvex::widgets::QuietDialogs>());
        const tarvex::maps::BandColors bands = tarvex::maps::readBandColors(services.settingsPath);
        tarvex::widgets::paintMapGrid(playback.Playback->Grid, tarvex::maps::MapPage::Fuel, [bands] { return bands; });
        playback.resize(1400, 860);
        playback.SetLanguage(0);
        playback.LanguageBox->setCurrentIndex(0);
        const int middle = int(playback.Plot->ViewEnd() / 2);
        playback.Plot->SetView(middle - 150, middle + 150);
        playback.Playback->SetSpeed(3);
        playback.Playback->SpeedBox->setCurrentIndex(3);
        playback.Playback->Seek(middle);
        playback.show();
        playback.Playback->PlayPause();
        waitMs(1200);
        if (!save(playback.grab().toImage(), QDir(outDir).filePath(QStringLiteral("logview-playback.png"))))
            return 1;
    }
    return 0;
}
