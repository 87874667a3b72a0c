#include "sim_faults.h"

#include <QStringList>

namespace {

bool parse_kinds(const QString &text, unsigned &mask)
{
    mask = 0;
    for (const QString &k : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        if (k == QLatin1String("state"))
            mask |= SIM_REPLY_STATE;
        else if (k == QLatin1String("mode"))
            mask |= SIM_REPLY_MODE;
        else if (k == QLatin1String("dump"))
            mask |= SIM_REPLY_DUMP;
        else if (k == QLatin1String("echo"))
            mask |= SIM_REPLY_ECHO;
        else if (k == QLatin1String("commit"))
            mask |= SIM_REPLY_COMMIT;
        else
            return false;
    }
    return mask != 0;
}

bool parse_when(const QString &text, FaultRule &rule)
{
    if (text.isEmpty() || text == QLatin1String("always")) {
        rule.first = 0;
        rule.count = -1;
        return true;
    }
    bool ok = false;
    if (text.startsWith(QLatin1Char('p'))) {
        rule.rate = text.mid(1).toDouble(&ok);
        return ok && rule.rate >= 0.0 && rule.rate <= 1.0;
    }
    const int dash = text.indexOf(QLatin1Char('-'));
    const int from = (dash < 0 ? text : text.left(dash)).toInt(&ok);
    if (!ok || from < 1)
        return false;
    rule.first = from - 1;
    if (dash < 0) {
        rule.count = 1;
        return true;
    }
    const QString to_text = text.mid(dash + 1);
    if (to_text.isEmpty()) {
        rule.count = -1;
        return true;
    }
    const int to = to_text.toInt(&ok);
    if (!ok || to < from)
        return false;
    rule.count = to - from + 1;
    return true;
}

}  // namespace

bool parse_fault(const QString &text, SimFaults &faults, QString *error)
{
    auto fail = [&](const QString &why) {
        if (error)
            *error = QStringLiteral("fault \"%1\": %2").arg(text, why);
        return false;
    };
    QString head = text;
    QString when;
    const int eq = text.indexOf(QLatin1Char('='));
    if (eq >= 0) {
        head = text.left(eq);
        when = text.mid(eq + 1);
    }
    QString name = head;
    QString kinds;
    const int slash = head.indexOf(QLatin1Char('/'));
    if (slash >= 0) {
        name = head.left(slash);
        kinds = head.mid(slash + 1);
    }

    struct Named {
        const char *name;
        FaultRule SimFaults::*rule;
        bool any_reply;
    };
    static const Named table[] = {
        {"silent", &SimFaults::silent, true},
        {"garbage", &SimFaults::garbage, true},
        {"short-garbage", &SimFaults::short_garbage, true},
        {"drop-byte", &SimFaults::drop_byte, true},
        {"corrupt-byte", &SimFaults::corrupt_byte, true},
        {"dump-differs", &SimFaults::dump_differs, false},
        {"wrong-echo", &SimFaults::wrong_echo, false},
        {"miss-commit", &SimFaults::miss_commit, false},
        {"bad-state-frame", &SimFaults::bad_state_frame, false},
        {"ignore-mode", &SimFaults::ignore_mode, false},
    };
    for (const Named &n : table) {
        if (name != QLatin1String(n.name))
            continue;
        FaultRule rule;
        if (!kinds.isEmpty()) {
            if (!n.any_reply)
                return fail(QStringLiteral("this fault has no reply kinds"));
            if (!parse_kinds(kinds, rule.replies))
                return fail(QStringLiteral("reply kinds are state, mode, dump, echo, commit"));
        }
        if (!parse_when(when, rule))
            return fail(QStringLiteral("use always, N, N-M, N- or pR"));
        faults.*(n.rule) = rule;
        return true;
    }
    return fail(QStringLiteral("unknown fault name"));
}
