// The check of the layers: what crosses an arrow the table does not have is
// named with its file, line and arrow.
#include "tools/LayerRules.h"

#include <gtest/gtest.h>

#include <QFile>

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
        EXPECT_EQ(int(rules.check(QString::fromLatin1(c.file), c.content).size()), c.violations) << c.file;

    const auto upward = rules.check(QStringLiteral("maps/MapFile.cpp"), "// a comment\n#include \"app/RunTimeTexts.h\"\n");
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
        EXPECT_EQ(rules.check(QString::fromLatin1(a.file), content).empty(), a.allowed) << a.file << " " << a.include;
    }
}

} // namespace
