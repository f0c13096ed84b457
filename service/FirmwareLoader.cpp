// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/FirmwareLoader.h"
#include "lang/RunTimeTexts.h"

namespace tarvex::service {

namespace {
constexpr unsigned char kSoh = 0x01;
constexpr unsigned char kEot = 0x04;
constexpr unsigned char kAck = 0x06;
constexpr unsigned char kNak = 0x15;
constexpr unsigned char kHandshake = 0x7B;
} // namespace

int firmwareBlockCount(qint64 size)
{
    return int(size / kFirmwareBlockData + 1);
}

QByteArray firmwareBlock(int number, QByteArrayView data)
{
    QByteArray block;
    block.reserve(kFirmwareBlockData + 4);
    block.append(char(kSoh));
    block.append(char(number));
    block.append(char(255 - number));
    QByteArray payload = data.first(std::min<qsizetype>(data.size(), kFirmwareBlockData)).toByteArray();
    payload.append(kFirmwareBlockData - payload.size(), char(0xFF));
    unsigned sum = 0;
    for (char c : payload)
        sum += static_cast<unsigned char>(c);
    block.append(payload);
    block.append(char(sum & 0xFF));
    return block;
}

int nextBlockNumber(int number)
{
    return number >= 255 ? 1 : number + 1;
}

FirmwareLoader::FirmwareLoader(link::TBComPort &port, Clock &clock, Limits limits)
    : m_port(port), m_clock(clock), m_limits(limits)
{
}

FirmwareLoader::FirmwareLoader(link::TBComPort &port, Clock &clock) : FirmwareLoader(port, clock, Limits()) {}

bool FirmwareLoader::writeByte(unsigned char byte)
{
    return m_port.Write(&byte, 1) == 1;
}

int FirmwareLoader::readByte()
{
    unsigned char byte = 0;
    return m_port.Read(&byte, 1) == 1 ? byte : -1;
}

int FirmwareLoader::awaitByte(int ms)
{
    // Woken by the byte itself: a look every millisecond cost most of a
    // millisecond a block in late looks and oversleeping.
    const double deadline = m_clock.nowMs() + ms;
    for (;;) {
        const int byte = readByte();
        const double left = deadline - m_clock.nowMs();
        if (byte >= 0 || left <= 0)
            return byte;
        m_port.WaitForInput(std::max(1, int(left)));
    }
}

FirmwareLoader::Outcome FirmwareLoader::run(const QByteArray &image, const std::function<void(int)> &progress)
{
    m_blocksSent = 0;
    // Handshake, first half: "{" until the loader echoes one. A byte a
    // millisecond stands in for the pace of a real line.
    const double start = m_clock.nowMs();
    for (;;) {
        writeByte(kHandshake);
        if (readByte() == kHandshake)
            break;
        if (m_clock.nowMs() - start >= m_limits.handshakeMs)
            return Outcome::LoaderSilent;
        m_clock.sleepMs(1);
    }
    // Second half: the loader says it is ready.
    const double echoed = m_clock.nowMs();
    while (readByte() != kNak) {
        if (m_clock.nowMs() - echoed >= m_limits.handshakeMs)
            return Outcome::LoaderNotReady;
        m_clock.sleepMs(1);
    }
    m_port.ClearBuffer(true, true);

    RetryBudget budget;
    int number = 1;
    // Silence or any byte but ACK and NAK resends the block; the run of
    // them is bounded, so no line and no loader can keep the engine stopped.
    int unansweredInRow = 0;
    bool otherInRun = false;
    m_lastOther = -1;
    Outcome outcome = Outcome::Done;
    for (qsizetype offset = 0; offset < image.size() && budget.left(); offset += kFirmwareBlockData) {
        const QByteArray block = firmwareBlock(number, QByteArrayView(image).sliced(offset));
        bool accepted = false;
        while (budget.left() && !accepted) {
            for (char byte : block)
                writeByte(static_cast<unsigned char>(byte));
            ++m_blocksSent;
            m_clock.sleepMs(m_limits.firstLookMs);
            const int answer = awaitByte(m_limits.answerMs - m_limits.firstLookMs);
            if (answer == kAck || answer == kNak) {
                unansweredInRow = 0;
                otherInRun = false;
                if (answer == kAck)
                    accepted = true;
                else
                    budget.spend();
                continue;
            }
            if (answer >= 0) {
                m_lastOther = answer;
                otherInRun = true;
            }
            if (++unansweredInRow >= m_limits.unansweredInRow) {
                outcome = otherInRun ? Outcome::UnexpectedAnswers : Outcome::NoAnswer;
                break;
            }
        }
        if (outcome != Outcome::Done)
            break;
        number = nextBlockNumber(number);
        m_clock.sleepMs(m_limits.pauseMs);
        if (progress)
            progress(number);
    }
    if (outcome == Outcome::Done && !budget.left())
        outcome = Outcome::TooManyRejected;
    writeByte(kEot);
    return outcome;
}

QString FirmwareLoader::message(Outcome outcome, int language) const
{
    using lang::Text;
    switch (outcome) {
    case Outcome::Done: return lang::runTimeText(lang::Text::FirmwareDone, language);
    case Outcome::LoaderSilent: return lang::runTimeText(lang::Text::FirmwareLoaderSilent, language);
    case Outcome::LoaderNotReady: return lang::runTimeText(lang::Text::FirmwareLoaderNotReady, language);
    case Outcome::TooManyRejected: return lang::runTimeText(lang::Text::FirmwareTooManyRejected, language);
    case Outcome::NoAnswer: return lang::runTimeText(lang::Text::FirmwareNoAnswer, language);
    case Outcome::UnexpectedAnswers:
        return lang::runTimeText(lang::Text::FirmwareUnexpectedAnswers, language)
            .arg(QString::number(m_lastOther & 0xFF, 16).toUpper().rightJustified(2, QLatin1Char('0')));
    }
    return QString();
}

} // namespace tarvex::service
