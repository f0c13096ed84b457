// tarvex-layers SOURCE_DIR: every include of the sources checked against the
// arrows of SOURCE_DIR/layers.txt; each one that crosses another is printed
// with its file and line, and the exit code is 1.
#include "tools/LayerRules.h"

#include <QDirIterator>
#include <QFile>
#include <cstdio>

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fputs("Usage: tarvex-layers SOURCE_DIR\n", stderr);
        return 2;
    }
    const QString root = QString::fromLocal8Bit(argv[1]);
    QFile tableFile(root + QStringLiteral("/layers.txt"));
    if (!tableFile.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "tarvex-layers: cannot read %s\n", qPrintable(tableFile.fileName()));
        return 2;
    }
    QString error;
    const std::optional<tarvex::tools::LayerRules> rules =
        tarvex::tools::LayerRules::parse(QString::fromUtf8(tableFile.readAll()), &error);
    if (!rules) {
        std::fprintf(stderr, "tarvex-layers: layers.txt, %s\n", qPrintable(error));
        return 2;
    }
    int violations = 0;
    for (const QString &folder : rules->folders()) {
        QDirIterator it(root + QLatin1Char('/') + folder, {QStringLiteral("*.h"), QStringLiteral("*.cpp")}, QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QFile file(it.next());
            if (!file.open(QIODevice::ReadOnly))
                continue;
            const QString relative = file.fileName().mid(root.size() + 1);
            for (const auto &v : rules->check(relative, file.readAll())) {
                std::fprintf(stderr, "%s\n", qPrintable(tarvex::tools::LayerRules::describe(v)));
                ++violations;
            }
        }
    }
    return violations == 0 ? 0 : 1;
}
