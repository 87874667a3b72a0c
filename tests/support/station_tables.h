#pragma once
// A loaded station's band and tuning tables against the expected ones, field by field so
// that a failure names the field. A void helper: check QTest::currentTestFailed() after it
// when more checks follow.

#include "station_config.h"

#include <QtTest>

inline void compare_station_tables(const STATION_CONFIG &loaded, const STATION_BAND *bands,
                                   int band_count, const TUN_POINT *points, int point_count)
{
    QCOMPARE(loaded.band_count, band_count);
    for (int i = 0; i < band_count; ++i) {
        const STATION_BAND &a = loaded.bands[i];
        const STATION_BAND &b = bands[i];
        QCOMPARE(a.id, b.id);
        QCOMPARE(a.freq_start, b.freq_start);
        QCOMPARE(a.freq_end, b.freq_end);
        QCOMPARE(a.delta_freq_enc_prm, b.delta_freq_enc_prm);
        QCOMPARE(a.delta_freq_dec_prm, b.delta_freq_dec_prm);
        QCOMPARE(a.delta_freq_enc_prd, b.delta_freq_enc_prd);
        QCOMPARE(a.delta_freq_dec_prd, b.delta_freq_dec_prd);
        QCOMPARE(a.shag_setki, b.shag_setki);
    }
    QCOMPARE(loaded.tun_count, point_count);
    for (int i = 0; i < point_count; ++i) {
        QCOMPARE(loaded.tun[i].Freq, points[i].Freq);
        QVERIFY(loaded.tun[i].U == points[i].U);  // exactly: the file's text read as float
        QCOMPARE(loaded.tun[i].id, points[i].id);
        QCOMPARE(loaded.tun[i].Adress, points[i].Adress);
    }
}
