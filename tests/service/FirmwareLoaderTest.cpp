// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/FirmwareLoader.h"
#include "tests/support/FakeSerialSystem.h"
#include "tests/support/QtPrinters.h"

#include <gtest/gtest.h>

#include <deque>

using namespace tarvex;
using namespace tarvex::service;
using tarvex::test::FakeSerialSystem;

namespace {

TEST(FirmwareBlocks, CountNumberPadAndSum)
{
    EXPECT_EQ(firmwareBlockCount(0), 1);
    EXPECT_EQ(firmwareBlockCount(256), 3);
    EXPECT_EQ(firmwareBlockCount(30000), 235);
    EXPECT_EQ(nextBlockNumber(1), 2);
    EXPECT_EQ(nextBlockNumber(255), 1);

    const QByteArray block = firmwareBlock(2, QByteArray(1, char(0x10)));
    ASSERT_EQ(block.size(), 132);
    EXPECT_EQ(block.left(4), QByteArray::fromHex("0102FD10"));
    EXPECT_EQ(block.mid(4, 127), QByteArray(127, char(0xFF)));
    EXPECT_EQ(quint8(block[131]), (0x10 + 129) % 256) << "127 bytes of 0xFF add 129";

    const QByteArray full = firmwareBlock(255, QByteArray(200, char(1)));
    EXPECT_EQ(quint8(full[1]), 255);
    EXPECT_EQ(quint8(full[2]), 0);
    EXPECT_EQ(quint8(full[131]), 128);
}

// A loader on the fake line: echoes the handshake, then answers each block
// as the test says (ACK by default).
class Loader : public ::testing::Test {
protected:
    void SetUp() override
    {
        port.SetPort(QStringLiteral("ttyUSB0"));
        port.Open();
        sys->answer = [this](const QByteArray &written) -> QByteArray {
            const auto byte = static_cast<unsigned char>(written.at(0));
            if (!handshaken) {
                if (byte != 0x7B || silent)
                    return {};
                handshaken = true;
                return notReady ? QByteArray("{") : QByteArray("{\x15");
            }
            if (byte == 0x04 && block.isEmpty()) {
                eot = true;
                return {};
            }
            block += written;
            if (block.size() < 132)
                return {};
            blocks << block;
            block.clear();
            if (answers.empty())
                return QByteArray(1, char(0x06));
            const QByteArray a = answers.front();
            answers.pop_front();
            return a;
        };
    }

    FirmwareLoader::Outcome run(const QByteArray &image)
    {
        FirmwareLoader loader(port, *clock);
        return loader.run(image, [this](int n) { progress.push_back(n); });
    }

    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
    std::shared_ptr<FakeSerialSystem> sys = std::make_shared<FakeSerialSystem>(clock);
    link::TBComPort port{nullptr, sys};
    bool handshaken = false;
    bool silent = false;
    bool notReady = false;
    bool eot = false;
    QByteArray block;
    QList<QByteArray> blocks;
    std::deque<QByteArray> answers; // "" is no answer
    std::vector<int> progress;
};

TEST_F(Loader, AnEmptyImageIsHandshakeAndEotOnly)
{
    EXPECT_EQ(run(QByteArray()), FirmwareLoader::Outcome::Done);
    EXPECT_TRUE(blocks.isEmpty());
    EXPECT_TRUE(eot);
    EXPECT_EQ(sys->written().back(), char(0x04));
}

TEST_F(Loader, BlocksCarryTheImagePaddedWithFF)
{
    QByteArray image(129, char(0x42));
    EXPECT_EQ(run(image), FirmwareLoader::Outcome::Done);
    ASSERT_EQ(blocks.size(), 2);
    EXPECT_EQ(blocks[0], firmwareBlock(1, image));
    EXPECT_EQ(blocks[1], firmwareBlock(2, image.mid(128)));
    EXPECT_EQ(progress, (std::vector<int>{2, 3}));
    EXPECT_EQ(sys->callsNamed("write").size(), 1u + 2 * 132 + 1) << "one write per byte";
}

TEST_F(Loader, NumbersWrapFrom255To1)
{
    EXPECT_EQ(run(QByteArray(300 * 128, char(1))), FirmwareLoader::Outcome::Done);
    ASSERT_EQ(blocks.size(), 300);
    EXPECT_EQ(quint8(blocks[254][1]), 255);
    EXPECT_EQ(quint8(blocks[255][1]), 1);
    EXPECT_EQ(progress[253], 255);
    EXPECT_EQ(progress[254], 1);
}

TEST_F(Loader, TheTenthRejectionEndsTheTransferWhereverItFalls)
{
    for (int i = 0; i < 10; ++i) {
        answers.push_back("\x15");
        answers.push_back("\x06");
    }
    EXPECT_EQ(run(QByteArray(40 * 128, char(1))), FirmwareLoader::Outcome::TooManyRejected);
    EXPECT_EQ(blocks.size(), 19) << "nine blocks went through, the tenth NAK ends it";
    EXPECT_TRUE(eot);
}

TEST_F(Loader, OtherAnswersResendWithoutSpendingTheBudget)
{
    for (int i = 0; i < 9; ++i)
        answers.push_back("?");
    EXPECT_EQ(run(QByteArray(128, char(1))), FirmwareLoader::Outcome::Done);
    EXPECT_EQ(blocks.size(), 10);
    EXPECT_EQ(blocks[0], blocks[9]);
}

TEST_F(Loader, ALoaderThatAlwaysAnswersSomethingElseEndsWithinItsBound)
{
    sys->answer = [this, ready = false](const QByteArray &written) mutable -> QByteArray {
        if (!ready && written == "{") {
            ready = true;
            return "{\x15";
        }
        if (written.size() == 1 && written[0] == char(0x04))
            eot = true;
        block += written;
        if (block.size() < 132)
            return {};
        blocks << block;
        block.clear();
        return QByteArray(1, '\0');
    };
    const double start = clock->nowMs();
    FirmwareLoader loader(port, *clock);
    const auto outcome = loader.run(QByteArray(50 * 128, char(1)), {});
    EXPECT_EQ(outcome, FirmwareLoader::Outcome::UnexpectedAnswers);
    EXPECT_EQ(blocks.size(), 10) << "ten sendings of the first block, no more";
    EXPECT_LT(clock->nowMs() - start, 1000);
    EXPECT_TRUE(eot);
    EXPECT_EQ(loader.message(outcome, 0),
              QStringLiteral("ЭБУ 10 раз подряд ответил на блок непонятным байтом (последний 0x00). Обновление ПО прервано."));
}

TEST_F(Loader, ASilentLoaderEndsWithinItsBound)
{
    silent = true;
    EXPECT_EQ(run(QByteArray(128, char(1))), FirmwareLoader::Outcome::LoaderSilent);
    EXPECT_LE(clock->nowMs(), 5100);
    EXPECT_FALSE(eot);
    EXPECT_EQ(sys->written(), QByteArray(sys->written().size(), '{')) << "nothing but calls";
}

TEST_F(Loader, ALoaderThatNeverSaysReady)
{
    notReady = true;
    EXPECT_EQ(run(QByteArray(128, char(1))), FirmwareLoader::Outcome::LoaderNotReady);
    EXPECT_TRUE(blocks.isEmpty());
}

TEST_F(Loader, BlocksWithoutAnAnswerAreResentUntilTenInARow)
{
    answers = {"", "", "\x06"};
    EXPECT_EQ(run(QByteArray(128, char(1))), FirmwareLoader::Outcome::Done);
    EXPECT_EQ(blocks.size(), 3);

    blocks.clear();
    handshaken = false;
    answers = std::deque<QByteArray>(12, QByteArray());
    const double start = clock->nowMs();
    EXPECT_EQ(run(QByteArray(128, char(1))), FirmwareLoader::Outcome::NoAnswer);
    EXPECT_EQ(blocks.size(), 10);
    EXPECT_NEAR(clock->nowMs() - start, 10 * 1000, 200) << "each silent block waits a second";
    EXPECT_TRUE(eot);
}

TEST(FirmwareMessages, SuccessAndEachFailureSayDifferentThingsInBothLanguages)
{
    auto sys = std::make_shared<FakeSerialSystem>();
    link::TBComPort port{nullptr, sys};
    ManualClock clock;
    const FirmwareLoader loader(port, clock);
    for (int language : {0, 1}) {
        QStringList texts;
        for (auto o : {FirmwareLoader::Outcome::Done, FirmwareLoader::Outcome::LoaderSilent,
                       FirmwareLoader::Outcome::LoaderNotReady, FirmwareLoader::Outcome::TooManyRejected,
                       FirmwareLoader::Outcome::NoAnswer, FirmwareLoader::Outcome::UnexpectedAnswers})
            texts << loader.message(o, language);
        texts.removeDuplicates();
        EXPECT_EQ(texts.size(), 6);
        EXPECT_EQ(texts[0], language == 0 ? QStringLiteral("Обновление ПО завершено.")
                                          : QStringLiteral("The firmware update is complete."));
    }
}

} // namespace
