// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/LiveSilence.h"

namespace tarvex::monitor {

bool LiveSilence::tick(bool data)
{
    const bool back = data && m_quiet >= kRestartTicks;
    m_quiet = data ? 0 : m_quiet + 1;
    return back;
}

} // namespace tarvex::monitor
