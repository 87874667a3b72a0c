#pragma once
// An integer line editor with small "+" and "-" buttons inside its right edge. It holds
// a number within limits (range mode: both steps non-zero) or one of two values (two-value
// mode: a step of 0), as the microphone sensitivity field does with 24 and 31.

#include <QLineEdit>
#include <cstdint>

class QPushButton;

class LINE_EDIT_INT : public QLineEdit {
    Q_OBJECT
public:
    explicit LINE_EDIT_INT(QWidget *parent = nullptr);

    // A granularity below 1 is taken as 1; above 1 the other six values are rounded down
    // to multiples of it.
    void setup(int32_t lower, int32_t upper, int32_t small_step, int32_t large_step,
               int32_t value_below, int32_t value_above, int32_t granularity);

    bool range_mode() const { return small_step_ != 0 && large_step_ != 0; }
    int32_t lower() const { return lower_; }
    int32_t upper() const { return upper_; }
    int32_t small_step() const { return small_step_; }
    int32_t large_step() const { return large_step_; }
    int32_t value_below() const { return value_below_; }
    int32_t value_above() const { return value_above_; }
    int32_t granularity() const { return granularity_; }
    QPushButton *plus_button() const { return b_plus_int_val_; }
    QPushButton *minus_button() const { return b_minus_int_val_; }

    // Forces the text to an allowed value (empty reads as 0).
    virtual void check_value();
    // As check_value, after rounding down to the granularity; run when editing finishes.
    void check_value_end();

public slots:
    void s_editingFinished();
    void s_editingFinished_end();
    void on_b_plus_int_val_clicked();
    void on_b_minus_int_val_clicked();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    int32_t read_value() const;
    int64_t rounded(int64_t v) const { return v / granularity_ * granularity_; }
    void show_value(int64_t v);
    void apply_checked(int64_t v);
    void step_by(int64_t delta);  // range mode steps; two-value mode toggles

    int32_t lower_ = 0;
    int32_t upper_ = 255;
    int32_t small_step_ = 1;
    int32_t large_step_ = 2;
    int32_t value_below_ = 0;
    int32_t value_above_ = 255;
    int32_t granularity_ = 1;
    QPushButton *b_plus_int_val_;
    QPushButton *b_minus_int_val_;
    bool finished_ = false;
};
