// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/ComPortMessages.h"
#include "link/LineSettings.h"
#include "link/SerialSystem.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

namespace tarvex::link {

class TBComPort;

enum TSyncMethod { smThreadSync, smWindowSync, smNone };
enum TComError { ceFrame, ceRxParity, ceOverrun, ceBreak, ceIO, ceMode, ceRxOver, ceTxFull };
enum TLineSignal { lsCTS, lsDSR, lsRing, lsRLSD };
enum TLineEvent { leRxChar, leTxEmpty, leRing, leCTS, leDSR, leRLSD, leError, leRx80Full };

// A small set of enumeration members, one bit per ordinal.
template <typename E>
class EnumSet {
public:
    constexpr EnumSet() = default;
    constexpr EnumSet(std::initializer_list<E> members)
    {
        for (E m : members)
            insert(m);
    }
    constexpr void insert(E m) { m_bits |= 1u << unsigned(m); }
    constexpr bool contains(E m) const { return m_bits & (1u << unsigned(m)); }
    constexpr bool empty() const { return m_bits == 0; }
    constexpr unsigned bits() const { return m_bits; }
    constexpr bool operator==(const EnumSet &) const = default;

private:
    unsigned m_bits = 0;
};
using TComErrors = EnumSet<TComError>;
using TLineSignals = EnumSet<TLineSignal>;
using TLineEvents = EnumSet<TLineEvent>;

class TComThread;

// The system's event codes and the set they stand for.
TLineEvents lineEventsFromCodes(uint32_t codes);
uint32_t lineEventCode(TLineEvent event);

using TNotifyEvent = std::function<void(QObject *sender)>;
using TComSignalEvent = std::function<void(QObject *sender, bool state)>;
using TComErrorEvent = std::function<void(QObject *sender, TComErrors errors)>;
using TRxCharEvent = std::function<void(QObject *sender, int count)>;

// Objects that can copy their state from one another.
class TPersistent {
public:
    virtual ~TPersistent() = default;
    // Copies from source; refused when source is of another class.
    virtual void Assign(const TPersistent &source);
    virtual QString ClassName() const { return QStringLiteral("TPersistent"); }

protected:
    virtual void AssignTo(TPersistent &dest) const;
};

class TComTimeouts final : public TPersistent {
public:
    explicit TComTimeouts(TBComPort *owner) : m_owner(owner) {}

    int32_t ReadInterval() const { return m_values[0]; }
    int32_t ReadTotalMultiplier() const { return m_values[1]; }
    int32_t ReadTotalConstant() const { return m_values[2]; }
    int32_t WriteTotalMultiplier() const { return m_values[3]; }
    int32_t WriteTotalConstant() const { return m_values[4]; }
    void SetReadInterval(int32_t v) { set(0, v); }
    void SetReadTotalMultiplier(int32_t v) { set(1, v); }
    void SetReadTotalConstant(int32_t v) { set(2, v); }
    void SetWriteTotalMultiplier(int32_t v) { set(3, v); }
    void SetWriteTotalConstant(int32_t v) { set(4, v); }

    void Assign(const TPersistent &source) override;
    QString ClassName() const override { return QStringLiteral("TComTimeouts"); }

    // The values as the system takes them: negatives as all bits set.
    CommTimeouts toSystem() const;

private:
    void set(int index, int32_t value);

    TBComPort *m_owner;
    int32_t m_values[5] = {-1, 0, 0, 100, 1000};
};

// One serial port of the system: settings from its properties, blocking
// transfers, purges, and every failure as an EComPort with a fixed text.
class TBComPort : public QObject {
public:
    explicit TBComPort(QObject *owner = nullptr, std::shared_ptr<SerialSystem> system = defaultSerialSystem());
    ~TBComPort() override;

    TBComPort(const TBComPort &) = delete;
    TBComPort &operator=(const TBComPort &) = delete;

    // Published properties.
    TBaudRate BaudRate() const { return m_baudRate; }
    void SetBaudRate(TBaudRate value);
    TByteSize ByteSize() const { return m_byteSize; }
    void SetByteSize(TByteSize value);
    int InBufSize() const { return m_inBufSize; }
    void SetInBufSize(int value);
    int OutBufSize() const { return m_outBufSize; }
    void SetOutBufSize(int value);
    TParity Parity() const { return m_parity; }
    void SetParity(TParity value);
    QString Port() const { return m_port; }
    void SetPort(const QString &value);
    TSyncMethod SyncMethod() const { return m_syncMethod; }
    void SetSyncMethod(TSyncMethod value);
    TStopBits StopBits() const { return m_stopBits; }
    void SetStopBits(TStopBits value);
    TComTimeouts &Timeouts() { return m_timeouts; }
    const TComTimeouts &Timeouts() const { return m_timeouts; }
    void SetTimeouts(const TComTimeouts &value);

    TComSignalEvent OnCTSChange;
    TComSignalEvent OnDSRChange;
    TComErrorEvent OnError;
    TNotifyEvent OnRing;
    TComSignalEvent OnRLSDChange;
    TNotifyEvent OnRx80Full;
    TRxCharEvent OnRxChar;
    TNotifyEvent OnTxEmpty;

    bool Connected() const { return m_connected; }
    // The system's error of the last open, transfer or purge that failed
    // (0: none since the port was opened): tells a vanished device from
    // others, and why an open was refused.
    int LastError() const { return m_lastError; }

    void Open();
    void Close();
    void ClearBuffer(bool input, bool output);
    int WriteStr(const QByteArray &str);
    int Write(const void *buffer, int count);
    int ReadStr(QByteArray &str, int count);
    int Read(void *buffer, int count);
    // Waits until input has arrived, at most `ms`, without reading it; true
    // when some has (or the line has gone, which the next read tells).
    bool WaitForInput(int ms);
    void SetDTRLine(bool state);
    void SetRTSLine(bool state);
    int PendingInput();
    TLineSignals LineSignals();
    void AbortTransfers();

    // Apply steps; each does nothing while the port is closed.
    void ApplyBufferSizes();
    void ApplyLineSettings();
    void ApplyTimeouts();

    SerialSystem &system() { return *m_system; }
    SerialSystem::Handle handle() const { return m_handle; }

    // The events the thread saw last.
    TLineEvents LastEvents() const;
    // The handler work of a set of events, in the order error, received
    // characters, output empty, ring, CTS, DSR, RLSD, 80 percent full.
    void HandleLineEvents(TLineEvents events);
    void HandleLineEvent(uint32_t code);
    // Called by the event thread; false ends its run.
    bool DeliverLineEvents(TLineEvents events, TComThread &thread);
    // Runs the deliveries waiting for the window's thread.
    void ServeDeliveries();
    // Whether a delivery waits for the window's thread.
    bool DeliveryPending();
    // Where an error of a delivery through the event window is reported.
    static void SetApplicationExceptionHandler(std::function<void(const QString &message)> handler);

private:
    void ApplySettings();
    bool handleValid() const { return m_handle != SerialSystem::kInvalidHandle; }
    int escape(EscapeFunction function);
    int purge(uint32_t flags);
    void CreateEventThread();
    void FreeEventThread();
    uint32_t ClearErrorState();
    struct Delivery;
    std::unique_ptr<TComThread> m_thread;
    std::unique_ptr<QObject> m_eventWindow;
    std::mutex m_deliveryMutex;
    std::deque<std::shared_ptr<Delivery>> m_deliveries;
    std::atomic<unsigned> m_lastEvents{0};

    std::shared_ptr<SerialSystem> m_system;
    SerialSystem::Handle m_handle = SerialSystem::kInvalidHandle;
    bool m_connected = false;
    int m_lastError = 0;

    TBaudRate m_baudRate = br9600;
    TByteSize m_byteSize = bs8;
    int m_inBufSize = 2048;
    int m_outBufSize = 2048;
    TParity m_parity = paNone;
    QString m_port = QStringLiteral("COM2");
    TSyncMethod m_syncMethod = smThreadSync;
    TStopBits m_stopBits = sb1;
    TComTimeouts m_timeouts{this};
};

// Replaces strings with the serial ports of the system, sorted without
// regard to case. Raises message 15 and leaves strings alone on failure.
void ListSerialPorts(QStringList &strings, SerialSystem &system = *defaultSerialSystem());

} // namespace tarvex::link
