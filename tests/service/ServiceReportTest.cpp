// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/ServiceReport.h"
#include "tests/support/QtPrinters.h"

#include <gtest/gtest.h>

using namespace tarvex;
using service::ReportSection;

namespace {

const QStringList kMap = [] {
    QStringList cells;
    for (int i = 0; i < 256; ++i)
        cells << QString::number(40 + i % 50);
    return cells;
}();

service::ReportFacts factsOf(const maps::MapSession &session, const QString &file = QString())
{
    service::ReportFacts facts;
    facts.made = QDateTime(QDate(2026, 12, 8), QTime(9, 30));
    facts.maps.push_back({&session, file});
    return facts;
}

ReportSection sectionTitled(const service::ServiceReport &report, const QString &title)
{
    for (const ReportSection &s : report.sections)
        if (s.title == title)
            return s;
    ADD_FAILURE() << "no section " << title.toStdString();
    return {};
}

// The cells of a map the window does not know are never printed: not read,
// a read that failed, or shown from before and not compared since.
TEST(ServiceReport, AMapTheWindowDoesNotKnowIsNamedAndNotPrinted)
{
    const struct {
        const char *state;
        std::function<void(maps::MapSession &)> make;
        QString note;
    } rows[] = {
        {"never read", [](maps::MapSession &) {}, QStringLiteral("Карта не прочитана из ЭБУ: в отчёт не включена.")},
        {"read lost", [](maps::MapSession &s) { s.read(kMap); s.readFailed(); },
         QStringLiteral("Последнее чтение карты не удалось: что сейчас в ЭБУ, не известно, в отчёт карта не включена.")},
        {"not compared", [](maps::MapSession &s) { s.read(kMap); s.connected(); },
         QStringLiteral("Карта не сверена с ЭБУ после переподключения или перезапуска ЭБУ: в отчёт не включена.")},
        {"known", [](maps::MapSession &s) { s.read(kMap); }, QStringLiteral("С подключения ячейки не менялись.")},
        {"known, the ECU silent now", [](maps::MapSession &s) { s.read(kMap); },
         QStringLiteral("ЭБУ сейчас не отвечает (выключено зажигание?): что в нём, не известно, карта в отчёт не включена.")},
    };
    for (const auto &row : rows) {
        maps::MapSession session(maps::MapPage::Ignition);
        row.make(session);
        service::ReportFacts facts = factsOf(session);
        facts.ecuSilent = QByteArray(row.state).endsWith("silent now");
        facts.ecu = service::EcuFacts{};
        const ReportSection map = sectionTitled(service::makeServiceReport(facts), QStringLiteral("Карта УОЗ"));
        EXPECT_EQ(map.note, row.note) << row.state;
        EXPECT_EQ(map.grid ? map.grid->cells : QStringList(), session.known() && !facts.ecuSilent ? kMap : QStringList())
            << row.state;
    }
}

// Against the map first known after the fitter connected, whatever came
// between: a replug resumes the connection, a typed cell is not the ECU's.
TEST(ServiceReport, CellsChangedSinceConnectingAreListedOutlinedAndUnstored)
{
    maps::MapSession session(maps::MapPage::Fuel);
    session.connectionBegan();
    session.read(kMap);
    session.type(35, QStringLiteral("47"));
    const maps::Plan plan = session.enter(35);
    session.begin(plan);
    session.sent(plan.writes.front());
    session.finish();
    session.connected(); // the adapter was pulled and is back
    session.read(session.ecu());
    session.type(36, QStringLiteral("999")); // typed, not sent

    const ReportSection map = sectionTitled(service::makeServiceReport(factsOf(session)), QStringLiteral("Топливная карта"));
    ASSERT_TRUE(map.grid);
    EXPECT_EQ(map.table.rows, (std::vector<QStringList>{{"36", "3", "1500", "75 → 47"}}));
    EXPECT_TRUE(map.grid->changed[35]);
    EXPECT_EQ(std::count(map.grid->changed.begin(), map.grid->changed.end(), true), 1);
    EXPECT_EQ(map.grid->cells[36], kMap[36]);
    EXPECT_EQ(map.rows, (std::vector<std::pair<QString, QString>>{{"Сохранена в памяти ЭБУ", "нет: ячеек отличается 1"}}));

    session.connectionBegan(); // a new connection counts from its own first read
    session.read(session.ecu());
    const service::ServiceReport next = service::makeServiceReport(factsOf(session));
    EXPECT_TRUE(sectionTitled(next, QStringLiteral("Топливная карта")).table.rows.empty());
}

// A map file's report: the file named, no ECU, its changes since it was opened.
TEST(ServiceReport, AFileReportNamesTheFileAndHasNoEcu)
{
    maps::MapSession session(maps::MapPage::Fuel);
    session.read(kMap);
    const service::ServiceReport report = service::makeServiceReport(factsOf(session, QStringLiteral("/cars/a.inj")));
    EXPECT_EQ(report.title, QStringLiteral("Отчёт по файлу карты"));
    QStringList titles;
    for (const ReportSection &s : report.sections)
        titles << s.title;
    EXPECT_EQ(titles, QStringList({"Мастерская", "Автомобиль", "Файл a.inj (Топливная карта)"}));
    EXPECT_EQ(report.sections.back().note, QStringLiteral("Ячейки не менялись с открытия файла."));
}

// Replies that do not decode are shown as they came; the fields before a
// failing calibration field are shown, as the page shows them.
TEST(ServiceReport, EcuRepliesAreDecodedAsThePagesDecodeThem)
{
    maps::MapSession session(maps::MapPage::Fuel);
    service::ReportFacts facts = factsOf(session);
    service::EcuFacts ecu;
    ecu.versionReply = "[FW 5.2]";
    ecu.dateReply = "[DxdM3mY23y]";
    ecu.calibrationReply = "[A875aB1200bC5cD300dE0eF500f]";
    ecu.faultCode = 14;
    facts.ecu = ecu;
    service::ServiceReport report = service::makeServiceReport(facts);
    const ReportSection unit = sectionTitled(report, QStringLiteral("ЭБУ"));
    EXPECT_EQ(unit.rows[0].second, QStringLiteral("[FW 5.2]"));
    EXPECT_EQ(unit.rows[1].second, QStringLiteral("нет ответа"));
    EXPECT_EQ(unit.rows[2].second, QStringLiteral("ответ не разобран: [DxdM3mY23y]"));
    EXPECT_EQ(unit.rows[3].second, QStringLiteral("14 — код без описания"));
    const ReportSection calibration = sectionTitled(report, QStringLiteral("Калибровка"));
    ASSERT_EQ(calibration.table.rows.size(), 13u);
    const QStringList shown = {calibration.table.rows[0][1], calibration.table.rows[2][1], calibration.table.rows[4][1],
                               calibration.table.rows[5][1]};
    EXPECT_EQ(shown, QStringList({"875", "—", "76°C", "—"})) << "A and D shown, E divides by zero, F after it";

    facts.ecu->faultCode.reset();
    facts.ecu->dateReply = "[D7dM3mY23y]";
    report = service::makeServiceReport(facts);
    EXPECT_EQ(sectionTitled(report, QStringLiteral("ЭБУ")).rows[2].second, QStringLiteral("7.3.23"));
    EXPECT_EQ(sectionTitled(report, QStringLiteral("ЭБУ")).rows[3].second, QStringLiteral("не известен: нет живых данных"));
}

// A log's range, and the cells 1 % or more off the target, lean or rich.
TEST(ServiceReport, ALogsSummaryListsTheCellsOffTheTarget)
{
    QByteArray text = "[FW 5.2]\r\n";
    auto records = [&](int pos, double afr, int rpm, int load) {
        for (int i = 0; i < 12; ++i)
            text += "RPM " + QByteArray::number(rpm) + " Temp 211 TPS 35 MAP " + QByteArray::number(load)
                + " Lambda " + QByteArray::number(std::lround((afr - 10) * 106)) + " POS " + QByteArray::number(pos)
                + " Ms 250 Decel 0 Tune 0\r\n Fuel 1\r\n";
    };
    records(67, 14.7 * 1.1, 1200, 250);
    records(84, 14.7 * 0.95, 2400, 600);
    records(100, 14.7 * 1.004, 1800, 400);
    maps::MapSession session(maps::MapPage::Fuel);
    service::ReportFacts facts = factsOf(session);
    facts.logs.push_back({QStringLiteral("/logs/drive.log"), monitor::readLog(text), std::nullopt});
    const ReportSection log = sectionTitled(service::makeServiceReport(facts), QStringLiteral("Лог drive.log"));
    EXPECT_EQ(log.rows, (std::vector<std::pair<QString, QString>>{{"Длительность", "0 мин 7 с (записей: 36)"},
                                                                   {"Обороты, об/мин", "1200–2400"},
                                                                   {"Нагрузка", "250–600"}}));
    ASSERT_EQ(log.table.rows.size(), 2u);
    EXPECT_EQ(log.table.rows[0].mid(0, 4), QStringList({"бедно", "67", "5", "1200"}));
    EXPECT_EQ(log.table.rows[1].mid(0, 4), QStringList({"богато", "84", "6", "1500"}));
}

} // namespace
