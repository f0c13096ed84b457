// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/PortRegistry.h"

#include <unistd.h>

namespace tarvex::link {

QString portRegistryDir()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty())
        return runtime + QStringLiteral("/tarvex/ports");
    return QStringLiteral("/tmp/tarvex-%1/ports").arg(getuid());
}

} // namespace tarvex::link
