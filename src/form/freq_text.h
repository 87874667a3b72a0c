#pragma once
// The one textual form of a frequency in kHz: "148000" is shown as " 148.000".

#include <QString>

// Digits with a point before the last three and a blank after every further three,
// counted from the right (a blank also leads when a group is complete).
QString freq_text_format(const QString &text);
// Removes every blank and every point.
QString freq_text_strip(const QString &text);
