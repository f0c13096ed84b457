// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/LayerRules.h"

#include <QDir>
#include <QRegularExpression>

namespace tarvex::tools {

namespace {

// Where an include leads, as a path below the source folder: empty when it
// is none of the project's files (a system, Qt or generated header); a path
// of no folder ("x.h", "../x.h") when it reaches the top or leaves the tree.
QString resolveInclude(const QString &file, const QString &written, bool quoted, const LayerRules::Tree &tree)
{
    if (QDir::isAbsolutePath(written)) {
        const QString root = tree.root.isEmpty() ? QString() : QDir::cleanPath(tree.root) + QLatin1Char('/');
        const QString path = QDir::cleanPath(written);
        return !root.isEmpty() && path.startsWith(root) ? path.mid(root.size()) : QString();
    }
    // A quoted include is looked for beside its file first.
    if (quoted) {
        const QString beside = QDir::cleanPath(file.section(QLatin1Char('/'), 0, -2) + QLatin1Char('/') + written);
        if (written.startsWith(QLatin1String("./")) || written.startsWith(QLatin1String("../"))
            || (tree.exists && tree.exists(beside)))
            return beside;
    }
    if (!written.contains(QLatin1Char('/')))
        return QString();
    const QString path = QDir::cleanPath(written);
    if (path.startsWith(QLatin1String("..")) || !path.contains(QLatin1Char('/')))
        return path;
    const QString top = path.section(QLatin1Char('/'), 0, 0);
    return tree.folders.contains(top) ? path : QString();
}

} // namespace

std::optional<LayerRules> LayerRules::parse(const QString &table, QString *error)
{
    LayerRules rules;
    const QStringList lines = table.split(QLatin1Char('\n'));
    for (int n = 0; n < lines.size(); ++n) {
        const QString line = lines[n].section(QLatin1Char('#'), 0, 0).trimmed();
        if (line.isEmpty())
            continue;
        const int colon = line.indexOf(QLatin1Char(':'));
        const QString folder = line.left(colon).trimmed();
        if (colon < 1 || folder.contains(QLatin1Char(' ')) || rules.m_layers.count(folder)) {
            if (error)
                *error = QStringLiteral("line %1: \"%2\" is not \"folder: folders it may include\" (or names a "
                                        "folder twice)")
                             .arg(n + 1)
                             .arg(lines[n]);
            return std::nullopt;
        }
        Layer layer;
        for (const QString &to : line.mid(colon + 1).split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            if (to == QLatin1String("*"))
                layer.any = true;
            else
                layer.allowed << to;
        }
        rules.m_layers[folder] = layer;
    }
    return rules;
}

std::optional<LayerRules::Fault> LayerRules::cross(const QString &from, const QString &to) const
{
    const auto layer = m_layers.find(from);
    if (layer == m_layers.end())
        return Fault::UnlistedFrom;
    if (to == from)
        return std::nullopt;
    if (!m_layers.count(to))
        return Fault::UnlistedTo;
    if (layer->second.any || layer->second.allowed.contains(to))
        return std::nullopt;
    return Fault::NotAnArrow;
}

std::vector<LayerRules::Violation> LayerRules::checkIncludes(const QString &file, const QByteArray &content,
                                                             const Tree &tree) const
{
    std::vector<Violation> out;
    const QString from = file.section(QLatin1Char('/'), 0, 0);
    // A folder the table lists is the project's, whether or not it holds files.
    Tree known = tree;
    for (const auto &layer : m_layers)
        known.folders << layer.first;
    static const QRegularExpression include(QStringLiteral(R"re(^\s*#\s*include\s*(?:"([^"]+)"|<([^>]+)>))re"));
    const QList<QByteArray> lines = content.split('\n');
    for (int n = 0; n < lines.size(); ++n) {
        const QRegularExpressionMatch m = include.match(QString::fromUtf8(lines[n]));
        if (!m.hasMatch())
            continue;
        const bool quoted = m.capturedLength(1) > 0;
        const QString written = quoted ? m.captured(1) : m.captured(2);
        const QString path = resolveInclude(file, written, quoted, known);
        if (path.isEmpty())
            continue;
        const QString what = quoted ? QStringLiteral("includes \"%1\"").arg(written)
                                    : QStringLiteral("includes <%1>").arg(written);
        if (path.startsWith(QLatin1String("..")) || !path.contains(QLatin1Char('/'))) {
            out.push_back(Violation{file, n + 1, what, from, path, Fault::OutsideFolders});
            continue;
        }
        const QString to = path.section(QLatin1Char('/'), 0, 0);
        if (const std::optional<Fault> fault = cross(from, to))
            out.push_back(Violation{file, n + 1, what, from, to, *fault});
    }
    return out;
}

std::vector<LayerRules::Violation> LayerRules::checkLinks(const std::vector<Link> &links) const
{
    std::vector<Violation> out;
    for (const Link &link : links) {
        const QString what = QStringLiteral("%1 links %2").arg(link.from, link.to);
        const auto layer = m_layers.find(link.fromFolder);
        if (link.toFolder.isEmpty()) {
            if (layer == m_layers.end() || !layer->second.any)
                out.push_back(Violation{link.file, link.line, what, link.fromFolder, QString(), Fault::Unreadable});
        } else if (const std::optional<Fault> fault = cross(link.fromFolder, link.toFolder)) {
            out.push_back(Violation{link.file, link.line, what, link.fromFolder, link.toFolder, *fault});
        }
    }
    return out;
}

QString LayerRules::describe(const Violation &v)
{
    const QString where = v.line > 0 ? QStringLiteral("%1:%2: ").arg(v.file).arg(v.line) : v.file + QStringLiteral(": ");
    const QString arrow = QStringLiteral("%1%2: %3 → %4").arg(where, v.what, v.from, v.to);
    switch (v.fault) {
    case Fault::NotAnArrow: return arrow + QStringLiteral(" is not an arrow of layers.txt");
    case Fault::UnlistedFrom: return arrow + QStringLiteral(": layers.txt does not list the folder ") + v.from;
    case Fault::UnlistedTo: return arrow + QStringLiteral(": layers.txt does not list the folder ") + v.to;
    case Fault::OutsideFolders: return arrow + QStringLiteral(", which is in no folder of layers.txt");
    case Fault::Unreadable:
        return QStringLiteral("%1%2: %3 → ?: the check cannot follow it; name the library").arg(where, v.what, v.from);
    case Fault::UnlistedFolder:
        return where + QStringLiteral("a folder of sources that layers.txt does not list");
    }
    return arrow;
}

} // namespace tarvex::tools
