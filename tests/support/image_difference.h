#pragma once
// Where two images differ, for a failure message: "address: got != want, ...".

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>

inline QString image_difference(const QByteArray &got, const QByteArray &want)
{
    QStringList out;
    for (int a = 0; a < qMin(got.size(), want.size()); ++a)
        if (got[a] != want[a])
            out << QStringLiteral("%1: %2 != %3").arg(a).arg(uint8_t(got[a])).arg(uint8_t(want[a]));
    return out.join(QStringLiteral(", "));
}
