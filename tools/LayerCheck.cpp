// SPDX-License-Identifier: GPL-3.0-or-later
// tarvex-layers SOURCE_DIR [LINK_GRAPH]: every include of the sources, and
// every link between the project's targets that CMake holds (LINK_GRAPH,
// written when the build folder is configured), checked against the arrows
// of SOURCE_DIR/layers.txt; each one that crosses another is printed with
// its file, line and arrow, and the exit code is 1.
#include "tools/LayerTree.h"

#include <QFile>
#include <cstdio>

namespace {

QString readText(const QString &path, bool *ok)
{
    QFile file(path);
    *ok = file.open(QIODevice::ReadOnly);
    return QString::fromUtf8(file.readAll());
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2 && argc != 3) {
        std::fputs("Usage: tarvex-layers SOURCE_DIR [LINK_GRAPH]\n", stderr);
        return 2;
    }
    const QString root = QString::fromLocal8Bit(argv[1]);
    bool ok = false;
    const QString table = readText(root + QStringLiteral("/layers.txt"), &ok);
    if (!ok) {
        std::fprintf(stderr, "tarvex-layers: cannot read %s/layers.txt\n", argv[1]);
        return 2;
    }
    QString error;
    const std::optional<tarvex::tools::LayerRules> rules = tarvex::tools::LayerRules::parse(table, &error);
    if (!rules) {
        std::fprintf(stderr, "tarvex-layers: layers.txt, %s\n", qPrintable(error));
        return 2;
    }
    const QString graph = argc == 3 ? readText(QString::fromLocal8Bit(argv[2]), &ok) : QString();
    if (!ok) {
        std::fprintf(stderr, "tarvex-layers: cannot read the link graph %s\n", argv[2]);
        return 2;
    }
    const auto violations = tarvex::tools::checkTree(*rules, root, graph);
    for (const auto &v : violations)
        std::fprintf(stderr, "%s\n", qPrintable(tarvex::tools::LayerRules::describe(v)));
    return violations.empty() ? 0 : 1;
}
