#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <map>
#include <optional>
#include <vector>

namespace tarvex::tools {

// The arrows allowed between the source folders, and the includes of a file
// that cross any other. A folder's files may always include its own.
class LayerRules {
public:
    // One line a folder: "folder: folders it may include", "*" for any;
    // "#" starts a comment. None, with the reason, for a malformed table.
    static std::optional<LayerRules> parse(const QString &table, QString *error = nullptr);

    struct Violation {
        QString file;
        int line = 0;
        QString include;
        QString from; // the file's folder
        QString to;   // the included file's folder
    };
    // `file` is the path below the source folder, as "maps/MapFile.cpp".
    std::vector<Violation> check(const QString &file, const QByteArray &content) const;

    QStringList folders() const;
    static QString describe(const Violation &v);

private:
    struct Layer {
        bool any = false;
        QStringList allowed;
    };
    std::map<QString, Layer> m_layers;
};

} // namespace tarvex::tools
