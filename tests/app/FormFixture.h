// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/MainForm.h"
#include "widgets/MapGrid.h"
#include "link/PosixSerialSystem.h"
#include "widgets/AnalogGauge.h"
#include "sim/Options.h"
#include "tests/app/RecordingDialogs.h"
#include "tests/support/FakeSerialSystem.h"
#include "tests/support/QtPrinters.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QtWidgets>
#include <QTest>
#include <QTemporaryDir>
#include <memory>

namespace tarvex::test {

// A window on a fake serial line, a fake clock and recording dialogs, with
// its settings file in a fresh folder.
class FormFixture : public ::testing::Test {
protected:
    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
    std::shared_ptr<FakeSerialSystem> serial = std::make_shared<FakeSerialSystem>(clock);
    std::shared_ptr<RecordingDialogs> dialogs = std::make_shared<RecordingDialogs>();
    QTemporaryDir dir;
    QDateTime now{QDate(2026, 12, 8), QTime(9, 30, 0)};

    QString iniPath() const { return dir.filePath(QStringLiteral("tarvex.ini")); }

    app::FormServices services() const
    {
        app::FormServices s;
        s.serial = serial;
        s.clock = clock;
        s.dialogs = dialogs;
        s.settingsPath = iniPath();
        s.backupFolder = dir.filePath(QStringLiteral("backups"));
        s.now = [this] { return now; };
        return s;
    }

    std::unique_ptr<app::TTarvexMainForm> makeForm() { return std::make_unique<app::TTarvexMainForm>(services()); }

    // The services of a window on the simulator: only its port registry is
    // searched (no hardware ports in the way), and time is real.
    app::FormServices simulatorServices(const sim::Options &options) const
    {
        QDir(dir.path()).mkdir(QStringLiteral("sysfs"));
        app::FormServices s = services();
        s.serial = std::make_shared<link::PosixSerialSystem>(dir.filePath(QStringLiteral("sysfs")),
                                                             QString::fromStdString(options.registryDir));
        s.clock = systemClock();
        return s;
    }

    // A window on the simulator, connected, its fuel map read and editing
    // on, its logs written to the test's folder.
    std::unique_ptr<app::TTarvexMainForm> makeDrivingForm(const sim::Options &options)
    {
        app::FormServices s = simulatorServices(options);
        s.logFolder = dir.path();
        s.now = [] { return QDateTime::currentDateTime(); };
        auto form = std::make_unique<app::TTarvexMainForm>(s);
        for (auto handler : {&app::TTarvexMainForm::ComSearchButtonClick, &app::TTarvexMainForm::ComConnectButtonClick,
                             &app::TTarvexMainForm::InjRefreshButtonClick})
            press(*form, handler);
        form->InjEditCheck->setChecked(true);
        return form;
    }

    // A window connected to the fake line; the calls so far are forgotten.
    std::unique_ptr<app::TTarvexMainForm> makeConnectedForm()
    {
        auto form = makeForm();
        form->cbport->setEditText(QStringLiteral("ttyUSB0"));
        press(*form, &app::TTarvexMainForm::ComConnectButtonClick);
        EXPECT_TRUE(form->BComPort1->Connected());
        connectedAt = serial->calls().size();
        return form;
    }

    // Calls made since the window connected.
    std::vector<FakeSerialSystem::Call> callsSinceConnect() const
    {
        return std::vector<FakeSerialSystem::Call>(serial->calls().begin() + long(connectedAt), serial->calls().end());
    }
    QList<QByteArray> writesSinceConnect() const
    {
        QList<QByteArray> out;
        for (const auto &c : callsSinceConnect())
            if (c.name == QLatin1String("write"))
                out << c.bytes;
        return out;
    }

    size_t connectedAt = 0;

    // The cell writes since the window connected, without map reads.
    QList<QByteArray> cellWrites() const
    {
        QList<QByteArray> out;
        for (const QByteArray &w : writesSinceConnect())
            if (w.startsWith("<B[") || w.startsWith("<E["))
                out << w;
        return out;
    }

    // Text typed into a cell and sent with Enter.
    static void enterCell(app::TTarvexMainForm &form, int map, int column, int row, const QString &text)
    {
        widgets::TMapGrid *grid = map == 0 ? form.InjGrid : form.IgnGrid;
        grid->SetCell(column, row, text);
        grid->setCurrentCell(row, column);
        form.Guarded([&] { map == 0 ? form.InjGridKeyDown(13) : form.IgnGridKeyDown(13); });
    }

    // Runs the event loop until `done` or the time is up; whether done.
    static bool runUntil(const std::function<bool()> &done, int ms)
    {
        QElapsedTimer t;
        t.start();
        while (!done() && t.elapsed() < ms)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        return done();
    }

    // A press: the handler runs under the window's guard, as a click would.
    // What a control shows as its caption: tab text, label, button, box title,
    // edit or combo text, or gauge caption.
    static QString captionOf(app::TTarvexMainForm &form, QWidget *w)
    {
        if (const int tab = form.PageControl1->indexOf(w); tab >= 0)
            return form.PageControl1->tabText(tab);
        if (auto *l = qobject_cast<QLabel *>(w))
            return l->text();
        if (auto *b = qobject_cast<QAbstractButton *>(w))
            return b->text();
        if (auto *g = qobject_cast<QGroupBox *>(w))
            return g->title();
        if (auto *e = qobject_cast<QLineEdit *>(w))
            return e->text();
        if (auto *c = qobject_cast<QComboBox *>(w))
            return c->currentText();
        if (auto *g = dynamic_cast<widgets::TAnalogGauge *>(w))
            return g->Caption();
        return QStringLiteral("<no caption>");
    }

    static void press(app::TTarvexMainForm &form, void (app::TTarvexMainForm::*handler)())
    {
        form.Guarded([&] { (form.*handler)(); });
    }

    void writeIni(const QByteArray &content)
    {
        QFile f(iniPath());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
    }

    QList<QByteArray> iniLines()
    {
        QFile f(iniPath());
        if (!f.open(QIODevice::ReadOnly))
            return {};
        QByteArray all = f.readAll();
        EXPECT_TRUE(all.endsWith("\r\n"));
        QList<QByteArray> lines = all.split('\n');
        lines.removeLast();
        for (QByteArray &line : lines) {
            EXPECT_TRUE(line.endsWith('\r')) << "every line ends with CR LF";
            line.chop(1);
        }
        return lines;
    }
};

} // namespace tarvex::test
