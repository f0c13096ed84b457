// SPDX-License-Identifier: GPL-3.0-or-later
// The package's udev rule, checked against the grammar of udev(7): Debian
// 12's udevadm has no "verify", and "udevadm test" needs udev running over
// real devices, which neither a build machine nor CI has.
#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>

namespace {

// The rules of a file as "KEY{attr}OPvalue" texts; `why` tells the first
// thing udev would refuse: a pair that is no key, operator and quoted value,
// a comma amiss, an unknown key, a key matched that can only be assigned or
// the other way round, a GOTO without its LABEL.
QList<QStringList> parseRules(const QByteArray &file, QString *why)
{
    static const QRegularExpression pair(QStringLiteral(
        R"re(^\s*([A-Z_]+(?:\{[^}]+\})?)\s*(==|!=|\+=|-=|:=|=)\s*"((?:[^"\\]|\\.)*)"\s*(?:,(?=\s*\S)|$))re"));
    static const QRegularExpression matched(
        QStringLiteral(R"(^(ACTION|KERNELS?|SUBSYSTEMS?|DRIVERS?|ATTRS\{.+\}|ENV\{.+\}|ATTR\{.+\}|TAG)(==|!=)$)"));
    static const QRegularExpression assigned(
        QStringLiteral(R"(^((GOTO|LABEL)=|(ENV\{.+\}|ATTR\{.+\}|TAG|GROUP|MODE|OPTIONS|RUN|SYMLINK)(=|\+=|-=|:=))$)"));
    QList<QStringList> rules;
    QStringList gotos, labels;
    for (const QByteArray &raw : file.split('\n')) {
        QString rest = QString::fromUtf8(raw).trimmed();
        QStringList rule;
        while (!rest.isEmpty() && !rest.startsWith(QLatin1Char('#'))) {
            const QRegularExpressionMatch m = pair.match(rest);
            const QString keyOp = m.captured(1) + m.captured(2);
            if (!m.hasMatch() || (!matched.match(keyOp).hasMatch() && !assigned.match(keyOp).hasMatch())) {
                *why = rest;
                return {};
            }
            if (keyOp == QLatin1String("GOTO=") || keyOp == QLatin1String("LABEL="))
                (keyOp == QLatin1String("GOTO=") ? gotos : labels) << m.captured(3);
            rule << keyOp + m.captured(3);
            rest = rest.mid(m.capturedEnd()).trimmed();
        }
        if (!rule.isEmpty())
            rules << rule;
    }
    for (const QString &target : gotos)
        if (!labels.contains(target))
            *why = QStringLiteral("GOTO without its LABEL: ") + target;
    return rules;
}

TEST(UdevRule, KeepsModemManagerAwayAndSetsTheFtdiLatency)
{
    for (const char *bad : {R"(ATTRS{idVendor}=="0403", ENV{X}="1",)", R"(ATTRS{idVendor}=="0403" ENV{X}="1")",
                            R"(ATTRS{idVendor}="0403")", R"(GOTO=="end")", R"(ENV{X}=1)", R"(SUBSYTEM=="tty")",
                            R"(GOTO="nowhere")"}) {
        QString why;
        parseRules(QByteArray(bad), &why);
        EXPECT_FALSE(why.isEmpty()) << "the checker refuses " << bad;
    }
    QFile file(QStringLiteral(TARVEX_SOURCE_DIR "/packaging/60-tarvex-serial.rules"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QString why;
    const QList<QStringList> rules = parseRules(file.readAll(), &why);
    ASSERT_TRUE(why.isEmpty()) << qPrintable(why);
    auto ruleWith = [&rules](const QString &a, const QString &b) {
        return std::any_of(rules.begin(), rules.end(),
                           [&](const QStringList &r) { return r.contains(a) && r.contains(b); });
    };
    for (const char *vendor : {"0403", "1a86", "10c4", "067b"}) // FTDI, CH340/CH341, CP210x, PL2303
        EXPECT_TRUE(ruleWith(QStringLiteral("ATTRS{idVendor}==") + QLatin1String(vendor),
                             QStringLiteral("ENV{ID_MM_DEVICE_IGNORE}=1")))
            << vendor;
    EXPECT_TRUE(ruleWith(QStringLiteral("DRIVER==ftdi_sio"), QStringLiteral("ATTR{latency_timer}=1")));
}

} // namespace
