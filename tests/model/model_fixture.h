#pragma once
// Records what the model shows and how long it would wait, instead of showing and waiting.

#include "messages.h"
#include "model_context.h"
#include "recording.h"
#include "rs_conf.h"
#include "shipped_station.h"

#include <QList>
#include <QStringList>

struct ModelFixture {
    explicit ModelFixture(const STATION_CONFIG &s = shipped_station()) : station(s) {}
    ModelFixture(const ModelFixture &) = delete;
    ModelFixture &operator=(const ModelFixture &) = delete;

    ModelContext ctx() { return ModelContext{&station, Reporter(&sink, &sleeper)}; }
    void clear()
    {
        sink.clear();
        sleeper.pauses.clear();
    }

    STATION_CONFIG station;
    RecordingSink sink;
    RecordingSleeper sleeper;
};

// A report: blank line, 50 ms, the message, 2000 ms.
inline bool was_reported(const ModelFixture &f, const QString &message)
{
    return f.sink.texts() == QStringList{QString(), message}
           && f.sleeper.pauses == QList<int>{50, 2000};
}

// Exact member-by-member comparison; names the members that differ.
inline QString conf_diff(const RS_CONF &a, const RS_CONF &b)
{
    QStringList d;
    auto cmp = [&d](const char *name, double x, double y) {
        if (x != y)
            d << QStringLiteral("%1: %2 != %3")
                     .arg(QLatin1String(name))
                     .arg(x, 0, 'g', 17)
                     .arg(y, 0, 'g', 17);
    };
    cmp("diapazon_code", a.diapazon_code, b.diapazon_code);
    for (int i = 0; i < RS_CHANNELS; ++i) {
        const QByteArray n = QByteArray::number(i);
        cmp(("f_prm[" + n + "]").constData(), a.f_prm[i], b.f_prm[i]);
        cmp(("f_prd[" + n + "]").constData(), a.f_prd[i], b.f_prd[i]);
        cmp(("koder[" + n + "]").constData(), a.koder[i], b.koder[i]);
        cmp(("ph[" + n + "]").constData(), a.ph[i], b.ph[i]);
    }
    cmp("n_rab_kanala", a.n_rab_kanala, b.n_rab_kanala);
    cmp("ctcss_prd", a.ctcss_prd, b.ctcss_prd);
    cmp("ctcss_prm", a.ctcss_prm, b.ctcss_prm);
    cmp("microphone", a.microphone, b.microphone);
    cmp("vt_prd", a.vt_prd, b.vt_prd);
    cmp("vt_prm", a.vt_prm, b.vt_prm);
    cmp("ur_gromk", a.ur_gromk, b.ur_gromk);
    cmp("zapret", a.zapret, b.zapret);
    return d.join(QStringLiteral("; "));
}
