// SPDX-License-Identifier: GPL-3.0-or-later
// The window with USB-serial adapters as a fitter's laptop has them: refused
// ports explained, no stale values shown as live, the port and language
// remembered; the programs on a system without a display.
#include "lang/RememberedLanguage.h"
#include "widgets/ProgramStart.h"
#include "link/DeviceWatcher.h"
#include "tests/app/FormFixture.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTranslator>
#include <cerrno>

using namespace tarvex;
using namespace tarvex::test;
using app::TTarvexMainForm;

namespace {

class SerialAdapters : public FormFixture {};

TEST_F(SerialAdapters, ARefusedPortSaysWhyAndWhatToDo)
{
    const QString device = QStringLiteral("/dev/ttyUSB0");
    serial->access[device] = link::DeviceAccess{QStringLiteral("dialout"), QStringLiteral("fitter"), false, false};
    serial->holders[device] = {{4242, QStringLiteral("minicom")}};
    const struct {
        int error;
        const char *text;
    } cases[] = {{EACCES, "Порт занят другой программой.\n\nНет прав на /dev/ttyUSB0: устройство принадлежит группе "
                          "dialout. Добавьте себя в неё командой\nsudo usermod -aG dialout fitter\nи войдите в систему "
                          "заново (выйдите из сеанса и войдите снова)."},
                 {EBUSY, "Порт занят другой программой.\n\n/dev/ttyUSB0 занят программой minicom (PID 4242). "
                         "Закройте её и соедините снова."}};
    auto form = makeForm();
    form->cbport->setEditText(QStringLiteral("ttyUSB0"));
    for (const auto &c : cases) {
        serial->openErrors[device] = c.error;
        dialogs->messages.clear();
        press(*form, &TTarvexMainForm::ComConnectButtonClick);
        EXPECT_EQ(dialogs->texts(), QStringList{QString::fromUtf8(c.text)}) << c.error;
    }
}

// Gauges and live labels say when there is no live data: at start,
// disconnected, after a firmware update, and when the ECU falls silent.
TEST_F(SerialAdapters, NoLiveDataIsShownAsSuch)
{
    QByteArray reply = "[A850aD12dK15k]";
    serial->answer = [&reply](const QByteArray &frame) { return frame.startsWith("<E") ? QByteArray() : reply; };
    auto form = makeForm();
    const QRgb face = form->rpmgauge->ViewImage().pixel(56, 16);
    EXPECT_TRUE(form->rpmgauge->NoData() && qRed(face) == qGreen(face) && qGreen(face) == qBlue(face)) << "grey";
    form->cbport->setEditText(QStringLiteral("ttyUSB0"));
    press(*form, &TTarvexMainForm::ComConnectButtonClick);
    press(*form, &TTarvexMainForm::RefreshTimerTimer);
    EXPECT_FALSE(form->TPS1Gauge->NoData());
    press(*form, &TTarvexMainForm::ComDisconnectButtonClick);
    EXPECT_TRUE(form->TPS1Gauge->NoData());
    for (const QString &shown : {form->RPMLabel->text(), form->DwellLabel->text(), form->BaseAirLabel->text(),
                                 form->TPS1Gauge->Caption()})
        EXPECT_EQ(shown, QStringLiteral("—"));

    press(*form, &TTarvexMainForm::ComConnectButtonClick);
    press(*form, &TTarvexMainForm::RefreshTimerTimer);
    dialogs->nextFile = QCoreApplication::applicationFilePath(); // any file: the loader never answers
    press(*form, &TTarvexMainForm::OpenFWButtonClick);
    press(*form, &TTarvexMainForm::LoadFWButtonClick);
    EXPECT_FALSE(form->LiveDataShown()) << "none during and right after a firmware update";
    for (int tick = 1; tick <= 40; ++tick) {
        reply = tick == 1 ? QByteArray("[A900a]") : QByteArray();
        press(*form, &TTarvexMainForm::RefreshTimerTimer);
        EXPECT_EQ(form->LiveDataShown(), tick <= 20) << "a second or two of lost replies is no silence: " << tick;
    }
}

TEST_F(SerialAdapters, ThePortAndTheLanguageAreRememberedBesideTheColours)
{
    app::FormServices s = services();
    s.userSettingsPath = dir.filePath(QStringLiteral("config/tarvex/tarvex.conf"));
    {
        TTarvexMainForm form(s);
        form.cbport->setEditText(QStringLiteral("ttyUSB0"));
        press(form, &TTarvexMainForm::ComConnectButtonClick);
        form.ComboBox1->setCurrentIndex(1);
        form.close();
    }
    EXPECT_EQ(iniLines().size(), 21) << "tarvex.ini keeps its colours and nothing else";
    EXPECT_EQ(lang::rememberedLanguage(s.userSettingsPath), 1) << "the other programs start in it";
    EXPECT_EQ(lang::rememberedLanguage(dir.filePath(QStringLiteral("none.conf"))), 0) << "Russian when none";
    TTarvexMainForm again(s);
    EXPECT_EQ(again.ComSearchButton->text(), QStringLiteral("Refresh"));
    EXPECT_EQ(again.cbport->currentText(), QStringLiteral("ttyUSB0"));
    EXPECT_TRUE(again.ComConnectButton->isEnabled()) << "the adapter is there: one press connects";
    serial->vanish();
    EXPECT_FALSE(TTarvexMainForm(s).ComConnectButton->isEnabled());
}

// The link of a replugged adapter, made in a folder that was not there when
// the watching began (udev makes /dev/serial/by-id with the first adapter).
TEST(DeviceWatcher, SeesALinkInAFolderMadeMeanwhile)
{
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("serial/by-id/usb-FTDI-if00"));
    link::DeviceWatcher watcher;
    QElapsedTimer linked;
    qint64 seenAfter = -1;
    watcher.OnChange = [&] { seenAfter = QFile::exists(name) ? linked.elapsed() : seenAfter; };
    watcher.watch({name});
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("serial/by-id")));
    QElapsedTimer t;
    t.start();
    while (watcher.folders() != QStringList{QFileInfo(name).path()} && t.elapsed() < 2000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    linked.start();
    ASSERT_TRUE(QFile::link(dir.path(), name));
    while (seenAfter < 0 && t.elapsed() < 4000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_GE(seenAfter, 0);
    EXPECT_LT(seenAfter, 50);
}

// The programs on a system without a display; Qt's own texts in Russian.
TEST(Programs, AnswerHelpAndVersionAndSayTheyNeedADisplay)
{
    QProcessEnvironment bare = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        bare.remove(QLatin1String(name));
    const char *cases[][3] = {{TARVEX_APP, "--version", "tarvex 28.07.23"},
                              {TARVEX_APP, "--help", "Usage: tarvex [--help] [--version]"},
                              {TARVEX_APP, "", "tarvex: needs a graphical display (neither DISPLAY nor "
                                               "WAYLAND_DISPLAY is set); start it from the desktop"},
                              {TARVEX_LOGVIEW, "--version", "tarvex-logview 28.07.23"},
                              {TARVEX_MAPEDIT, "--version", "tarvex-mapedit 28.07.23"},
                              {TARVEX_ECU_SIM, "--version", "tarvex-ecu-sim 28.07.23"}};
    for (const auto &c : cases) {
        QProcess process;
        process.setProcessEnvironment(bare);
        process.start(QLatin1String(c[0]), *c[1] ? QStringList{QLatin1String(c[1])} : QStringList());
        ASSERT_TRUE(process.waitForFinished(10000)) << c[0];
        EXPECT_EQ(process.exitCode(), *c[1] ? 0 : 1) << c[0];
        const QByteArray out = process.readAllStandardOutput() + process.readAllStandardError();
        EXPECT_EQ(out.split('\n')[0], c[2]);
        // The licence, as GNU programs state it.
        EXPECT_EQ(out.contains("\nLicense GPLv3+: GNU GPL version 3 or later"), QLatin1String(c[1]) == "--version") << c[0];
    }
    QTranslator *russian = widgets::installQtTranslations(*QCoreApplication::instance(), QLocale(QLocale::Russian));
    ASSERT_NE(russian, nullptr) << "qt6-translations-l10n";
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "&Yes"), QStringLiteral("&Да"));
    QCoreApplication::removeTranslator(russian);
    delete russian;
}

} // namespace
