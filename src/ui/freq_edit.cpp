#include "freq_edit.h"

#include <QKeyEvent>
#include <algorithm>
#include <initializer_list>

#include "editor_numbers.h"
#include "image_map.h"
#include "validation.h"

namespace {

bool is_separator(QChar c) { return c == QLatin1Char('.') || c == QLatin1Char(' '); }

bool is_digit_key(const QKeyEvent *event)
{
    const QString t = event->text();
    return t.size() == 1 && t.at(0) >= QLatin1Char('0') && t.at(0) <= QLatin1Char('9');
}

}  // namespace

// ---- FLOAT_LINE_EDIT -----------------------------------------------------------------

FLOAT_LINE_EDIT::FLOAT_LINE_EDIT(QWidget *parent) : QLineEdit(parent) {}

void FLOAT_LINE_EDIT::setText(const QString &text)
{
    // Stripping first keeps an already grouped text from being grouped twice.
    show_formatted(freq_text_strip(text));
}

void FLOAT_LINE_EDIT::show_formatted(const QString &digits)
{
    formatted_text_ = freq_text_format(digits);
    QLineEdit::setText(formatted_text_);
}

void FLOAT_LINE_EDIT::remove_at_cursor(bool backwards)
{
    QString s = freq_text_format(freq_text_strip(text()));
    const int l0 = static_cast<int>(s.size());
    int p = cursorPosition();
    int skipped = 0;
    if (backwards)
        --p;
    while (p >= 0 && p < s.size()) {
        if (!is_separator(s.at(p))) {
            s.remove(p, 1);
            break;
        }
        s.remove(p, 1);
        ++skipped;
        if (backwards)
            --p;
    }
    show_formatted(freq_text_strip(s));
    const int size = static_cast<int>(formatted_text_.size());
    setCursorPosition(std::clamp(size + skipped + p - l0 + 1, 0, size));
}

void FLOAT_LINE_EDIT::insert_digit(QChar digit)
{
    QString s = freq_text_format(freq_text_strip(text()));
    const int l0 = static_cast<int>(s.size());
    const int p = cursorPosition();
    if (p >= 0 && p < l0)
        s.insert(p, digit);
    else
        s.append(digit);
    show_formatted(freq_text_strip(s));
    const int size = static_cast<int>(formatted_text_.size());
    const int grown = size - l0;
    int cursor = p;
    if (grown == 1)
        cursor = p + 1;
    else if (grown == 2)
        cursor = p + 2;
    setCursorPosition(std::clamp(cursor, 0, size));
}

void FLOAT_LINE_EDIT::keyPressEvent(QKeyEvent *event)
{
    const bool rtl = layoutDirection() == Qt::RightToLeft;
    if (event->key() == Qt::Key_Delete) {
        remove_at_cursor(false);
    } else if (event->key() == Qt::Key_Backspace) {
        remove_at_cursor(true);
    } else if (is_digit_key(event)) {
        insert_digit(event->text().at(0));
    } else if (event->matches(QKeySequence::MoveToNextChar)) {
        rtl ? cursorBackward(false) : cursorForward(false);
    } else if (event->matches(QKeySequence::MoveToPreviousChar)) {
        rtl ? cursorForward(false) : cursorBackward(false);
    } else if (event->matches(QKeySequence::MoveToStartOfLine)) {
        home(false);
    } else if (event->matches(QKeySequence::MoveToEndOfLine)) {
        end(false);
    }
    // Every other key is swallowed: this editor takes digits only.
}

// ---- LineEditFreq --------------------------------------------------------------------

LineEditFreq::LineEditFreq(QWidget *parent) : FLOAT_LINE_EDIT(parent)
{
    connect(this, &QLineEdit::editingFinished, this, &LineEditFreq::s_editingFinished);
}

void LineEditFreq::set_band_rows(int32_t count, const STATION_BAND *table, uint8_t code)
{
    band_count_ = count;
    band_table_ = table;
    band_code_ = code;
    band_rows_.clear();
    if (code >= 100 || table == nullptr)
        return;
    for (int32_t i = 0; i < count; ++i) {
        if (table[i].id == code)
            band_rows_.append(table[i]);
    }
}

int LineEditFreq::band_row_of(int32_t v) const
{
    for (int i = 0; i < band_rows_.size(); ++i) {
        if (band_rows_[i].freq_start <= v && v <= band_rows_[i].freq_end)
            return i;
    }
    return -1;
}

// A grid step below 1 would divide by zero or walk backwards; such a row steps by 1 kHz.
int32_t LineEditFreq::step_of_row(int row) const
{
    return std::max<int32_t>(band_rows_[row].shag_setki, 1);
}

int64_t LineEditFreq::floor_to_row_grid(int64_t v, int row) const
{
    const int64_t s = step_of_row(row);
    return v / s * s;
}

bool LineEditFreq::lies_on_its_grid(int64_t v) const
{
    if (v < INT32_MIN || v > INT32_MAX)
        return false;
    const int r = band_row_of(static_cast<int32_t>(v));
    return r >= 0 && v % step_of_row(r) == 0;
}

// A row may start off its own grid: its first grid point inside the row, or the start itself
// when the row is narrower than one step.
int32_t LineEditFreq::first_on_grid(int row) const
{
    const STATION_BAND &b = band_rows_[row];
    const int64_t s = step_of_row(row);
    const int64_t up = (int64_t{b.freq_start} + s - 1) / s * s;
    return up <= b.freq_end ? static_cast<int32_t>(up) : b.freq_start;
}

// Rounds down onto the grid of the row the value lies in. Touching rows may have different
// steps, so one band-wide step would move a valid value (160010 at 10 kHz) off its row's grid.
int32_t LineEditFreq::snap_into_band(int64_t v) const
{
    const int r = (v < INT32_MIN || v > INT32_MAX) ? -1 : band_row_of(static_cast<int32_t>(v));
    if (r >= 0 && lies_on_its_grid(floor_to_row_grid(v, r)))
        return static_cast<int32_t>(floor_to_row_grid(v, r));
    // Above a row's end or below an off-grid start: the grid point below, in whichever row
    // takes it.
    for (int i = 0; i < band_rows_.size(); ++i) {
        const int64_t c = floor_to_row_grid(v, i);
        if (c >= band_rows_[i].freq_start && c <= band_rows_[i].freq_end && lies_on_its_grid(c))
            return static_cast<int32_t>(c);
    }
    return first_on_grid(r >= 0 ? r : 0);
}

// Whether committing v stores v itself: on its row's grid and, with forbidden frequencies
// refused, allowed.
bool LineEditFreq::keeps(int64_t v) const
{
    if (v < INT32_MIN || v > INT32_MAX || snap_into_band(v) != v)
        return false;
    return flag_zapret_ != 1 || is_allowed_frequency(ZAPRET_BIT, static_cast<int32_t>(v));
}

// The nearest value that committing keeps, from v on in `direction` (+1 up, -1 down) within
// the band; -1 when there is none. A key never shows what Enter would change.
int64_t LineEditFreq::kept_above(int64_t v, int direction) const
{
    int64_t low = band_rows_[0].freq_start, high = band_rows_[0].freq_end;
    for (const STATION_BAND &b : band_rows_) {
        low = std::min<int64_t>(low, b.freq_start);
        high = std::max<int64_t>(high, b.freq_end);
    }
    for (int64_t c = std::clamp(v, low, high); c >= low && c <= high; c += direction)
        if (keeps(c))
            return c;
    return -1;
}

void LineEditFreq::show_value(int64_t v) { show_formatted(QString::number(v)); }

void LineEditFreq::normalize_frequency()
{
    const int32_t typed = text_leading_digits(freq_text_strip(text()));
    if (band_code_ > 99 || band_rows_.isEmpty()) {
        show_formatted(QString());
        return;
    }
    int32_t v = snap_into_band(typed);
    if (flag_zapret_ == 1 && !is_allowed_frequency(ZAPRET_BIT, v))
        v = first_on_grid(0);
    show_value(v);
}

void LineEditFreq::s_editingFinished()
{
    finished_ = true;
    normalize_frequency();
}

void LineEditFreq::setText(const QString &text) { FLOAT_LINE_EDIT::setText(text); }

void LineEditFreq::focusOutEvent(QFocusEvent *event)
{
    // Qt reports editingFinished only after a change; leaving the field must always snap.
    finished_ = false;
    FLOAT_LINE_EDIT::focusOutEvent(event);
    if (!finished_ && event->reason() != Qt::PopupFocusReason)
        normalize_frequency();
}

void LineEditFreq::keyPressEvent(QKeyEvent *event)
{
    const int key = event->key();
    if (key == Qt::Key_Delete || key == Qt::Key_Backspace || key == Qt::Key_Right
        || key == Qt::Key_Left || is_digit_key(event)) {
        FLOAT_LINE_EDIT::keyPressEvent(event);
        return;
    }
    if (band_rows_.isEmpty())
        return;

    const int64_t from = text_leading_digits(freq_text_strip(text()));
    const int r = band_row_of(static_cast<int32_t>(from));
    // The first kept value found, else where the text stands.
    const auto first_of = [from](std::initializer_list<int64_t> candidates) {
        for (const int64_t c : candidates)
            if (c >= 0)
                return c;
        return from;
    };
    if (r < 0) {
        show_value(first_of(
            {kept_above(band_rows_[0].freq_start, +1), int64_t{band_rows_[0].freq_start}}));
        return;
    }
    const int n = band_rows_.size();
    const STATION_BAND &row = band_rows_[r];
    const QString t = event->text();

    // Each step shows the next value up or down that committing keeps: the next grid point,
    // across touching rows with other steps and past off-grid row starts alike; at the end of
    // the band, the last one.
    if (key == Qt::Key_Plus || t == QLatin1String("+") || key == Qt::Key_Down
        || key == Qt::Key_PageDown) {
        show_value(first_of({kept_above(from + 1, +1), kept_above(from, -1)}));
    } else if (key == Qt::Key_Minus || t == QLatin1String("-") || key == Qt::Key_Up
               || key == Qt::Key_PageUp) {
        show_value(first_of({kept_above(from - 1, -1), kept_above(from, +1)}));
    } else if (key == Qt::Key_Home) {
        int64_t v = first_of({kept_above(row.freq_start, +1)});
        if (v >= from && r > 0)
            v = first_of({kept_above(band_rows_[r - 1].freq_start, +1)});
        show_value(v);
    } else if (key == Qt::Key_End) {
        int64_t v = first_of({kept_above(row.freq_end, -1)});
        if (v <= from && r < n - 1)
            v = first_of({kept_above(band_rows_[r + 1].freq_end, -1)});
        show_value(v);
    }
    // Any other key is consumed without effect.
}
