#pragma once
// Editors of the station-wide parameters: characters are only appended, the arrow and page
// keys step the value within fixed limits, Home and End jump to the limits, and Return or
// leaving the field forces the text into range and into the radio's resolution.

#include <QLineEdit>

class QAction;
class QPushButton;

// The key handling all five editors share; the subclasses supply the value rules.
class ParamLineEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit ParamLineEdit(QWidget *parent = nullptr);

public slots:
    // The finishing check: range and resolution forced onto the text.
    void s_editingFinished();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

    virtual bool accepts(QChar c) const = 0;
    virtual void after_append() {}
    virtual void step(int direction) = 0;  // +1 up, -1 down
    virtual void show_limit(bool upper) = 0;
    virtual void other_key() = 0;
    virtual void finish() = 0;

private:
    bool finished_ = false;
};

// Tone editors: the value is a frequency in Hz read as a floating-point number.
class ToneLineEdit : public ParamLineEdit {
    Q_OBJECT
public:
    double value() const;

protected:
    ToneLineEdit(QWidget *parent, double lower, double upper, double step, const char *format);

    virtual double resolve(double v) const { return v; }  // the radio's resolution
    void show_value(double v);
    // After a step or redisplay: 0 empties, negatives become the lower limit, the rest
    // is clamped; the resolution is applied and the value shown.
    void settle(double v);

    bool accepts(QChar c) const override;
    void step(int direction) override;
    void show_limit(bool upper) override;
    void other_key() override {}

    const double lower_;
    const double upper_;
    const double step_;
    const char *const format_;
};

// Receive CTCSS tone, 65..260 Hz, quantised to what the detector realises.
class LineEdit_ctcss_prm : public ToneLineEdit {
    Q_OBJECT
public:
    explicit LineEdit_ctcss_prm(QWidget *parent = nullptr);

protected:
    double resolve(double v) const override;
    void step(int direction) override;
    void finish() override;
};

// Transmit CTCSS tone, 65..260 Hz in tenths.
class LineEdit_ctcss_prd : public ToneLineEdit {
    Q_OBJECT
public:
    explicit LineEdit_ctcss_prd(QWidget *parent = nullptr);

protected:
    void other_key() override;
    void finish() override;
};

// Call tone (receive or transmit), 350..2150 Hz in tens, with a menu of the usual tones.
class LineEdit_vt_prm : public ToneLineEdit {
    Q_OBJECT
public:
    explicit LineEdit_vt_prm(QWidget *parent = nullptr);

    QPushButton *select_button() const { return freq_selected_; }

public slots:
    void select_f_1450();
    void select_f_2100();

protected:
    bool accepts(QChar c) const override;
    void after_append() override;
    double resolve(double v) const override;
    void other_key() override;
    void finish() override;

private:
    QPushButton *freq_selected_;
    QAction *act_f_1450_;
    QAction *act_f_2100_;
};

// Integer editors: lower..upper in steps of 1; anything out of range finishes as lower.
class IntParamLineEdit : public ParamLineEdit {
    Q_OBJECT
public:
    int value() const;

protected:
    IntParamLineEdit(QWidget *parent, int lower, int upper);

    bool accepts(QChar c) const override;
    void step(int direction) override;
    void show_limit(bool upper) override;
    void other_key() override;
    void finish() override;

    const int lower_;
    const int upper_;
};

// Volume level, 18..26.
class LineEdit_ur_gromk : public IntParamLineEdit {
    Q_OBJECT
public:
    explicit LineEdit_ur_gromk(QWidget *parent = nullptr);
};

// Working channel number, 1..8.
class LineEdit_n_rab_kanala : public IntParamLineEdit {
    Q_OBJECT
public:
    explicit LineEdit_n_rab_kanala(QWidget *parent = nullptr);
};
