// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/BCPort.h"
#include "link/Clock.h"

#include <QByteArray>
#include <QString>
#include <functional>

namespace tarvex::service {

constexpr int kFirmwareBlockData = 128;

// Blocks shown for an image: size div 128 + 1 (an image of whole blocks
// shows one more than it sends).
int firmwareBlockCount(qint64 size);

// One block on the wire: SOH, number, 255 − number, 128 data bytes padded
// with 0xFF, and the sum of the data bytes modulo 256.
QByteArray firmwareBlock(int number, QByteArrayView data);

// Block numbers run 1 … 255 and then start again at 1.
int nextBlockNumber(int number);

// Negative answers a transfer tolerates in all, shared by its blocks.
class RetryBudget {
public:
    static constexpr int kStart = 10;
    bool left() const { return m_left > 0; }
    void spend() { --m_left; }
    int remaining() const { return m_left; }

private:
    int m_left = kStart;
};

// Talks to the ECU's loader byte by byte: handshake, blocks, EOT. Every
// wait is bounded, so a silent loader ends the transfer with a reason.
class FirmwareLoader {
public:
    enum class Outcome { Done, LoaderSilent, LoaderNotReady, TooManyRejected, NoAnswer, UnexpectedAnswers };

    struct Limits {
        int handshakeMs = 5000;      // for each half of the handshake
        int firstLookMs = 10;        // the answer is first read this long after a block
        int answerMs = 1000;         // and looked for up to this long
        // Sendings of a block in a row answered by neither ACK nor NAK (by
        // silence or another byte) that end the transfer.
        int unansweredInRow = 10;
        int pauseMs = 30;            // between blocks
    };

    FirmwareLoader(link::TBComPort &port, Clock &clock, Limits limits);
    FirmwareLoader(link::TBComPort &port, Clock &clock);

    // Sends the image; `progress` gets the new block number after each block.
    Outcome run(const QByteArray &image, const std::function<void(int blockNumber)> &progress);

    int blocksSent() const { return m_blocksSent; }

    // The byte of the last answer that was neither ACK nor NAK; -1: none.
    int lastOtherAnswer() const { return m_lastOther; }

    // The fitter's message for the outcome of the last run; language as the
    // language box's index.
    QString message(Outcome outcome, int language) const;

private:
    bool writeByte(unsigned char byte);
    int readByte(); // -1 when nothing has arrived
    int awaitByte(int ms);

    link::TBComPort &m_port;
    Clock &m_clock;
    Limits m_limits;
    int m_blocksSent = 0;
    int m_lastOther = -1;
};

} // namespace tarvex::service
