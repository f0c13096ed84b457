// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/WebLinks.h"

namespace tarvex::app {

const WebLinks &webLinks()
{
    static const WebLinks links{QStringLiteral("tarvex.example.org"), QUrl(QStringLiteral("https://tarvex.example.org/")),
                                QUrl(QStringLiteral("https://vk.example.org/tarvex"))};
    return links;
}

} // namespace tarvex::app
