#pragma once
// The editors of the channel table's frequency cells, which keep their text in the one
// textual form of a frequency (freq_text.h).

#include <QLineEdit>
#include <QList>
#include <QString>
#include <cstdint>

#include "freq_text.h"
#include "station_config.h"

// A digit-only editor that keeps its text in the grouped frequency form while typing.
class FLOAT_LINE_EDIT : public QLineEdit {
    Q_OBJECT
public:
    explicit FLOAT_LINE_EDIT(QWidget *parent = nullptr);

    QString formatted_text() const { return formatted_text_; }

public slots:
    void setText(const QString &text);

protected:
    void keyPressEvent(QKeyEvent *event) override;

    // Shows freq_text_format of a digit string and remembers it as formatted_text.
    void show_formatted(const QString &digits);

private:
    void remove_at_cursor(bool backwards);
    void insert_digit(QChar digit);

    QString formatted_text_;
};

// Frequency editor of one band: snaps to the band's grid and rows, steps through them.
class LineEditFreq : public FLOAT_LINE_EDIT {
    Q_OBJECT
public:
    explicit LineEditFreq(QWidget *parent = nullptr);

    // Keeps the rows of `table` (first `count` rows) whose id equals `code`; none when
    // the code is 100 or more or there is no table.
    void set_band_rows(int32_t count, const STATION_BAND *table, uint8_t code);
    const QList<STATION_BAND> &band_rows() const { return band_rows_; }

    void set_flag_zapret(bool on) { flag_zapret_ = on ? 1 : 0; }
    uint8_t flag_zapret() const { return flag_zapret_; }

    // Index into band_rows() of the first row holding v, or -1.
    int band_row_of(int32_t v) const;
    // Forces the text onto the grid and into the band; empty when no band rows are known.
    void normalize_frequency();

public slots:
    void s_editingFinished();
    void setText(const QString &text);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    int32_t step_of_row(int row) const;
    int64_t floor_to_row_grid(int64_t v, int row) const;
    bool lies_on_its_grid(int64_t v) const;
    int32_t first_on_grid(int row) const;
    int32_t snap_into_band(int64_t v) const;
    bool keeps(int64_t v) const;
    int64_t kept_above(int64_t v, int direction) const;
    void show_value(int64_t v);

    int32_t band_count_ = 0;
    const STATION_BAND *band_table_ = nullptr;
    uint8_t band_code_ = 0;
    QList<STATION_BAND> band_rows_;
    uint8_t flag_zapret_ = 0;
    bool finished_ = false;
};
