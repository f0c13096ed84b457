// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "tools/LayerRules.h"

#include <QByteArray>
#include <QString>
#include <map>
#include <vector>

namespace tarvex::tools {

// The links of the graph LayerLinks.cmake writes when CMake configures
// ("FROM\tFROM_FOLDER\tTO\tTO_FOLDER" a line, TO_FOLDER empty for an item
// CMake could not name), each placed at the line of the CMakeLists.txt
// (`cmakeLists`: path below the source folder → text) that makes it.
std::vector<LayerRules::Link> readLinkGraph(const QString &graph, const std::map<QString, QByteArray> &cmakeLists);

// The whole tree below `root` against the rules: the includes of every
// source file, every folder that holds sources, and the links of
// `linkGraph` (a graph's text as above; empty: links not checked).
std::vector<LayerRules::Violation> checkTree(const LayerRules &rules, const QString &root, const QString &linkGraph);

} // namespace tarvex::tools
