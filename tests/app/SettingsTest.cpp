// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ColorLabel.h"
#include "maps/SettingsFile.h"
#include "tests/app/FormFixture.h"

#include <QCloseEvent>

using namespace tarvex;
using namespace tarvex::test;
using maps::kButtonFaceColor;

namespace {

class SettingsFile : public FormFixture {};

TEST_F(SettingsFile, FirstStartUsesTheDefaultsAndCloseWritesThem)
{
    auto form = makeForm();
    EXPECT_TRUE(dialogs->messages.empty());
    for (int k = 0; k < maps::kBandCount; ++k)
        EXPECT_EQ(form->BandLabels[size_t(k)]->Color(), maps::defaultBandColors()[size_t(k)]);
    EXPECT_EQ(form->BandLabels[0]->palette().color(QPalette::Window), QColor(0xA4, 0x06, 0xB0));
    EXPECT_TRUE(form->close());
    const QList<QByteArray> lines = iniLines();
    ASSERT_EQ(lines.size(), 21);
    EXPECT_EQ(lines.first(), QByteArray("11536036"));
    EXPECT_EQ(lines.last(), QByteArray("10921727"));
}

TEST_F(SettingsFile, AChosenColourSurvivesARestart)
{
    {
        auto form = makeForm();
        form->BandLabels[11]->SetColor(0x00123456);
        form->close();
    }
    EXPECT_EQ(iniLines().value(11), QByteArray::number(0x00123456));
    auto again = makeForm();
    EXPECT_EQ(again->BandLabels[11]->Color(), 0x00123456);
    EXPECT_EQ(again->BandLabels[11]->palette().color(QPalette::Window), QColor(0x56, 0x34, 0x12));
    EXPECT_EQ(again->BandLabels[10]->Color(), maps::defaultBandColors()[10]);
}

TEST_F(SettingsFile, ABadLineStopsTheReadingAndIsReported)
{
    writeIni("1\r\n2\r\n\r\n4\r\n");
    auto form = makeForm();
    ASSERT_EQ(dialogs->messages.size(), 1u);
    EXPECT_EQ(dialogs->messages[0].icon, widgets::Dialogs::Icon::Critical);
    EXPECT_EQ(dialogs->messages[0].text, QStringLiteral("'' is not a valid integer value."));
    EXPECT_EQ(form->BandLabels[0]->Color(), 1);
    EXPECT_EQ(form->BandLabels[1]->Color(), 2);
    for (int k = 2; k < maps::kBandCount; ++k)
        EXPECT_EQ(form->BandLabels[size_t(k)]->Color(), maps::kButtonFaceColor);
    // The background colour is a system colour, drawn from the palette.
    EXPECT_EQ(form->BandLabels[2]->palette().color(QPalette::Window), form->palette().color(QPalette::Button));
    form->close();
    const QList<QByteArray> lines = iniLines();
    ASSERT_EQ(lines.size(), 21);
    EXPECT_EQ(lines[0], QByteArray("1"));
    EXPECT_EQ(lines[2], QByteArray("-16777201"));
    EXPECT_EQ(lines[20], QByteArray("-16777201"));
}

TEST(SettingsFileReader, ReadsSignedNumbersAndIgnoresWhatFollowsLine21)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("tarvex.ini"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    for (int k = 0; k < 21; ++k)
        f.write(QByteArray::number(k - 10) + (k % 2 ? "\r\n" : "\n"));
    f.write("garbage\r\nmore\r\n");
    f.close();
    const maps::SettingsRead read = maps::readSettingsFile(path);
    EXPECT_TRUE(read.opened);
    EXPECT_TRUE(read.error.isEmpty());
    ASSERT_EQ(read.colors.size(), 21u);
    EXPECT_EQ(read.colors.front(), -10);
    EXPECT_EQ(read.colors.back(), 10);
}

TEST_F(SettingsFile, AHugeOrBinaryFileIsOneMessageAndIsReplacedWholeAtClose)
{
    {
        QFile f(iniPath());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_TRUE(f.resize(100LL * 1024 * 1024)); // zero bytes, no line break
    }
    auto form = makeForm();
    ASSERT_EQ(dialogs->messages.size(), 1u);
    EXPECT_TRUE(dialogs->messages[0].text.endsWith(QStringLiteral("is not a valid integer value.")));
    EXPECT_LT(dialogs->messages[0].text.size(), 400) << "the message quotes only the start of the line";
    EXPECT_EQ(form->BandLabels[0]->Color(), maps::kButtonFaceColor);
    form->close();
    EXPECT_EQ(iniLines().size(), 21);
    EXPECT_LT(QFileInfo(iniPath()).size(), 400);
}

TEST(SettingsFileReader, ShortFilesAndWordsAreConversionErrors)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("tarvex.ini"));
    auto readWith = [&](const QByteArray &content) {
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(content);
        f.close();
        return maps::readSettingsFile(path);
    };
    maps::SettingsRead r = readWith("5\r\n6\r\n");
    EXPECT_EQ(r.colors, (std::vector<int32_t>{5, 6}));
    EXPECT_EQ(r.error, QStringLiteral("'' is not a valid integer value"));
    r = readWith("5\r\nred\r\n");
    EXPECT_EQ(r.colors, (std::vector<int32_t>{5}));
    EXPECT_EQ(r.error, QStringLiteral("'red' is not a valid integer value"));
    r = readWith("\xCF\r\n");
    EXPECT_EQ(r.error, QStringLiteral("'П' is not a valid integer value")) << "code page 1251";
    // A long line is one band, not two.
    r = readWith(QByteArray(300, ' ') + "12\r\n7\r\n");
    EXPECT_EQ(r.colors, (std::vector<int32_t>{12, 7}));
    EXPECT_FALSE(maps::readSettingsFile(dir.filePath(QStringLiteral("none.ini"))).opened);
}

TEST_F(SettingsFile, CloseWritesEvenWhenThePortWillNotCloseCleanly)
{
    auto form = makeForm();
    form->cbport->setEditText(QStringLiteral("ttyUSB0"));
    press(*form, &app::TTarvexMainForm::ComConnectButtonClick);
    ASSERT_TRUE(form->BComPort1->Connected());
    serial->failOn(QStringLiteral("clearDtr"), EFAULT, 1);
    EXPECT_TRUE(form->close());
    EXPECT_EQ(dialogs->texts().last(), QStringLiteral("Ошибка функции EscapeCommFunction."));
    EXPECT_FALSE(form->BComPort1->Connected());
    EXPECT_EQ(iniLines().size(), 21);
}

TEST_F(SettingsFile, AFailedWriteIsReportedAndTheWindowStillCloses)
{
    app::FormServices s = services();
    s.settingsPath = dir.filePath(QStringLiteral("no-such-folder/tarvex.ini"));
    app::TTarvexMainForm form(s);
    EXPECT_TRUE(form.close());
    ASSERT_EQ(dialogs->messages.size(), 1u);
    EXPECT_TRUE(dialogs->messages[0].text.contains(QStringLiteral("tarvex.ini")));
    EXPECT_FALSE(QFile::exists(s.settingsPath));
}

} // namespace
