// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "widgets/QtDialogs.h"
#include "app/MapEditor.h"
#include "app/MapPage.h"
#include "service/ServiceReport.h"
#include "maps/SettingsFile.h"

#include <QDateTime>
#include <QWidget>
#include <functional>
#include <memory>

class QComboBox;
class QLabel;
class QPushButton;

namespace tarvex::widgets {
class TMapGrid;
class TSpeedScale;
}

namespace tarvex::app {

// What the map editor needs from outside; tests put fakes here.
struct MapEditServices {
    std::shared_ptr<widgets::Dialogs> dialogs = std::make_shared<widgets::QtDialogs>();
    QString settingsPath = QStringLiteral("tarvex.ini"); // the fuel map's colour bands
    QString backupFolder = QStringLiteral("backups");    // where the file as it was is kept
    std::function<QDateTime()> now = [] { return QDateTime::currentDateTime(); };
    int language = 0;
    // Where the workshop named on reports is kept (empty: nowhere).
    QString userSettingsPath;
};

// tarvex-mapedit's window: one map file (".inj" fuel, ".ign" ignition)
// edited without an ECU. The file's map stands in for the ECU's: the page's
// session plans every change as in the connected window, and each write goes
// into the map in memory; "Сохранить в файл" writes it through the checked
// writer, the file as it was kept first among the copies.
class TMapEditWindow : public QWidget {
public:
    // The window on a file that passes the load check; none, with the
    // reason shown (and put in `refusal`), for one that does not.
    static std::unique_ptr<TMapEditWindow> Open(const QString &path, MapEditServices services,
                                                QString *refusal = nullptr);

    QComboBox *LanguageBox = nullptr;
    QPushButton *SaveButton = nullptr;
    QLabel *Hint = nullptr;
    QLabel *Status = nullptr;
    widgets::TMapGrid *Grid = nullptr;
    widgets::TSpeedScale *Scale = nullptr;

    TMapPage &Page() { return *m_page; }
    TMapEditor &Editor() { return *m_editor; }
    // The map as it will be saved.
    const QStringList &Map() const { return m_map; }
    BatchResult SendPlan(const maps::Plan &plan);
    void EnterCell();
    // Saves the map; false when it could not be written (the error told).
    bool SaveClick();
    void SetLanguage(int language);
    // The report of the file's map (Ctrl+P, and in the grid's menu).
    void ReportClick();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    TMapEditWindow(const QString &path, int map, const QStringList &cells, MapEditServices services);
    void ShowMap();
    void Guarded(const std::function<void()> &handler);
    int Language() const;

    QString m_path;
    MapEditServices m_services;
    maps::BandColors m_bands{};
    std::unique_ptr<TMapPage> m_page;
    std::unique_ptr<TMapEditor> m_editor;
    QStringList m_map;
    QStringList m_original;
    QString m_originalKept; // the copy of the file as it was, once kept
    service::CarDetails m_car; // as typed for the last report
};

} // namespace tarvex::app
