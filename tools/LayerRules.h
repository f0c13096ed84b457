// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
#include <map>
#include <optional>
#include <vector>

namespace tarvex::tools {

// The arrows allowed between the source folders, and the includes and links
// that cross any other. A folder's files may always include its own.
class LayerRules {
public:
    // One line a folder: "folder: folders it may include", "*" for any;
    // "#" starts a comment. None, with the reason, for a malformed table.
    static std::optional<LayerRules> parse(const QString &table, QString *error = nullptr);

    // What an include is resolved against, as the compiler resolves it: the
    // folders of the tree that hold sources (listed or not), and whether a
    // path below the source folder is a file ("" for the top).
    struct Tree {
        QString root; // absolute, for includes written with an absolute path
        QStringList folders;
        std::function<bool(const QString &path)> exists;
    };

    // A link between two of the project's targets, where a CMakeLists.txt makes it.
    struct Link {
        QString file;
        int line = 0;
        QString from;       // the linking target
        QString fromFolder; // its folder ("." for the top)
        QString to;         // the linked target, or an item CMake could not name
        QString toFolder;   // empty when it could not be named
    };

    enum class Fault {
        NotAnArrow,
        UnlistedFrom,   // layers.txt does not list the folder of the file or target
        UnlistedTo,     // nor the folder it reaches
        OutsideFolders, // an include that reaches no folder (the top of the tree, or beyond it)
        Unreadable,     // a link through an expression the check cannot follow
        UnlistedFolder, // a folder of sources, none of whose files need cross (`file` is the folder)
    };
    struct Violation {
        QString file;
        int line = 0;
        QString what; // the include as written, or "A links B"
        QString from;
        QString to;
        Fault fault = Fault::NotAnArrow;
    };

    // `file` is the path below the source folder, as "maps/MapFile.cpp".
    std::vector<Violation> checkIncludes(const QString &file, const QByteArray &content, const Tree &tree) const;
    std::vector<Violation> checkLinks(const std::vector<Link> &links) const;

    bool lists(const QString &folder) const { return m_layers.count(folder) > 0; }
    static QString describe(const Violation &v);

private:
    // Whether `from`'s files may reach `to`; the fault when they may not.
    std::optional<Fault> cross(const QString &from, const QString &to) const;

    struct Layer {
        bool any = false;
        QStringList allowed;
    };
    std::map<QString, Layer> m_layers;
};

} // namespace tarvex::tools
