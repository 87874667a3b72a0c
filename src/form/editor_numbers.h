#pragma once
// Reading numbers out of editor texts the way the editors need it: the leading numeric
// part counts, anything after it is ignored, no number reads as 0. Values too large for
// 32 bits saturate instead of wrapping, so a long run of typed digits stays harmless.

#include <QString>
#include <cstdint>

// Leading decimal digits only (no sign, no blanks): "148000" -> 148000, "" -> 0.
int32_t text_leading_digits(const QString &text);

// atoi-like: leading blanks skipped, optional sign, then digits.
int32_t text_to_int(const QString &text);

// atof-like without exponents: leading blanks, optional sign, digits, "." and digits.
double text_to_double(const QString &text);

// printf-style formatting with the blanks at both ends removed ("%4.0f" of 350 -> "350"),
// always with "." as the decimal point and no grouping, whatever the locale.
QString format_trimmed(const char *format, double value);
