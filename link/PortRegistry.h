// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace tarvex::link {

// Folder where virtual ports (the ECU simulator's pseudo-terminals) are
// registered, one symbolic link each:
// $XDG_RUNTIME_DIR/tarvex/ports, or /tmp/tarvex-UID/ports without it.
QString portRegistryDir();

} // namespace tarvex::link
