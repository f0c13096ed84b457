// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/LayerTree.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cctype>
#include <functional>

namespace tarvex::tools {

namespace {

using Violation = LayerRules::Violation;

struct Argument {
    QByteArray text;
    int line = 0;
};
struct Command {
    QByteArray name; // lower case
    int line = 0;
    std::vector<Argument> arguments;
};

// The commands of a CMakeLists.txt with the line of each argument; enough
// of the language to find where a link is made (no bracket arguments).
std::vector<Command> cmakeCommands(const QByteArray &text)
{
    std::vector<Command> out;
    int line = 1;
    qsizetype i = 0;
    const qsizetype n = text.size();
    auto skipComment = [&] {
        while (i < n && text[i] != '\n')
            ++i;
    };
    while (i < n) {
        const char c = text[i];
        if (c == '#') {
            skipComment();
            continue;
        }
        if (!std::isalpha(static_cast<unsigned char>(c)) && c != '_') {
            line += c == '\n';
            ++i;
            continue;
        }
        Command command;
        command.line = line;
        while (i < n && (std::isalnum(static_cast<unsigned char>(text[i])) || text[i] == '_'))
            command.name += char(std::tolower(static_cast<unsigned char>(text[i++])));
        while (i < n && (text[i] == ' ' || text[i] == '\t'))
            ++i;
        if (i >= n || text[i] != '(')
            continue;
        ++i;
        Argument argument;
        auto flush = [&] {
            if (!argument.text.isEmpty())
                command.arguments.push_back(argument);
            argument = Argument{};
        };
        for (int depth = 1; i < n && depth > 0; ++i) {
            const char d = text[i];
            if (argument.text.isEmpty())
                argument.line = line;
            if (d == '"') {
                for (++i; i < n && text[i] != '"'; ++i) {
                    line += text[i] == '\n';
                    if (text[i] == '\\' && i + 1 < n)
                        ++i;
                    argument.text += text[i];
                }
            } else if (d == '#') {
                skipComment();
                --i;
            } else if (d == ' ' || d == '\t' || d == '\r' || d == '\n' || (d == ')' && depth == 1)) {
                flush();
                line += d == '\n';
                depth -= d == ')';
            } else {
                depth += (d == '(') - (d == ')');
                argument.text += d;
            }
        }
        out.push_back(command);
    }
    return out;
}

// The line that makes a link: the argument naming the linked target in a
// target_link_libraries of the linking one; else where that target is
// made; else its folder's CMakeLists.txt.
void place(LayerRules::Link &link, const std::map<QString, std::vector<Command>> &files)
{
    const QByteArray from = link.from.toUtf8();
    const QByteArray to = link.to.toUtf8();
    for (const auto &[file, commands] : files) {
        for (const Command &c : commands) {
            if (c.name != "target_link_libraries" || c.arguments.empty() || c.arguments[0].text != from)
                continue;
            for (size_t a = 1; a < c.arguments.size(); ++a) {
                if (c.arguments[a].text == to) {
                    link.file = file;
                    link.line = c.arguments[a].line;
                    return;
                }
            }
        }
    }
    for (const auto &[file, commands] : files) {
        for (const Command &c : commands) {
            if ((c.name == "add_library" || c.name == "add_executable") && !c.arguments.empty()
                && c.arguments[0].text == from) {
                link.file = file;
                link.line = c.line;
                return;
            }
        }
    }
    link.file = link.fromFolder == QLatin1String(".") ? QStringLiteral("CMakeLists.txt")
                                                      : link.fromFolder + QStringLiteral("/CMakeLists.txt");
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool isSource(const QString &name)
{
    static const QStringList suffixes = {QStringLiteral("h"),  QStringLiteral("hpp"), QStringLiteral("cpp"),
                                         QStringLiteral("cc"), QStringLiteral("cxx"), QStringLiteral("inl")};
    return suffixes.contains(QFileInfo(name).suffix());
}

} // namespace

std::vector<LayerRules::Link> readLinkGraph(const QString &graph, const std::map<QString, QByteArray> &cmakeLists)
{
    std::map<QString, std::vector<Command>> files;
    for (const auto &[file, text] : cmakeLists)
        files[file] = cmakeCommands(text);
    std::vector<LayerRules::Link> out;
    for (const QString &line : graph.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QStringList f = line.split(QLatin1Char('\t'));
        if (f.size() != 4)
            continue;
        LayerRules::Link link{QString(), 0, f[0], f[1], f[2], f[3]};
        place(link, files);
        out.push_back(link);
    }
    return out;
}

std::vector<Violation> checkTree(const LayerRules &rules, const QString &root, const QString &linkGraph)
{
    const QDir top(root);
    std::map<QString, QStringList> sources; // folder → its source files
    std::map<QString, QByteArray> cmakeLists = {{QStringLiteral("CMakeLists.txt"), readAll(top.filePath(QStringLiteral("CMakeLists.txt")))}};
    // Build trees (a CMakeCache.txt) and hidden folders hold no sources of ours.
    std::function<void(const QString &, const QString &)> walk = [&](const QString &folder, const QString &dir) {
        if (QFileInfo::exists(top.filePath(dir + QStringLiteral("/CMakeCache.txt"))))
            return;
        for (const QFileInfo &entry : QDir(top.filePath(dir)).entryInfoList(QDir::Dirs | QDir::Files | QDir::NoDotAndDotDot)) {
            const QString path = dir + QLatin1Char('/') + entry.fileName();
            if (entry.isDir())
                walk(folder, path);
            else if (entry.fileName() == QLatin1String("CMakeLists.txt"))
                cmakeLists[path] = readAll(entry.filePath());
            else if (isSource(entry.fileName()))
                sources[folder] << path;
        }
    };
    for (const QString &folder : top.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        walk(folder, folder);

    LayerRules::Tree tree;
    tree.root = top.absolutePath();
    tree.exists = [&top](const QString &path) { return QFileInfo(top.filePath(path)).isFile(); };
    for (const auto &entry : sources)
        tree.folders << entry.first;
    std::vector<Violation> out;
    auto append = [&out](std::vector<Violation> more) { out.insert(out.end(), more.begin(), more.end()); };
    for (const auto &[folder, files] : sources) {
        if (!rules.lists(folder))
            out.push_back(Violation{folder + QLatin1Char('/'), 0, QString(), folder, QString(),
                                    LayerRules::Fault::UnlistedFolder});
        for (const QString &file : files)
            append(rules.checkIncludes(file, readAll(top.filePath(file)), tree));
    }
    if (!linkGraph.isEmpty())
        append(rules.checkLinks(readLinkGraph(linkGraph, cmakeLists)));
    return out;
}

} // namespace tarvex::tools
