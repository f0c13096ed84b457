// The package's udev rule, checked as udev reads rules (udev(7)): the
// udevadm of Debian 12 has no "verify", and "udevadm test" needs udev
// running over real devices, which neither a build machine nor CI has.
#include "tests/support/QtPrinters.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>

namespace {

struct Pair {
    QString key;  // with its {attribute}
    QString op;
    QString value;
};

// The key-operator-value pairs of one rule line, or why udev would refuse it.
QList<Pair> parseRule(const QString &line, QString *why)
{
    static const QRegularExpression pair(
        QStringLiteral(R"re(^\s*([A-Z_]+)(\{[^}]+\})?\s*(==|!=|\+=|-=|:=|=)\s*"((?:[^"\\]|\\.)*)"\s*(,|$))re"));
    static const QStringList matchOnly = {"ACTION",  "DEVPATH",    "KERNEL", "KERNELS", "SUBSYSTEM", "SUBSYSTEMS",
                                          "DRIVER",  "DRIVERS",    "ATTRS",  "TAGS",    "TEST",      "PROGRAM",
                                          "RESULT",  "CONST"};
    static const QStringList assignOnly = {"GOTO", "LABEL", "NAME", "SYMLINK", "OWNER", "GROUP", "MODE",
                                           "OPTIONS", "RUN", "IMPORT", "SECLABEL"};
    static const QStringList withAttribute = {"ATTR", "ATTRS", "ENV", "SYSCTL", "CONST", "SECLABEL"};
    static const QStringList either = {"ENV", "ATTR", "TAG", "SYSCTL"};
    QList<Pair> pairs;
    QString rest = line;
    while (!rest.trimmed().isEmpty()) {
        const QRegularExpressionMatch m = pair.match(rest);
        if (!m.hasMatch()) {
            *why = QStringLiteral("not a key, operator and quoted value: ") + rest;
            return {};
        }
        const QString key = m.captured(1);
        const bool isMatch = m.captured(3) == QLatin1String("==") || m.captured(3) == QLatin1String("!=");
        if (!matchOnly.contains(key) && !assignOnly.contains(key) && !either.contains(key))
            *why = QStringLiteral("unknown key ") + key;
        else if (withAttribute.contains(key) != m.hasCaptured(2))
            *why = key + QLatin1String(m.hasCaptured(2) ? " takes no {attribute}" : " needs an {attribute}");
        else if (matchOnly.contains(key) && !isMatch)
            *why = key + QStringLiteral(" can only be matched");
        else if (assignOnly.contains(key) && isMatch)
            *why = key + QStringLiteral(" can only be assigned");
        else if ((key == QLatin1String("GOTO") || key == QLatin1String("LABEL")) && m.captured(3) != QLatin1String("="))
            *why = key + QStringLiteral(" takes only =");
        else if (m.captured(5).isEmpty() && m.capturedEnd() < rest.size())
            *why = QStringLiteral("pairs are separated by commas");
        if (!why->isEmpty())
            return {};
        pairs << Pair{key + m.captured(2), m.captured(3), m.captured(4)};
        rest = rest.mid(m.capturedEnd());
        if (m.captured(5) == QLatin1String(",") && rest.trimmed().isEmpty()) {
            *why = QStringLiteral("a comma ends the line");
            return {};
        }
    }
    return pairs;
}

// Every rule of a file, or the first line udev would refuse; also every GOTO
// must find its LABEL further down.
QList<QList<Pair>> parseRules(const QByteArray &file, QString *why)
{
    QList<QList<Pair>> rules;
    QStringList labels;
    QStringList gotos;
    int number = 0;
    for (const QByteArray &raw : file.split('\n')) {
        ++number;
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const QList<Pair> rule = parseRule(line, why);
        if (!why->isEmpty()) {
            *why = QStringLiteral("line %1: %2").arg(number).arg(*why);
            return {};
        }
        for (const Pair &p : rule) {
            if (p.key == QLatin1String("GOTO"))
                gotos << p.value;
            if (p.key == QLatin1String("LABEL"))
                labels << p.value;
        }
        rules << rule;
    }
    for (const QString &target : gotos)
        if (!labels.contains(target))
            *why = QStringLiteral("GOTO %1 has no LABEL").arg(target);
    return rules;
}

bool has(const QList<Pair> &rule, const QString &key, const QString &op, const QString &value)
{
    return std::any_of(rule.begin(), rule.end(),
                       [&](const Pair &p) { return p.key == key && p.op == op && p.value == value; });
}

TEST(UdevRuleChecker, RefusesWhatUdevRefuses)
{
    const char *bad[] = {
        "ATTRS{idVendor}==\"0403\", ENV{ID_MM_DEVICE_IGNORE}=\"1\",", // trailing comma
        "ATTRS{idVendor}==\"0403\" ENV{ID_MM_DEVICE_IGNORE}=\"1\"",   // no comma
        "ATTRS{idVendor}=\"0403\"",                                   // ATTRS assigned
        "GOTO==\"end\"",                                              // GOTO matched
        "ENV{ID_MM_DEVICE_IGNORE}=1",                                 // value not quoted
        "ATTR=\"1\"",                                                 // no attribute
        "SUBSYTEM==\"tty\"",                                          // unknown key
        "GOTO=\"nowhere\"",                                           // no label
    };
    for (const char *line : bad) {
        QString why;
        parseRules(QByteArray(line), &why);
        EXPECT_FALSE(why.isEmpty()) << line;
    }
}

TEST(UdevRule, KeepsModemManagerAwayAndSetsTheFtdiLatency)
{
    QFile file(QStringLiteral(TARVEX_SOURCE_DIR "/packaging/60-tarvex-serial.rules"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QString why;
    const QList<QList<Pair>> rules = parseRules(file.readAll(), &why);
    ASSERT_TRUE(why.isEmpty()) << qPrintable(why);
    // FTDI, CH340/CH341, CP210x, PL2303.
    for (const char *vendor : {"0403", "1a86", "10c4", "067b"}) {
        const bool ignored = std::any_of(rules.begin(), rules.end(), [&](const QList<Pair> &r) {
            return has(r, QStringLiteral("ATTRS{idVendor}"), QStringLiteral("=="), QLatin1String(vendor))
                && has(r, QStringLiteral("ENV{ID_MM_DEVICE_IGNORE}"), QStringLiteral("="), QStringLiteral("1"));
        });
        EXPECT_TRUE(ignored) << vendor;
    }
    const bool latency = std::any_of(rules.begin(), rules.end(), [](const QList<Pair> &r) {
        return has(r, QStringLiteral("DRIVER"), QStringLiteral("=="), QStringLiteral("ftdi_sio"))
            && has(r, QStringLiteral("ATTR{latency_timer}"), QStringLiteral("="), QStringLiteral("1"));
    });
    EXPECT_TRUE(latency);
}

} // namespace
