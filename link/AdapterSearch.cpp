// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/AdapterSearch.h"

namespace tarvex::link {

void AdapterSearch::begin(const QString &remembered, const QString &lostNode, const QStringList &ports)
{
    m_remembered = remembered;
    m_before = ports;
    // Still listed while the kernel takes it down; its return is news.
    m_before.removeAll(lostNode);
    m_refused.clear();
}

QString AdapterSearch::choose(bool rememberedPresent, const QStringList &ports)
{
    const bool refusedThere = m_refused == m_remembered ? rememberedPresent : ports.contains(m_refused);
    if (!refusedThere)
        m_refused.clear(); // gone again: the next one plugged in is asked
    if (rememberedPresent)
        return m_remembered == m_refused ? QString() : m_remembered;
    QStringList appeared;
    for (const QString &port : ports)
        if (!m_before.contains(port))
            appeared << port;
    if (appeared.size() != 1 || appeared[0] == m_refused)
        return QString();
    return appeared[0];
}

} // namespace tarvex::link
