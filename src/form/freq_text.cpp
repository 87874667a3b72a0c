#include "freq_text.h"

#include <algorithm>

QString freq_text_format(const QString &text)
{
    QString out;
    out.reserve(text.size() + text.size() / 3 + 1);
    int copied = 0;
    for (int i = text.size() - 1; i >= 0; --i) {
        out.append(text.at(i));
        ++copied;
        if (copied == 3)
            out.append(QLatin1Char('.'));
        else if (copied > 3 && copied % 3 == 0)
            out.append(QLatin1Char(' '));
    }
    std::reverse(out.begin(), out.end());
    return out;
}

QString freq_text_strip(const QString &text)
{
    QString out = text;
    out.remove(QLatin1Char(' '));
    out.remove(QLatin1Char('.'));
    return out;
}
