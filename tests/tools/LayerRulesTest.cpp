// SPDX-License-Identifier: GPL-3.0-or-later
// The check of the layers: what crosses an arrow the table does not have is
// named with its file, line and arrow.
#include "tools/LayerRules.h"
#include "tools/LayerTree.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

using tarvex::tools::LayerRules;

namespace {

const char kTable[] = "# floors\n"
                      "link:\n"
                      "maps: link   # pure\n"
                      "app: link maps\n"
                      "tests: *\n";

TEST(LayerRules, AnIncludeAcrossAnArrowNotInTheTableIsNamed)
{
    const LayerRules rules = *LayerRules::parse(QString::fromLatin1(kTable));
    const struct {
        const char *file;
        const char *content;
        int violations;
    } cases[] = {
        {"maps/MapFile.cpp", "#include \"maps/MapFile.h\"\n#include \"link/Protocol.h\"\n", 0},
        {"app/MainForm.cpp", "#include \"maps/MapGrid.h\"\n  #  include \"link/BCPort.h\"\n", 0},
        {"tests/x/Test.cpp", "#include \"app/MainForm.h\"\n#include \"tests/support/Helpers.h\"\n", 0},
        {"maps/MapFile.cpp", "#include <QString>\n#include \"ui_window.h\"\n#include \"other/Thing.h\"\n", 0},
        {"maps/MapFile.cpp", "// a comment\n#include \"app/RunTimeTexts.h\"\n", 1},
        {"link/BCPort.cpp", "#include \"maps/MapReply.h\"\n#include \"tests/support/Fake.h\"\n", 2},
        {"unknown/File.cpp", "#include \"link/Protocol.h\"\n", 1},
    };
    for (const auto &c : cases)
        EXPECT_EQ(int(rules.checkIncludes(QString::fromLatin1(c.file), c.content, {}).size()), c.violations) << c.file;

    const auto upward = rules.checkIncludes(QStringLiteral("maps/MapFile.cpp"), "// a comment\n#include \"app/RunTimeTexts.h\"\n", {});
    ASSERT_EQ(upward.size(), 1u);
    EXPECT_EQ(LayerRules::describe(upward[0]), QStringLiteral("maps/MapFile.cpp:2: includes \"app/RunTimeTexts.h\": "
                                                              "maps → app is not an arrow of layers.txt"));
}

TEST(LayerRules, AMalformedTableIsRefused)
{
    QString error;
    EXPECT_FALSE(LayerRules::parse(QStringLiteral("link:\nmaps link\n"), &error));
    EXPECT_TRUE(error.startsWith(QStringLiteral("line 2:")));
    EXPECT_FALSE(LayerRules::parse(QStringLiteral("link:\nlink: maps\n"), &error)) << "a folder named twice";
}

// The project's own table: every floor below the programs is kept from
// including them.
TEST(LayerRules, TheProjectsTableKeepsTheFloorsApart)
{
    QFile file(QStringLiteral(TARVEX_SOURCE_DIR "/layers.txt"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const LayerRules rules = *LayerRules::parse(QString::fromUtf8(file.readAll()));
    const struct {
        const char *file;
        const char *include;
        bool allowed;
    } arrows[] = {
        {"maps/MapFile.cpp", "lang/RunTimeTexts.h", true},   {"maps/MapFile.cpp", "app/MainForm.h", false},
        {"monitor/LogFile.cpp", "widgets/Dialogs.h", false}, {"lang/RunTimeTexts.cpp", "link/Protocol.h", false},
        {"widgets/MapGrid.cpp", "maps/WorkingTrail.h", true}, {"widgets/MapGrid.cpp", "app/MapPage.h", false},
        {"logview/main.cpp", "app/MainForm.h", false},        {"sim/EcuModel.cpp", "link/Protocol.h", false},
        {"app/MainForm.cpp", "sim/Simulator.h", false},       {"tools/Screenshots.cpp", "sim/Simulator.h", true},
    };
    for (const auto &a : arrows) {
        const QByteArray content = QByteArray("#include \"") + a.include + "\"\n";
        EXPECT_EQ(rules.checkIncludes(QString::fromLatin1(a.file), content, {}).empty(), a.allowed)
            << a.file << " " << a.include;
    }
}

} // namespace

namespace {

QStringList described(const std::vector<LayerRules::Violation> &violations)
{
    QStringList out;
    for (const auto &v : violations)
        out << LayerRules::describe(v);
    return out;
}

// Each way round an arrow: angle brackets, relative paths, an absolute path,
// a folder the table does not list, a path out of every folder.
TEST(LayerRules, EveryWayAnIncludeReachesAFolderIsChecked)
{
    const LayerRules rules = *LayerRules::parse(QString::fromLatin1(kTable));
    const QStringList files = {QStringLiteral("app/MainForm.h"), QStringLiteral("maps/app/Note.h")};
    const LayerRules::Tree tree{QStringLiteral("/src"),
                                {QStringLiteral("link"), QStringLiteral("maps"), QStringLiteral("app"),
                                 QStringLiteral("tests"), QStringLiteral("report")},
                                [&files](const QString &path) { return files.contains(path); }};
    const struct {
        const char *file;
        const char *include;
        const char *violation; // after "FILE:1: includes …: "; none: allowed
    } cases[] = {
        {"maps/MapSession.cpp", "<app/MainForm.h>", "maps → app is not an arrow of layers.txt"},
        {"maps/MapSession.cpp", "\"../app/MainForm.h\"", "maps → app is not an arrow of layers.txt"},
        {"maps/MapSession.cpp", "\"maps/../app/MainForm.h\"", "maps → app is not an arrow of layers.txt"},
        {"maps/MapSession.cpp", "\"/src/app/MainForm.h\"", "maps → app is not an arrow of layers.txt"},
        {"maps/MapSession.cpp", "\"report/Report.h\"", "maps → report: layers.txt does not list the folder report"},
        {"report/Report.cpp", "\"link/Port.h\"", "report → link: layers.txt does not list the folder report"},
        {"maps/MapSession.cpp", "\"../../etc/x.h\"", "maps → ../etc/x.h, which is in no folder of layers.txt"},
        {"maps/MapSession.cpp", "\"../Config.h\"", "maps → Config.h, which is in no folder of layers.txt"},
        {"maps/MapSession.cpp", "\"../link/Port.h\"", nullptr},
        {"maps/MapFile.cpp", "\"app/Note.h\"", nullptr}, // beside the file: maps/app/Note.h
        {"maps/MapFile.cpp", "<gtest/gtest.h>", nullptr},
        {"maps/MapFile.cpp", "\"/usr/include/zlib.h\"", nullptr},
    };
    for (const auto &c : cases) {
        const QString line = QStringLiteral("#include %1").arg(QLatin1String(c.include));
        EXPECT_EQ(described(rules.checkIncludes(QLatin1String(c.file), line.toUtf8(), tree)),
                  c.violation ? QStringList{QStringLiteral("%1:1: includes %2: %3")
                                                .arg(QLatin1String(c.file), QLatin1String(c.include),
                                                     QString::fromUtf8(c.violation))}
                              : QStringList())
            << c.file << " " << c.include;
    }
}

// Links as CMake holds them, each named at the line that makes it.
TEST(LayerRules, ALinkThatIsNoArrowIsNamedWhereItIsMade)
{
    const LayerRules rules = *LayerRules::parse(QString::fromLatin1(kTable));
    const std::map<QString, QByteArray> cmakeLists = {
        {QStringLiteral("maps/CMakeLists.txt"), "add_library(tarvex_maps STATIC MapFile.cpp)\n"
                                                "target_link_libraries(tarvex_maps # tarvex_app\n"
                                                "  PUBLIC \"tarvex_link\"\n"
                                                "  PRIVATE tarvex_app)\n"},
    };
    const QString graph = QStringLiteral("tarvex_maps\tmaps\ttarvex_link\tlink\n"
                                         "tarvex_maps\tmaps\ttarvex_app\tapp\n"
                                         "tarvex_maps\tmaps\t$<$<CONFIG:Debug>:tarvex_app>\t\n"
                                         "tarvex_report\treport\ttarvex_link\tlink\n"
                                         "tarvex_tests\ttests\t$<TARGET_OBJECTS:tarvex_app>\t\n");
    EXPECT_EQ(described(rules.checkLinks(tarvex::tools::readLinkGraph(graph, cmakeLists))),
              QStringList({QStringLiteral("maps/CMakeLists.txt:4: tarvex_maps links tarvex_app: maps → app is not "
                                          "an arrow of layers.txt"),
                           QStringLiteral("maps/CMakeLists.txt:1: tarvex_maps links $<$<CONFIG:Debug>:tarvex_app>: "
                                          "maps → ?: the check cannot follow it; name the library"),
                           QStringLiteral("report/CMakeLists.txt: tarvex_report links tarvex_link: report → link: "
                                          "layers.txt does not list the folder report")}));
}

// The graph the build writes, read with the project's CMakeLists.txt.
TEST(LayerRules, TheBuildsLinkGraphPlacesEachLinkInItsFolder)
{
    QFile graph(QStringLiteral(TARVEX_BINARY_DIR "/layer-links.txt"));
    ASSERT_TRUE(graph.open(QIODevice::ReadOnly));
    std::map<QString, QByteArray> cmakeLists;
    for (const char *folder : {"maps", "monitor", "app"}) {
        QFile file(QStringLiteral(TARVEX_SOURCE_DIR "/%1/CMakeLists.txt").arg(QLatin1String(folder)));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        cmakeLists[QStringLiteral("%1/CMakeLists.txt").arg(QLatin1String(folder))] = file.readAll();
    }
    QStringList placed;
    for (const auto &link : tarvex::tools::readLinkGraph(QString::fromUtf8(graph.readAll()), cmakeLists)) {
        if (link.line > 0 && link.file == link.fromFolder + QStringLiteral("/CMakeLists.txt"))
            placed << link.from + QStringLiteral(" → ") + link.to;
    }
    for (const char *arrow : {"tarvex_maps → tarvex_link", "tarvex_monitor → tarvex_maps", "tarvex_app → tarvex_widgets",
                              "tarvex_app → tarvex_service", "tarvex → tarvex_app"})
        EXPECT_TRUE(placed.contains(QString::fromUtf8(arrow))) << arrow << " in " << placed.join(", ").toStdString();
}

// The tree: a folder of sources the table does not list is named; build
// trees and hidden folders are not read.
TEST(LayerRules, AFolderOfSourcesTheTableDoesNotListIsNamed)
{
    QTemporaryDir root;
    auto write = [&root](const char *path, const QByteArray &content) {
        QDir(root.path()).mkpath(QFileInfo(root.filePath(QLatin1String(path))).path());
        QFile file(root.filePath(QLatin1String(path)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    };
    write("maps/MapFile.cpp", "#include \"report/Report.h\"\n#include \"MapFile.h\"\n");
    write("report/Report.h", "#pragma once\n");
    write("build/CMakeCache.txt", "");
    write("build/moc_x.cpp", "#include \"../report/Report.h\"\n");
    write(".git/x.cpp", "#include \"../report/Report.h\"\n");
    write("docs/notes.txt", "");
    const LayerRules rules = *LayerRules::parse(QStringLiteral("maps:\ndocs:\n"));
    EXPECT_EQ(described(tarvex::tools::checkTree(rules, root.path(), QString())),
              QStringList({QStringLiteral("maps/MapFile.cpp:1: includes \"report/Report.h\": maps → report: "
                                          "layers.txt does not list the folder report"),
                           QStringLiteral("report/: a folder of sources that layers.txt does not list")}));
}

} // namespace
