#include "editor_numbers.h"

#include <cmath>
#include <limits>

namespace {

constexpr int64_t k_int_max = std::numeric_limits<int32_t>::max();

int skip_blanks(const QString &text, int i)
{
    while (i < text.size() && text.at(i).unicode() <= 32)
        ++i;
    return i;
}

bool is_ascii_digit(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }

// Digits from position i on, saturated at k_int_max + 1 so a negated value still fits.
int64_t read_digits(const QString &text, int i)
{
    int64_t v = 0;
    for (; i < text.size() && is_ascii_digit(text.at(i)); ++i) {
        v = v * 10 + (text.at(i).unicode() - '0');
        if (v > k_int_max + 1)
            v = k_int_max + 1;
    }
    return v;
}

}  // namespace

int32_t text_leading_digits(const QString &text)
{
    const int64_t v = read_digits(text, 0);
    return static_cast<int32_t>(v > k_int_max ? k_int_max : v);
}

int32_t text_to_int(const QString &text)
{
    int i = skip_blanks(text, 0);
    bool negative = false;
    if (i < text.size() && (text.at(i) == QLatin1Char('-') || text.at(i) == QLatin1Char('+'))) {
        negative = text.at(i) == QLatin1Char('-');
        ++i;
    }
    int64_t v = read_digits(text, i);
    if (negative)
        return static_cast<int32_t>(-v);
    return static_cast<int32_t>(v > k_int_max ? k_int_max : v);
}

double text_to_double(const QString &text)
{
    const int begin = skip_blanks(text, 0);
    int i = begin;
    if (i < text.size() && (text.at(i) == QLatin1Char('-') || text.at(i) == QLatin1Char('+')))
        ++i;
    const int digits_from = i;
    while (i < text.size() && is_ascii_digit(text.at(i)))
        ++i;
    int digits = i - digits_from;
    if (i < text.size() && text.at(i) == QLatin1Char('.')) {
        const int fraction_from = ++i;
        while (i < text.size() && is_ascii_digit(text.at(i)))
            ++i;
        digits += i - fraction_from;
    }
    if (digits == 0)
        return 0.0;
    bool ok = false;
    const double v = text.mid(begin, i - begin).toDouble(&ok);
    if (!ok || !std::isfinite(v))  // only absurdly long digit runs get here
        return text.at(begin) == QLatin1Char('-') ? -1e18 : 1e18;
    return v;
}

QString format_trimmed(const char *format, double value)
{
    // QString::asprintf formats in the C locale; snprintf would follow the user's locale
    // and write "88,5", which the readers take for 88.
    return QString::asprintf(format, value).trimmed();
}
