// SPDX-License-Identifier: GPL-3.0-or-later
// The service report for the customer, read back from its PDF.
#include "app/MapEditWindow.h"
#include "app/ReportPrint.h"
#include "app/UserSettings.h"
#include "maps/MapFile.h"
#include "sim/Simulator.h"
#include "tests/app/FormFixture.h"
#include "tests/support/Helpers.h"

#include <QProcess>

using namespace tarvex;
using namespace tarvex::test;
using app::TTarvexMainForm;

namespace {

class Report : public FormFixture {
protected:
    void SetUp() override { dialogs->previewPdf = dir.filePath(QStringLiteral("report.pdf")); }
    QString settingsPath() const { return dir.filePath(QStringLiteral("config/tarvex.conf")); }
    // The PDF's text as pdftotext reads it, blanks and line ends as one space.
    QString pdfText() const
    {
        EXPECT_TRUE(dialogs->previewPdfError.isEmpty()) << qPrintable(dialogs->previewPdfError);
        QProcess pdftotext;
        pdftotext.start(QStringLiteral("pdftotext"), {dialogs->previewPdf, QStringLiteral("-")});
        EXPECT_TRUE(pdftotext.waitForFinished(20000)) << "pdftotext (poppler-utils) is needed";
        return QString::fromUtf8(pdftotext.readAllStandardOutput()).simplified();
    }
    static void expectShown(const QString &text, const QStringList &shown)
    {
        for (const QString &s : shown)
            EXPECT_TRUE(text.contains(s)) << "missing: " << qPrintable(s) << "\nin: " << qPrintable(text);
    }
};

// Against the simulator: what it answers is in the PDF, with the cell
// changed since connecting; the report changes nothing in the ECU.
TEST_F(Report, OfTheSimulatorHoldsWhatItGaveAndTheCellChangedAndWritesNothing)
{
    sim::Options options;
    options.registryDir = dir.filePath(QStringLiteral("ports")).toStdString();
    options.stateFile = dir.filePath(QStringLiteral("ecu.state")).toStdString();
    options.faultCode = 3;
    sim::Simulator simulator(options);
    simulator.start();
    app::FormServices services = simulatorServices(options);
    services.userSettingsPath = settingsPath();
    TTarvexMainForm form(services);
    press(form, &TTarvexMainForm::ComSearchButtonClick);
    press(form, &TTarvexMainForm::ComConnectButtonClick);
    press(form, &TTarvexMainForm::InjRefreshButtonClick);
    const int before = form.MapState(0).ecu()[35].toInt();
    enterCell(form, 0, 3, 2, QString::number(before + 7));
    simulator.withModel([](sim::EcuModel &m) { m.handleFrame("<c>"); }); // idle speed up behind the window
    ASSERT_TRUE(runUntil([&] { return form.StoredFaultCode() == 3; }, 5000)) << "no live data";
    auto ecu = [&] {
        std::vector<int> held;
        simulator.withModel([&](sim::EcuModel &m) {
            for (int cell = 0; cell < 256; ++cell)
                held.insert(held.end(), {m.fuelCell(cell), m.ignCell(cell)});
            for (int row = 0; row < 13; ++row)
                held.push_back(m.param(row));
        });
        return held;
    };
    const std::vector<int> held = ecu();

    dialogs->fieldAnswers = {QStringList{"Мастерская Север", "ул. Заводская, 5", "+7 900 000-00-00", "А123ВС77",
                                         "84500", "замена форсунок"}};
    form.Guarded([&] { form.ReportClick(); });
    ASSERT_EQ(dialogs->previews.size(), 1u) << qPrintable(dialogs->texts().join('\n'));
    EXPECT_EQ(ecu(), held) << "the report writes nothing";
    expectShown(pdfText(), {"Мастерская Север", "А123ВС77", "замена форсунок", "[TARVEX-SIM 5.2 (28.07.23)]",
                            "Дата установки 7.3.23", "Обороты холостого хода 875", "Код ошибки 3 — Обрыв",
                            QStringLiteral("36 3 1500 %1 → %2").arg(before).arg(before + 7),
                            "Сохранена в памяти ЭБУ нет: ячеек отличается 1", "Карта УОЗ Сохранена в памяти ЭБУ да"});

    // The workshop is kept in the user's settings, the car for the connection.
    dialogs->fieldAnswers.clear();
    form.Guarded([&] { form.ReportClick(); });
    ASSERT_EQ(dialogs->forms.size(), 2u);
    EXPECT_EQ(dialogs->forms[1][0].text, QStringLiteral("Мастерская Север"));
    EXPECT_EQ(dialogs->forms[1][3].text, QStringLiteral("А123ВС77"));
    EXPECT_EQ(app::readWorkshop(settingsPath()).phone, QStringLiteral("+7 900 000-00-00"));
    dialogs->answerYes = false; // the fuel map is not stored
    press(form, &TTarvexMainForm::ComDisconnectButtonClick);
    simulator.stop();
}

// A map whose read failed and one the ECU never answered are named, none of
// their cells printed; the report sends only reads.
TEST_F(Report, AMapNotKnownIsNamedAndNeverPrinted)
{
    // Ctrl+P and both grids' menus, before connecting.
    auto disconnected = makeForm();
    disconnected->show();
    disconnected->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(disconnected.get()));
    QTest::keyClick(disconnected.get(), Qt::Key_P, Qt::ControlModifier);
    for (int map = 0; map < 2; ++map) {
        const std::unique_ptr<QMenu> menu = disconnected->MakeMapMenu(map);
        for (QAction *item : menu->actions())
            if (item->text().startsWith(QStringLiteral("Отчёт для клиента…")))
                item->trigger();
    }
    EXPECT_TRUE(dialogs->forms.empty());
    EXPECT_EQ(dialogs->texts(), QStringList(3, "Отчёт составляется по подключённому ЭБУ: сначала «Соединить»."));

    MapEcu maps;
    maps.fuel = QStringList(256, QStringLiteral("417"));
    bool fuelCut = false;
    serial->answer = [&](const QByteArray &frame) -> QByteArray {
        if (frame == "<D>\r\r" || (frame == "<A>\r" && fuelCut))
            return "[1,2,3,]";
        if (frame == "<Q>\r")
            return "[FW 1.0]";
        if (frame == "<Y>\r")
            return "[D7dM3mY23y]";
        if (frame == "<a>\r")
            return "[A850a]";
        return maps.answer(frame);
    };
    auto form = makeConnectedForm();
    press(*form, &TTarvexMainForm::InjRefreshButtonClick);
    fuelCut = true;
    press(*form, &TTarvexMainForm::InjRefreshButtonClick);
    connectedAt = serial->calls().size();
    press(*form, &TTarvexMainForm::ReportClick);
    EXPECT_EQ(writesSinceConnect(), (QList<QByteArray>{"<A>\r", "<D>\r\r", "<Q>\r", "<Y>\r", "<a>\r"}));
    const QString text = pdfText();
    expectShown(text, {"[FW 1.0]", "Топливная карта", "Последнее чтение карты не удалось", "Карта УОЗ",
                       "Карта не прочитана из ЭБУ: в отчёт не включена."});
    EXPECT_FALSE(text.contains(QStringLiteral("417"))) << qPrintable(text);
}

// The ignition off: the maps are not vouched for while the ECU is silent. Back
// restarted while the next report is up: the maps are compared once its
// preview closes, not in a box over it.
TEST_F(Report, WhileTheEcuIsSilentItsMapsAreNotPrintedAndAComparisonWaitsForThePreview)
{
    MapEcu ecu;
    ecu.fuel = QStringList(256, QStringLiteral("417"));
    bool quiet = false;
    serial->answer = [&](const QByteArray &frame) {
        if (frame == "<G>\r" || frame == "<H>\r")
            return quiet ? QByteArray() : QByteArray("[A850aJ35j]");
        return quiet ? QByteArray() : ecu.answer(frame);
    };
    auto form = makeConnectedForm();
    press(*form, &TTarvexMainForm::InjRefreshButtonClick);
    press(*form, &TTarvexMainForm::IgnRefreshButtonClick);
    quiet = true;
    for (int tick = 0; tick < 4; ++tick)
        press(*form, &TTarvexMainForm::RefreshTimerTimer);
    press(*form, &TTarvexMainForm::ReportClick);
    const QString text = pdfText();
    EXPECT_EQ(text.count(QStringLiteral("ЭБУ сейчас не отвечает")), 2) << qPrintable(text);
    EXPECT_FALSE(text.contains(QStringLiteral("417"))) << qPrintable(text);

    quiet = false;
    ecu.fuel[35] = QStringLiteral("420"); // its stored value, the window's lost
    size_t choicesDuringPreview = 99;
    dialogs->onPreview = [&] {
        press(*form, &TTarvexMainForm::RefreshTimerTimer); // data again: a restart
        choicesDuringPreview = dialogs->choiceWindows.size();
    };
    dialogs->choiceAnswers = {1}; // the ECU's values
    press(*form, &TTarvexMainForm::ReportClick);
    EXPECT_EQ(choicesDuringPreview, 0u);
    ASSERT_EQ(dialogs->choiceWindows.size(), 1u) << "compared once the preview closed";
    EXPECT_EQ(form->InjGrid->Cell(3, 2), QStringLiteral("420"));
}

// tarvex-mapedit: the file's map alone, named as the file, on the locale's
// paper.
TEST_F(Report, OfAMapFileNamesTheFileAndItsChanges)
{
    const QString path = dir.filePath(QStringLiteral("car.ign"));
    ASSERT_TRUE(maps::writeMapFile(path, QStringList(256, QStringLiteral("20"))).isEmpty());
    app::MapEditServices services;
    services.dialogs = dialogs;
    services.settingsPath = iniPath();
    services.backupFolder = dir.filePath(QStringLiteral("backups"));
    services.userSettingsPath = settingsPath();
    auto window = app::TMapEditWindow::Open(path, services);
    ASSERT_NE(window, nullptr);
    window->Grid->SetCell(4, 3, QStringLiteral("25"));
    window->Grid->setCurrentCell(3, 4);
    window->EnterCell();
    window->ReportClick();
    const QString text = pdfText();
    expectShown(text, {"Отчёт по файлу карты", "Файл car.ign (Карта УОЗ)", "53 4 1800 20 → 25",
                       "Сохранена в файл нет: ячеек отличается 1"});
    EXPECT_FALSE(text.contains(QStringLiteral("Калибровка")));
    // A PDF that cannot be written says why and leaves no file.
    const QString nowhere = dir.filePath(QStringLiteral("no such folder/report.pdf"));
    EXPECT_FALSE(widgets::writePdf(nowhere, dialogs->previews.back()).isEmpty());
    EXPECT_FALSE(QFile::exists(nowhere));

    for (const auto &[locale, page] : {std::pair{"en_US", QPageSize::Letter}, {"en_GB", QPageSize::A4}, {"ru_RU", QPageSize::A4}})
        EXPECT_EQ(app::reportPageSize(QLocale(QLatin1String(locale))).id(), page) << locale;
}

} // namespace
