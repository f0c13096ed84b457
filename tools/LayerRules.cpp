#include "tools/LayerRules.h"

#include <QRegularExpression>

namespace tarvex::tools {

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

std::vector<LayerRules::Violation> LayerRules::check(const QString &file, const QByteArray &content) const
{
    std::vector<Violation> out;
    const QString from = file.section(QLatin1Char('/'), 0, 0);
    const auto layer = m_layers.find(from);
    static const QRegularExpression include(QStringLiteral(R"re(^\s*#\s*include\s*"([^"]+)")re"));
    const QList<QByteArray> lines = content.split('\n');
    for (int n = 0; n < lines.size(); ++n) {
        const QRegularExpressionMatch m = include.match(QString::fromUtf8(lines[n]));
        if (!m.hasMatch())
            continue;
        const QString path = m.captured(1);
        const QString to = path.section(QLatin1Char('/'), 0, 0);
        // Generated headers and files beside the includer are no arrow.
        if (!path.contains(QLatin1Char('/')) || !m_layers.count(to) || to == from)
            continue;
        if (layer != m_layers.end() && (layer->second.any || layer->second.allowed.contains(to)))
            continue;
        out.push_back(Violation{file, n + 1, path, from, to});
    }
    return out;
}

QStringList LayerRules::folders() const
{
    QStringList out;
    for (const auto &layer : m_layers)
        out << layer.first;
    return out;
}

QString LayerRules::describe(const Violation &v)
{
    return QStringLiteral("%1:%2: includes \"%3\": %4 → %5 is not an arrow of layers.txt")
        .arg(v.file)
        .arg(v.line)
        .arg(v.include, v.from, v.to);
}

} // namespace tarvex::tools
