#include "param_editors.h"

#include <QAction>
#include <QKeyEvent>
#include <QMenu>
#include <QPushButton>
#include <algorithm>
#include <cmath>

#include "editor_numbers.h"
#include "frequency.h"

namespace {

// Absurd values (a long run of typed digits) are out of range; never feed them to the
// tone arithmetic, which works on whole numbers.
bool is_sane(double v) { return std::fabs(v) < 1e6; }

}  // namespace

// ---- ParamLineEdit -----------------------------------------------------------------

ParamLineEdit::ParamLineEdit(QWidget *parent) : QLineEdit(parent)
{
    connect(this, &QLineEdit::editingFinished, this, &ParamLineEdit::s_editingFinished);
    setText(QString());
}

void ParamLineEdit::s_editingFinished()
{
    finished_ = true;
    finish();
}

void ParamLineEdit::focusOutEvent(QFocusEvent *event)
{
    // Qt reports editingFinished only after a change; leaving the field must always check.
    finished_ = false;
    QLineEdit::focusOutEvent(event);
    if (!finished_ && event->reason() != Qt::PopupFocusReason)
        finish();
}

void ParamLineEdit::keyPressEvent(QKeyEvent *event)
{
    const int key = event->key();
    const QString t = event->text();
    if (key == Qt::Key_Delete) {
        setText(QString());
    } else if (key == Qt::Key_Backspace) {
        QString s = text();
        s.chop(1);
        setText(s);
    } else if (t.size() == 1 && accepts(t.at(0))) {
        setText(text() + t);
        after_append();
    } else if (key == Qt::Key_Plus || t == QLatin1String("+") || key == Qt::Key_Right
               || key == Qt::Key_Down || key == Qt::Key_PageDown) {
        step(+1);
    } else if (key == Qt::Key_Minus || t == QLatin1String("-") || key == Qt::Key_Left
               || key == Qt::Key_Up || key == Qt::Key_PageUp) {
        step(-1);
    } else if (key == Qt::Key_Home) {
        show_limit(false);
    } else if (key == Qt::Key_End) {
        show_limit(true);
    } else if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        finish();
    } else {
        other_key();
    }
}

// ---- ToneLineEdit ------------------------------------------------------------------

ToneLineEdit::ToneLineEdit(QWidget *parent, double lower, double upper, double step,
                           const char *format)
    : ParamLineEdit(parent), lower_(lower), upper_(upper), step_(step), format_(format)
{
}

double ToneLineEdit::value() const { return text_to_double(text()); }

void ToneLineEdit::show_value(double v) { setText(format_trimmed(format_, v)); }

bool ToneLineEdit::accepts(QChar c) const
{
    return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('.');
}

void ToneLineEdit::settle(double v)
{
    if (v == 0.0) {
        setText(QString());
        return;
    }
    v = v > 0.0 ? std::clamp(v, lower_, upper_) : lower_;
    show_value(resolve(v));
}

void ToneLineEdit::step(int direction)
{
    const double v = value() + direction * step_;
    if (direction > 0 && v >= upper_)
        show_value(resolve(upper_));
    else if (direction < 0 && v <= lower_)
        show_value(resolve(lower_));
    else
        settle(v);
}

void ToneLineEdit::show_limit(bool upper) { show_value(resolve(upper ? upper_ : lower_)); }

// ---- LineEdit_ctcss_prm --------------------------------------------------------------

LineEdit_ctcss_prm::LineEdit_ctcss_prm(QWidget *parent)
    : ToneLineEdit(parent, CTCSS_MIN, CTCSS_MAX, 0.1, "%4.1f")
{
}

double LineEdit_ctcss_prm::resolve(double v) const
{
    return (v > 0.0 && is_sane(v)) ? ctcss_prm_quantize(v) : v;
}

// Several tenths can quantise to the same detector tone: keep stepping until the shown
// tone moves, so every key press visibly changes the value (or reaches a limit). The
// detector's tones are not monotonic in a few places (220.1 Hz gives 220.3, 220.2 gives
// 220.2), so the new tone must also lie beyond the old one; otherwise two neighbours
// would swap forever and the key could never pass them.
void LineEdit_ctcss_prm::step(int direction)
{
    const QString before = format_trimmed(format_, value());
    const double before_shown = text_to_double(before);
    double v = value();
    // Bounded: each round moves v one tenth towards a limit inside 65..260.
    for (int round = 0; round < 10000; ++round) {
        v += direction * step_;
        if (direction > 0 && v >= upper_) {
            show_value(resolve(upper_));
            return;
        }
        if (direction < 0 && v <= lower_) {
            show_value(resolve(lower_));
            return;
        }
        if (v == 0.0) {
            setText(QString());
            return;
        }
        v = v > 0.0 ? std::clamp(v, lower_, upper_) : lower_;
        const QString shown = format_trimmed(format_, resolve(v));
        const double moved = text_to_double(shown) - before_shown;
        if (shown != before && (direction > 0 ? moved > 0.0 : moved < 0.0)) {
            setText(shown);
            return;
        }
    }
}

void LineEdit_ctcss_prm::finish()
{
    // 0 (and anything not positive) is out of range before quantising: the detector's
    // arithmetic divides by the tone.
    const double raw = value();
    double v = (raw > 0.0 && is_sane(raw)) ? ctcss_prm_quantize(raw) : 0.0;
    if (v < lower_ || v > upper_)
        v = ctcss_prm_quantize(lower_);
    show_value(v);
}

// ---- LineEdit_ctcss_prd --------------------------------------------------------------

LineEdit_ctcss_prd::LineEdit_ctcss_prd(QWidget *parent)
    : ToneLineEdit(parent, CTCSS_MIN, CTCSS_MAX, 0.1, "%4.1f")
{
}

void LineEdit_ctcss_prd::other_key() { settle(value()); }

void LineEdit_ctcss_prd::finish()
{
    double v = value();
    if (v < lower_ || v > upper_)
        v = lower_;
    show_value(v);
}

// ---- LineEdit_vt_prm -----------------------------------------------------------------

LineEdit_vt_prm::LineEdit_vt_prm(QWidget *parent)
    : ToneLineEdit(parent, VT_MIN, VT_MAX, 10.0, "%4.0f")
{
    freq_selected_ = new QPushButton(QStringLiteral("Выбор"), this);
    freq_selected_->setObjectName(QStringLiteral("freq_selected"));
    freq_selected_->setGeometry(40, 2, 50, 16);
    freq_selected_->setCursor(Qt::ArrowCursor);
    auto *menu = new QMenu(freq_selected_);
    act_f_1450_ = menu->addAction(QStringLiteral("1450"));
    act_f_1450_->setObjectName(QStringLiteral("act_f_1450"));
    act_f_2100_ = menu->addAction(QStringLiteral("2100"));
    act_f_2100_->setObjectName(QStringLiteral("act_f_2100"));
    connect(act_f_1450_, &QAction::triggered, this, &LineEdit_vt_prm::select_f_1450);
    connect(act_f_2100_, &QAction::triggered, this, &LineEdit_vt_prm::select_f_2100);
    freq_selected_->setMenu(menu);
}

void LineEdit_vt_prm::select_f_1450() { setText(QStringLiteral("1450")); }

void LineEdit_vt_prm::select_f_2100() { setText(QStringLiteral("2100")); }

bool LineEdit_vt_prm::accepts(QChar c) const
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

void LineEdit_vt_prm::after_append()
{
    if (value() > upper_)
        show_value(upper_);
}

double LineEdit_vt_prm::resolve(double v) const { return is_sane(v) ? round_to_tens(v) : v; }

void LineEdit_vt_prm::other_key() { settle(value()); }

void LineEdit_vt_prm::finish()
{
    const double raw = value();
    double v = is_sane(raw) ? round_to_tens(raw) : 0.0;
    if (v < lower_ || v > upper_)
        v = round_to_tens(lower_);
    show_value(v);
}

// ---- integer editors -----------------------------------------------------------------

IntParamLineEdit::IntParamLineEdit(QWidget *parent, int lower, int upper)
    : ParamLineEdit(parent), lower_(lower), upper_(upper)
{
}

int IntParamLineEdit::value() const { return text_to_int(text()); }

bool IntParamLineEdit::accepts(QChar c) const
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

void IntParamLineEdit::step(int direction)
{
    const int64_t v = std::clamp<int64_t>(int64_t{value()} + direction, lower_, upper_);
    setText(QString::number(v));
}

void IntParamLineEdit::show_limit(bool upper) { setText(QString::number(upper ? upper_ : lower_)); }

void IntParamLineEdit::other_key()
{
    if (value() == 0)
        setText(QString());
}

void IntParamLineEdit::finish()
{
    int v = value();
    if (v < lower_ || v > upper_)
        v = lower_;
    setText(QString::number(v));
}

LineEdit_ur_gromk::LineEdit_ur_gromk(QWidget *parent) : IntParamLineEdit(parent, 18, 26) {}

LineEdit_n_rab_kanala::LineEdit_n_rab_kanala(QWidget *parent) : IntParamLineEdit(parent, 1, 8) {}
