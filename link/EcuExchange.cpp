// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/EcuExchange.h"

namespace tarvex::link {

EcuExchange::EcuExchange(TBComPort &port, Clock &clock, Hooks hooks)
    : m_port(port), m_clock(clock), m_hooks(std::move(hooks))
{
}

QByteArray EcuExchange::run(CommandId id, const QByteArray &frame, bool resume)
{
    const Command &c = command(id);
    const QByteArray &bytes = frame.isEmpty() ? c.frame : frame;

    if (c.pauseLiveData && m_hooks.setLiveData)
        m_hooks.setLiveData(false);
    m_clock.sleepMs(c.preWait);

    const bool write = c.guard != Guard::ConnectedPurgeWrite || m_port.Connected();
    if (write) {
        // Whatever is still waiting (the tail of a slower reply) is not ours.
        m_port.ClearBuffer(true, true);
        m_port.WriteStr(bytes);
        m_clock.sleepMs(c.connectedWait);
    }
    if (c.waitProcessesEvents && m_hooks.waitProcessingEvents)
        m_hooks.waitProcessingEvents(c.replyWait);
    else
        m_clock.sleepMs(c.replyWait);

    QByteArray reply;
    if (c.replyLimit > 0)
        m_port.ReadStr(reply, c.replyLimit);

    if (c.pauseLiveData && resume && m_hooks.setLiveData)
        m_hooks.setLiveData(true);
    return reply;
}

QByteArray connectReplyText(const QByteArray &reply)
{
    const qsizetype open = reply.indexOf('[');
    if (open < 0)
        return QByteArray();
    const qsizetype close = reply.indexOf(']', open + 1);
    if (close < 0)
        return QByteArray();
    return reply.mid(open + 1, close - open - 1);
}

} // namespace tarvex::link
