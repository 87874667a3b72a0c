#include "line_edit_int.h"

#include <QKeyEvent>
#include <QPushButton>

#include "editor_numbers.h"

LINE_EDIT_INT::LINE_EDIT_INT(QWidget *parent) : QLineEdit(parent)
{
    b_plus_int_val_ = new QPushButton(QStringLiteral("+"), this);
    b_plus_int_val_->setObjectName(QStringLiteral("b_plus_int_val"));
    b_plus_int_val_->setCursor(Qt::ArrowCursor);
    b_minus_int_val_ = new QPushButton(QStringLiteral("-"), this);
    b_minus_int_val_->setObjectName(QStringLiteral("b_minus_int_val"));
    b_minus_int_val_->setCursor(Qt::ArrowCursor);
    connect(b_plus_int_val_, &QPushButton::clicked, this,
            &LINE_EDIT_INT::on_b_plus_int_val_clicked);
    connect(b_minus_int_val_, &QPushButton::clicked, this,
            &LINE_EDIT_INT::on_b_minus_int_val_clicked);
    connect(this, &QLineEdit::editingFinished, this, &LINE_EDIT_INT::s_editingFinished_end);
    setup(0, 255, 1, 2, 0, 255, 1);
    setText(QStringLiteral("0"));
}

void LINE_EDIT_INT::setup(int32_t lower, int32_t upper, int32_t small_step, int32_t large_step,
                          int32_t value_below, int32_t value_above, int32_t granularity)
{
    granularity_ = granularity < 1 ? 1 : granularity;
    lower_ = static_cast<int32_t>(rounded(lower));
    upper_ = static_cast<int32_t>(rounded(upper));
    small_step_ = static_cast<int32_t>(rounded(small_step));
    large_step_ = static_cast<int32_t>(rounded(large_step));
    value_below_ = static_cast<int32_t>(rounded(value_below));
    value_above_ = static_cast<int32_t>(rounded(value_above));
}

int32_t LINE_EDIT_INT::read_value() const { return text_to_int(text()); }

void LINE_EDIT_INT::show_value(int64_t v) { setText(QString::number(v)); }

void LINE_EDIT_INT::apply_checked(int64_t v)
{
    if (!range_mode()) {
        show_value(v == lower_ || v == upper_ ? v : lower_);
        return;
    }
    if (v < lower_)
        show_value(value_below_);
    else if (v > upper_)
        show_value(value_above_);
    else
        show_value(v);
}

void LINE_EDIT_INT::check_value()
{
    if (text().isEmpty())
        setText(QStringLiteral("0"));
    apply_checked(read_value());
}

void LINE_EDIT_INT::check_value_end()
{
    if (text().isEmpty())
        setText(QStringLiteral("0"));
    apply_checked(rounded(read_value()));
}

void LINE_EDIT_INT::step_by(int64_t delta)
{
    const int64_t v = read_value();
    if (range_mode())
        show_value(rounded(v) + delta);
    else
        show_value(v == lower_ ? upper_ : lower_);
}

void LINE_EDIT_INT::s_editingFinished() { check_value(); }

void LINE_EDIT_INT::s_editingFinished_end()
{
    finished_ = true;
    check_value_end();
}

void LINE_EDIT_INT::on_b_plus_int_val_clicked()
{
    step_by(small_step_);
    check_value();
}

void LINE_EDIT_INT::on_b_minus_int_val_clicked()
{
    step_by(-int64_t{small_step_});
    check_value();
}

void LINE_EDIT_INT::keyPressEvent(QKeyEvent *event)
{
    const int key = event->key();
    const Qt::KeyboardModifiers mods = event->modifiers();
    const QString t = event->text();

    if (mods & Qt::ControlModifier) {
        QLineEdit::keyPressEvent(event);
        if (key == Qt::Key_C || key == Qt::Key_V || key == Qt::Key_X)
            check_value();
        return;
    }
    if ((mods & Qt::ShiftModifier)
        && (key == Qt::Key_Shift || key == Qt::Key_Right || key == Qt::Key_Left)) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    if (key == Qt::Key_Left || key == Qt::Key_Right) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    if (key == Qt::Key_Plus || t == QLatin1String("+") || key == Qt::Key_Down) {
        step_by(small_step_);
    } else if (key == Qt::Key_Minus || t == QLatin1String("-") || key == Qt::Key_Up) {
        step_by(-int64_t{small_step_});
    } else if (key == Qt::Key_PageDown) {
        step_by(large_step_);
    } else if (key == Qt::Key_PageUp) {
        step_by(-int64_t{large_step_});
    } else if (key == Qt::Key_Home) {
        show_value(lower_);
    } else if (key == Qt::Key_End) {
        show_value(upper_);
    } else {
        QLineEdit::keyPressEvent(event);
        show_value(read_value());
    }
    check_value();
}

void LINE_EDIT_INT::resizeEvent(QResizeEvent *event)
{
    QLineEdit::resizeEvent(event);
    const int w = width();
    const int h = height();
    const int inset = (h - 15) / 2;
    b_plus_int_val_->setGeometry(w - inset - 31, inset, 15, 15);
    b_minus_int_val_->setGeometry(w - inset - 15, inset, 15, 15);
    update();
}

void LINE_EDIT_INT::contextMenuEvent(QContextMenuEvent *event)
{
    QLineEdit::contextMenuEvent(event);  // a paste from the menu must still be checked
    check_value();
}

void LINE_EDIT_INT::focusOutEvent(QFocusEvent *event)
{
    // Qt reports editingFinished only after a change; leaving the field must always check.
    finished_ = false;
    QLineEdit::focusOutEvent(event);
    if (!finished_ && event->reason() != Qt::PopupFocusReason)
        check_value_end();
}
