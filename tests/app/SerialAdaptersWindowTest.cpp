// The window with USB-serial adapters as a fitter's laptop has them: refused
// ports explained, no stale values shown as live, the port and language
// remembered; the programs on a system without a display.
#include "app/ProgramStart.h"
#include "link/DeviceWatcher.h"
#include "monitor/AnalogGauge.h"
#include "tests/app/FormFixture.h"

#include <QElapsedTimer>
#include <QLibraryInfo>
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
    } cases[] = {
        {EACCES, "Порт занят другой программой.\n\nНет прав на /dev/ttyUSB0: устройство принадлежит группе dialout. "
                 "Добавьте себя в неё командой\nsudo usermod -aG dialout fitter\nи войдите в систему заново "
                 "(выйдите из сеанса и войдите снова)."},
        {EBUSY, "Порт занят другой программой.\n\n/dev/ttyUSB0 занят программой minicom (PID 4242). Закройте её и "
                "соедините снова."},
        {ENOENT, "Попытка открыть несуществующий COM-порт."},
    };
    auto form = makeForm();
    form->cbport->setEditText(QStringLiteral("ttyUSB0"));
    for (const auto &c : cases) {
        serial->openErrors[device] = c.error;
        dialogs->messages.clear();
        press(*form, &TTarvexMainForm::ComConnectButtonClick);
        EXPECT_FALSE(form->BComPort1->Connected());
        EXPECT_EQ(dialogs->texts(), QStringList{QString::fromUtf8(c.text)}) << c.error;
    }
}

// Gauges and live labels say when there is no live data: at start,
// disconnected, during a firmware update, and when the ECU falls silent.
TEST_F(SerialAdapters, NoLiveDataIsShownAsSuch)
{
    serial->answer = [](const QByteArray &frame) {
        return frame == "<G>\r" ? QByteArray("[A850aD12d]") : frame == "<H>\r" ? QByteArray("[K15kR0r]") : QByteArray();
    };
    auto form = makeForm();
    EXPECT_TRUE(form->rpmgauge->NoData()) << "nothing read yet";
    const QImage view = form->rpmgauge->ViewImage();
    const QRgb pixel = view.pixel(view.width() / 2, view.height() / 4);
    EXPECT_TRUE(qRed(pixel) == qGreen(pixel) && qGreen(pixel) == qBlue(pixel)) << "a grey face";
    form->cbport->setEditText(QStringLiteral("ttyUSB0"));
    press(*form, &TTarvexMainForm::ComConnectButtonClick);
    press(*form, &TTarvexMainForm::RefreshTimerTimer);
    EXPECT_FALSE(form->TPS1Gauge->NoData());
    EXPECT_EQ(form->TPS1Gauge->Caption(), QStringLiteral("12"));

    press(*form, &TTarvexMainForm::ComDisconnectButtonClick);
    EXPECT_TRUE(form->TPS1Gauge->NoData());
    for (QLabel *label : {form->RPMLabel, form->DwellLabel, form->ErrorCodeLabel, form->BaseAirLabel})
        EXPECT_EQ(label->text(), QStringLiteral("—")) << qPrintable(label->objectName());
    EXPECT_EQ(form->TPS1Gauge->Caption(), QStringLiteral("—"));
    EXPECT_DOUBLE_EQ(form->TPS1Gauge->Position(), 12) << "kept, only not shown";

    press(*form, &TTarvexMainForm::ComConnectButtonClick);
    press(*form, &TTarvexMainForm::RefreshTimerTimer);
    ASSERT_TRUE(form->LiveDataShown());
    QFile image(dir.filePath(QStringLiteral("fw.bin")));
    ASSERT_TRUE(image.open(QIODevice::WriteOnly));
    image.write(QByteArray(200, 'x'));
    image.close();
    dialogs->nextFile = image.fileName();
    press(*form, &TTarvexMainForm::OpenFWButtonClick);
    press(*form, &TTarvexMainForm::LoadFWButtonClick); // the loader never answers
    EXPECT_FALSE(form->LiveDataShown()) << "no live data during and right after a firmware update";

    serial->answer = [](const QByteArray &) { return QByteArray(); };
    press(*form, &TTarvexMainForm::RefreshTimerTimer);
    for (int tick = 0; tick < 19; ++tick)
        press(*form, &TTarvexMainForm::RefreshTimerTimer);
    EXPECT_FALSE(form->LiveDataShown());
    serial->answer = [](const QByteArray &) { return QByteArray("[A900a]"); };
    press(*form, &TTarvexMainForm::RefreshTimerTimer);
    EXPECT_TRUE(form->LiveDataShown());
    serial->answer = [](const QByteArray &) { return QByteArray(); };
    for (int tick = 0; tick < 19; ++tick)
        press(*form, &TTarvexMainForm::RefreshTimerTimer);
    EXPECT_TRUE(form->LiveDataShown()) << "a few lost replies are no silence";
    press(*form, &TTarvexMainForm::RefreshTimerTimer);
    EXPECT_FALSE(form->LiveDataShown()) << "twenty ticks without data are";
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
    TTarvexMainForm again(s);
    EXPECT_EQ(again.ComboBox1->currentText(), QStringLiteral("ENG"));
    EXPECT_EQ(again.ComSearchButton->text(), QStringLiteral("Refresh"));
    EXPECT_EQ(again.cbport->currentText(), QStringLiteral("ttyUSB0"));
    EXPECT_TRUE(again.ComConnectButton->isEnabled()) << "the port is there: one press connects";
    serial->vanish();
    TTarvexMainForm unplugged(s);
    EXPECT_FALSE(unplugged.ComConnectButton->isEnabled());
    EXPECT_FALSE(TTarvexMainForm(services()).ComConnectButton->isEnabled()) << "without the path nothing is read";
}

// A replugged adapter's link made in a folder that was not there when the
// watching began (udev makes /dev/serial/by-id with the first adapter).
TEST(DeviceWatcher, SeesALinkInAFolderMadeMeanwhile)
{
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("serial/by-id/usb-FTDI-if00"));
    link::DeviceWatcher watcher;
    int looks = 0;
    watcher.OnChange = [&] { looks += QFile::exists(name) ? 1 : 0; };
    watcher.watch({name});
    EXPECT_EQ(watcher.folders(), QStringList{dir.path()});
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("serial/by-id")));
    auto runUntil = [](const std::function<bool()> &done) {
        QElapsedTimer t;
        t.start();
        while (!done() && t.elapsed() < 2000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        return done();
    };
    ASSERT_TRUE(runUntil([&] { return watcher.folders() == QStringList{dir.filePath(QStringLiteral("serial/by-id"))}; }));
    QFile device(dir.filePath(QStringLiteral("ttyUSB0")));
    ASSERT_TRUE(device.open(QIODevice::WriteOnly));
    ASSERT_TRUE(QFile::link(device.fileName(), name));
    QElapsedTimer seen;
    seen.start();
    EXPECT_TRUE(runUntil([&] { return looks > 0; }));
    EXPECT_LT(seen.elapsed(), 50);
    watcher.stop();
    EXPECT_TRUE(watcher.folders().isEmpty());
}

// The three programs on a system without a display.
TEST(Programs, AnswerHelpAndVersionAndSayTheyNeedADisplay)
{
    QProcessEnvironment bare = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        bare.remove(QLatin1String(name));
    const struct {
        const char *program;
        QStringList args;
        int exitCode;
        const char *firstLine;
    } cases[] = {
        {TARVEX_APP, {QStringLiteral("--version")}, 0, "tarvex 28.07.23"},
        {TARVEX_APP, {QStringLiteral("--help")}, 0, "Usage: tarvex [--help] [--version]"},
        {TARVEX_APP, {}, 1, "tarvex: needs a graphical display (neither DISPLAY nor WAYLAND_DISPLAY is set); start "
                            "it from the desktop"},
        {TARVEX_LOGVIEW, {QStringLiteral("--version")}, 0, "tarvex-logview 28.07.23"},
        {TARVEX_ECU_SIM, {QStringLiteral("--version")}, 0, "tarvex-ecu-sim 28.07.23"},
    };
    for (const auto &c : cases) {
        QProcess process;
        process.setProcessEnvironment(bare);
        process.start(QLatin1String(c.program), c.args);
        ASSERT_TRUE(process.waitForFinished(10000)) << c.program;
        const QByteArray out = process.readAllStandardOutput() + process.readAllStandardError();
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit) << c.program;
        EXPECT_EQ(process.exitCode(), c.exitCode) << c.program;
        EXPECT_EQ(out.split('\n').value(0), QByteArray(c.firstLine)) << c.program;
    }
}

TEST(Programs, QtsOwnTextsFollowTheSystemLanguage)
{
    if (!QFile::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) + QStringLiteral("/qtbase_ru.qm")))
        GTEST_SKIP() << "qt6-translations-l10n is not installed";
    QTranslator *translator = app::installQtTranslations(*QCoreApplication::instance(), QLocale(QLocale::Russian));
    ASSERT_NE(translator, nullptr);
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "&Yes"), QStringLiteral("&Да"));
    QCoreApplication::removeTranslator(translator);
    delete translator;
    EXPECT_EQ(app::installQtTranslations(*QCoreApplication::instance(), QLocale(QLocale::Swahili)), nullptr);
}

} // namespace
