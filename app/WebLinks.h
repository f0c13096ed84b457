// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QUrl>

namespace tarvex::app {

// The maker's addresses behind the two link labels.
struct WebLinks {
    QString siteCaption;
    QUrl site;
    QUrl vkPage;
};

const WebLinks &webLinks();

} // namespace tarvex::app
