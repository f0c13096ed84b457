#pragma once

#include "app/MainForm.h"
#include "tests/app/RecordingDialogs.h"
#include "tests/support/FakeSerialSystem.h"
#include "tests/support/QtPrinters.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QtWidgets>
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

    QString iniPath() const { return dir.filePath(QStringLiteral("tarvex.ini")); }

    app::FormServices services() const
    {
        app::FormServices s;
        s.serial = serial;
        s.clock = clock;
        s.dialogs = dialogs;
        s.settingsPath = iniPath();
        return s;
    }

    std::unique_ptr<app::TTarvexMainForm> makeForm() { return std::make_unique<app::TTarvexMainForm>(services()); }

    // A press: the handler runs under the window's guard, as a click would.
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
