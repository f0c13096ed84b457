// SPDX-License-Identifier: GPL-3.0-or-later
// The rules of one map page's truth, without a window: what may be sent,
// what a read, a store and a reconnect do to what the window knows.
#include "maps/MapSession.h"

#include <gtest/gtest.h>

using namespace tarvex::maps;

namespace {

QStringList filled(const QString &value)
{
    return QStringList(256, value);
}

// A session that read a map of 40s (fuel) or 20s (ignition), edit box ticked.
MapSession readSession(MapPage page)
{
    MapSession session(page);
    session.read(filled(page == MapPage::Fuel ? QStringLiteral("40") : QStringLiteral("20")));
    session.setEditing(true);
    return session;
}

// Sends every write of a plan as the window does.
size_t send(MapSession &session, const Plan &plan)
{
    session.begin(plan);
    for (const CellChange &c : plan.writes)
        session.sent(c);
    return session.finish();
}

MapValues valuesOf(const MapSession &session)
{
    return std::get<MapValues>(tarvex::maps::valuesOf(session.shownCells(), CellRange{0, 0, 15, 15}));
}

TEST(MapSession, EachPageKeepsItsRangeWhateverTheSource)
{
    const struct {
        MapPage page;
        Source source;
        QString text;
        Refusal want;
    } cases[] = {
        {MapPage::Fuel, Source::Enter, QStringLiteral("999"), Refusal::None},
        {MapPage::Fuel, Source::Enter, QStringLiteral("1000"), Refusal::OutOfRange},
        {MapPage::Fuel, Source::Enter, QStringLiteral("-5"), Refusal::OutOfRange},
        {MapPage::Fuel, Source::Enter, QString(), Refusal::NotANumber},
        {MapPage::Fuel, Source::FileLoad, QStringLiteral("-5"), Refusal::OutOfRange},
        {MapPage::Fuel, Source::Comparison, QStringLiteral("-5"), Refusal::OutOfRange},
        {MapPage::Fuel, Source::Suggestion, QStringLiteral("1000"), Refusal::OutOfRange},
        {MapPage::Fuel, Source::Operation, QStringLiteral("0"), Refusal::None},
        {MapPage::Ignition, Source::Enter, QStringLiteral("-999"), Refusal::None},
        {MapPage::Ignition, Source::Enter, QStringLiteral("1000"), Refusal::OutOfRange},
        {MapPage::Ignition, Source::Enter, QString(), Refusal::NotANumber},
        {MapPage::Ignition, Source::FileLoad, QStringLiteral("-120"), Refusal::None},
        {MapPage::Ignition, Source::Paste, QStringLiteral("-1000"), Refusal::OutOfRange},
    };
    for (const auto &c : cases) {
        MapSession session = readSession(c.page);
        Plan plan;
        switch (c.source) {
        case Source::Enter:
            session.type(5, c.text);
            plan = session.enter(5);
            break;
        case Source::FileLoad: {
            QStringList cells = session.ecu();
            cells[5] = c.text;
            plan = session.load(cells);
            break;
        }
        case Source::Operation:
        case Source::Paste: {
            MapValues values = valuesOf(session);
            values[5] = c.text.toInt();
            plan = session.change(values, CellRange{5, 0, 5, 0}, c.source);
            break;
        }
        default: plan = session.write({{5, c.text}}, c.source); break;
        }
        EXPECT_EQ(plan.refusal, c.want) << int(c.page) << " " << int(c.source) << " " << c.text.toStdString();
        if (c.want != Refusal::None) {
            EXPECT_TRUE(plan.writes.empty());
        }
    }
}

TEST(MapSession, WhatIsNotAllowedNowIsRefusedBeforeItsValue)
{
    const struct {
        const char *name;
        void (*set)(MapSession &);
        Source source;
        Refusal want;
    } cases[] = {
        {"edit box off", [](MapSession &s) { s.setEditing(false); }, Source::Operation, Refusal::EditingOff},
        {"edit box off, Enter", [](MapSession &s) { s.setEditing(false); }, Source::Enter, Refusal::None},
        {"edit box off, a file", [](MapSession &s) { s.setEditing(false); }, Source::FileLoad, Refusal::None},
        {"storing", [](MapSession &s) { s.storeSent(); }, Source::Enter, Refusal::Storing},
        {"storing, a file", [](MapSession &s) { s.storeSent(); }, Source::FileLoad, Refusal::Storing},
        {"a batch", [](MapSession &s) { s.begin(Plan{}); }, Source::Undo, Refusal::BatchRunning},
        {"not compared since connecting", [](MapSession &s) { s.connected(); }, Source::Enter, Refusal::NoMap},
        {"not compared, a file", [](MapSession &s) { s.connected(); }, Source::FileLoad, Refusal::None},
        {"the ECU may have restarted", [](MapSession &s) { s.mayHaveRestarted(); }, Source::Enter, Refusal::NoMap},
        {"a read failed", [](MapSession &s) { s.readFailed(); }, Source::Enter, Refusal::NoMap},
        {"a read failed, an operation", [](MapSession &s) { s.readFailed(); }, Source::Operation, Refusal::NoMap},
        {"the template's read is due", [](MapSession &s) { s.templateSent(); }, Source::Undo, Refusal::NoMap},
        {"a template", [](MapSession &) {}, Source::Template, Refusal::None},
        {"a template, edit box off", [](MapSession &s) { s.setEditing(false); }, Source::Template, Refusal::None},
        {"a template after a failed read", [](MapSession &s) { s.readFailed(); }, Source::Template, Refusal::None},
        {"a template, storing", [](MapSession &s) { s.storeSent(); }, Source::Template, Refusal::Storing},
        {"a template, a batch", [](MapSession &s) { s.begin(Plan{}); }, Source::Template, Refusal::BatchRunning},
        {"a template, not compared", [](MapSession &s) { s.mayHaveRestarted(); }, Source::Template, Refusal::NoMap},
    };
    for (const auto &c : cases) {
        MapSession session = readSession(MapPage::Fuel);
        c.set(session);
        Plan plan;
        if (c.source == Source::Enter)
            plan = session.enter(0);
        else if (c.source == Source::FileLoad)
            plan = session.load(filled(QStringLiteral("41")));
        else if (c.source == Source::Undo)
            plan = session.undo();
        else if (c.source == Source::Template)
            plan = session.templateLoad();
        else
            plan = session.change(valuesOf(session), CellRange{0, 0, 0, 0}, c.source);
        EXPECT_EQ(plan.refusal, c.want) << c.name;
    }
    EXPECT_EQ(MapSession(MapPage::Fuel).write({{0, QStringLiteral("1")}}, Source::Comparison).refusal,
              Refusal::EditingOff);
}

// A store calls the map stored: refused while what the ECU holds may be
// something else than the window shows.
TEST(MapSession, AStoreIsRefusedWhileTheMapShownMayNotBeTheEcus)
{
    const struct {
        const char *name;
        void (*set)(MapSession &);
        Refusal want;
    } cases[] = {
        {"read and compared", [](MapSession &) {}, Refusal::None},
        {"never read", [](MapSession &s) { s = MapSession(MapPage::Fuel); }, Refusal::None},
        {"connected again", [](MapSession &s) { s.connected(); }, Refusal::NoMap},
        {"the ECU may have restarted", [](MapSession &s) { s.mayHaveRestarted(); }, Refusal::NoMap},
        {"a read failed", [](MapSession &s) { s.readFailed(); }, Refusal::NoMap},
        {"the template's read is due", [](MapSession &s) { s.templateSent(); }, Refusal::NoMap},
        {"a batch", [](MapSession &s) { s.begin(Plan{}); }, Refusal::BatchRunning},
        {"a failed read, then one that worked", [](MapSession &s) { s.readFailed(); s.read(s.ecu()); }, Refusal::None},
        {"restarted, then compared", [](MapSession &s) { s.mayHaveRestarted(); s.read(s.ecu()); }, Refusal::None},
    };
    for (const auto &c : cases) {
        MapSession session = readSession(MapPage::Fuel);
        c.set(session);
        EXPECT_EQ(session.storeRefusal(), c.want) << c.name;
        EXPECT_EQ(session.known(), c.want != Refusal::NoMap && session.hasMap()) << c.name;
    }
}

TEST(MapSession, TypedTextIsSettledByTheChangeThatCoversIt)
{
    MapSession session = readSession(MapPage::Fuel);
    session.type(3, QStringLiteral("45"));
    session.type(4, QStringLiteral("40")); // the ECU's own value is no typing
    EXPECT_EQ(session.pendingCells(), std::set<int>{3});
    EXPECT_EQ(session.shown(3), QStringLiteral("45"));

    // Set to what the ECU holds: nothing to send, and 45 is gone.
    const Plan plan = session.change(valuesOf(readSession(MapPage::Fuel)), CellRange{0, 0, 7, 0}, Source::Operation);
    EXPECT_TRUE(plan.writes.empty());
    send(session, plan);
    EXPECT_EQ(session.shown(3), QStringLiteral("40"));
    EXPECT_TRUE(session.pendingCells().empty());

    // Enter sends the text as typed, leading zeros and all.
    session.type(9, QStringLiteral("007"));
    const Plan enter = session.enter(9);
    ASSERT_EQ(enter.writes.size(), 1u);
    EXPECT_EQ(enter.writes[0], (CellChange{10, QStringLiteral("40"), QStringLiteral("007")}));
}

TEST(MapSession, AReadLikeWhatIsKnownKeepsTheHistoryOneThatDiffersEndsIt)
{
    MapSession session = readSession(MapPage::Ignition);
    session.type(0, QStringLiteral("25"));
    send(session, session.enter(0));
    ASSERT_TRUE(session.canUndo());
    EXPECT_EQ(session.unstoredCount(), 1);

    QStringList ecu = session.ecu();
    ecu[0] = QStringLiteral("025"); // the same number, as the ECU writes it
    ReadOutcome same = session.read(ecu);
    EXPECT_EQ(same.kind, ReadOutcome::Same);
    EXPECT_TRUE(session.canUndo());
    EXPECT_EQ(session.unstoredCount(), 1);

    ecu[100] = QStringLiteral("33");
    const ReadOutcome differs = session.read(ecu);
    EXPECT_EQ(differs.kind, ReadOutcome::Differs);
    ASSERT_EQ(differs.differences.size(), 1u);
    EXPECT_EQ(differs.differences[0].cell, 100);
    EXPECT_TRUE(differs.historyEnded);
    EXPECT_FALSE(session.canUndo());
    EXPECT_EQ(session.ecu()[100], QStringLiteral("33"));
}

TEST(MapSession, AStoreStoresWhatTheEcuHeldWhenItWasSent)
{
    MapSession session = readSession(MapPage::Fuel);
    session.type(0, QStringLiteral("41"));
    send(session, session.enter(0));
    session.storeSent();
    session.type(1, QStringLiteral("42"));
    EXPECT_EQ(session.enter(1).refusal, Refusal::Storing) << "no change while the store's wait runs";
    QStringList tuned = session.ecu();
    tuned[2] = QStringLiteral("43"); // autotune changes the ECU's map meanwhile
    session.read(tuned);
    session.storeEnded(true);
    EXPECT_FALSE(session.storing());
    EXPECT_EQ(session.unstoredCount(), 1) << "cell 3 came after the store was sent";
    EXPECT_FALSE(session.storedSinceChange());

    MapSession failed = readSession(MapPage::Fuel);
    failed.type(0, QStringLiteral("41"));
    send(failed, failed.enter(0));
    failed.storeSent();
    failed.storeEnded(false);
    EXPECT_EQ(failed.unstoredCount(), 1) << "a store that failed stored nothing";
}

TEST(MapSession, AfterConnectingAMapFromBeforeIsComparedAndTheFitterChooses)
{
    auto edited = [] {
        MapSession s = readSession(MapPage::Fuel);
        s.type(17, QStringLiteral("77"));
        send(s, s.enter(17));
        s.connected();
        return s;
    };
    const QStringList restarted = filled(QStringLiteral("40")); // lost the unstored 77

    MapSession equal = edited();
    EXPECT_TRUE(equal.needsCompare());
    QStringList same = equal.ecu();
    EXPECT_TRUE(equal.differencesFrom(same).empty());
    equal.read(same);
    EXPECT_FALSE(equal.needsCompare());
    EXPECT_TRUE(equal.canUndo()) << "equal: carry on with history";
    EXPECT_EQ(equal.unstoredCount(), 1) << "and unstored marks";

    MapSession rewrite = edited();
    const std::vector<CellDifference> d = rewrite.differencesFrom(restarted);
    ASSERT_EQ(d.size(), 1u);
    EXPECT_EQ(d[0].cell, 17);
    EXPECT_EQ(d[0].ecu, QStringLiteral("40"));
    EXPECT_EQ(d[0].file, QStringLiteral("77"));
    const QStringList window = rewrite.ecu();
    rewrite.read(restarted);
    const Plan again = rewrite.write({{17, window[17]}}, Source::Rewrite);
    ASSERT_EQ(again.writes.size(), 1u);
    send(rewrite, again);
    EXPECT_EQ(rewrite.ecu()[17], QStringLiteral("77"));
    EXPECT_EQ(rewrite.undo().writes, (EditStep{CellChange{18, QStringLiteral("77"), QStringLiteral("40")}}))
        << "the rewrite is one step to undo";

    MapSession take = edited();
    take.takeEcu(restarted);
    EXPECT_FALSE(take.canUndo());
    EXPECT_EQ(take.unstoredCount(), 0);
    EXPECT_FALSE(take.comparison());

    MapSession leave = edited();
    leave.keepWindowValues(restarted);
    EXPECT_EQ(leave.ecu()[17], QStringLiteral("40")) << "the grid shows the ECU's values";
    ASSERT_TRUE(leave.comparison());
    EXPECT_TRUE(leave.comparison()->path.isEmpty());
    ASSERT_EQ(leave.comparisonDifferences().size(), 1u) << "the window's value stays listed";
    EXPECT_EQ(leave.comparisonDifferences()[0].file, QStringLiteral("77"));
}

// A store the ignition cut short: the window called 77 stored, the ECU came
// back with 30. Written again, 77 is not in its permanent memory.
TEST(MapSession, CellsWrittenAgainAfterARestartCountAsUnstored)
{
    MapSession session = readSession(MapPage::Fuel);
    session.type(17, QStringLiteral("77"));
    send(session, session.enter(17));
    session.storeSent();
    session.storeEnded(true);
    ASSERT_EQ(session.unstoredCount(), 0);
    session.mayHaveRestarted();
    QStringList restarted = session.ecu();
    restarted[17] = QStringLiteral("30");
    const QStringList window = session.ecu();
    session.takeEcu(restarted);
    send(session, session.write({{17, window[17]}}, Source::Rewrite));
    EXPECT_EQ(session.ecu()[17], QStringLiteral("77"));
    EXPECT_EQ(session.unstoredCount(), 1);
    EXPECT_EQ(session.storeRefusal(), Refusal::None);
    EXPECT_TRUE(session.canUndo()) << "the rewrite is one step";
}

TEST(MapSession, TheReadBackFindsACellThatDidNotLand)
{
    MapSession session = readSession(MapPage::Fuel);
    MapValues values = valuesOf(session);
    values[0] = 50;
    values[1] = 51;
    send(session, session.change(values, CellRange{0, 0, 1, 0}, Source::Operation));
    QStringList ecu = session.ecu();
    ecu[1] = QStringLiteral("40"); // the second write never landed
    const std::vector<CellDifference> missing = session.verify(ecu).missing;
    ASSERT_EQ(missing.size(), 1u);
    EXPECT_EQ(missing[0].cell, 1);
    EXPECT_EQ(missing[0].ecu, QStringLiteral("40"));
    EXPECT_EQ(missing[0].file, QStringLiteral("51"));
    EXPECT_EQ(session.shown(1), QStringLiteral("40"));
    EXPECT_EQ(session.undo().writes, (EditStep{CellChange{1, QStringLiteral("50"), QStringLiteral("40")}}))
        << "undo restores only what landed";
    EXPECT_TRUE(session.verify(session.ecu()).missing.empty());
}

// Autotune changes cells while a batch runs: only the cells written can
// have failed to land; the others are the ECU's own values.
TEST(MapSession, TheReadBackChecksOnlyTheCellsWritten)
{
    MapSession session = readSession(MapPage::Fuel);
    send(session, session.write({{0, QStringLiteral("50")}, {1, QStringLiteral("51")}}, Source::Operation));
    QStringList ecu = session.ecu();
    ecu[1] = QStringLiteral("40"); // lost
    ecu[200] = QStringLiteral("44"); // tuned by the ECU
    ecu[201] = QStringLiteral("45");
    const ReadBack back = session.verify(ecu);
    ASSERT_EQ(back.missing.size(), 1u);
    EXPECT_EQ(back.missing[0].cell, 1);
    EXPECT_EQ(back.changedByEcu, 2);
    EXPECT_FALSE(back.historyEnded) << "the tuned cells were never edited";
    EXPECT_EQ(session.shownCells(), ecu);
    EXPECT_TRUE(session.canUndo());

    send(session, session.write({{200, QStringLiteral("60")}, {2, QStringLiteral("61")}}, Source::Operation));
    ecu = session.ecu();
    ecu[0] = QStringLiteral("47"); // the ECU tuned a cell the fitter had changed
    const ReadBack over = session.verify(ecu);
    EXPECT_TRUE(over.missing.empty());
    EXPECT_TRUE(over.historyEnded);
    EXPECT_FALSE(session.canUndo()) << "undo would write over what the ECU learned";
}

// Two steps over the same cells; a write that does not land during the
// edit, an undo or a redo. Undoing all there is still brings the map back
// to where it started.
TEST(MapSession, AMissedWriteNeverKeepsUndoFromTheStart)
{
    enum Miss { InEdit, InUndo, InRedo };
    const struct {
        const char *name;
        Miss miss;
    } cases[] = {{"a miss in the second edit", InEdit}, {"a miss in its undo", InUndo}, {"a miss in its redo", InRedo}};
    for (const auto &c : cases) {
        MapSession session = readSession(MapPage::Fuel);
        QStringList ecu = session.ecu();
        const QStringList start = ecu;
        // Sends a plan to the ECU, the write of cell 1 lost when asked to,
        // and reads it back.
        auto run = [&](const Plan &plan, bool lose) {
            session.begin(plan);
            for (const CellChange &w : plan.writes) {
                session.sent(w);
                if (!(lose && w.cell == 2))
                    ecu[w.cell - 1] = w.after;
            }
            session.finish();
            session.verify(ecu);
        };
        run(session.write({{0, QStringLiteral("50")}, {1, QStringLiteral("50")}}, Source::Operation), false);
        run(session.write({{0, QStringLiteral("60")}, {1, QStringLiteral("60")}}, Source::Operation), c.miss == InEdit);
        run(session.undo(), c.miss == InUndo);
        if (c.miss == InRedo) {
            run(session.redo(), true);
        }
        for (int undo = 0; undo < 5 && session.canUndo(); ++undo)
            run(session.undo(), false);
        EXPECT_FALSE(session.canUndo()) << c.name;
        EXPECT_EQ(ecu, start) << c.name;
        EXPECT_EQ(session.shownCells(), start) << c.name;
    }
}

} // namespace
