#pragma once
// The form has fixed pixel geometry, but the fonts come from the desktop: a text that is one
// letter too wide is cut silently. These keep every geometry and make the font of only the
// widget concerned smaller until its whole text shows.

#include <QString>

#include <QFont>

class QComboBox;
class QHeaderView;
class QWidget;

// A widget's own text (label, button, check box, group title) with the pixels it needs in
// the widget's font and the pixels the widget gives it; an empty text for widgets without
// one, and for labels that wrap or hold rich text.
struct TextRoom {
    QString text;
    int need = 0;
    int have = 0;
};
TextRoom text_room(const QWidget *w);

// True when the widget's text shows whole at its current size in its own font.
bool text_fits(const QWidget *w);
// True when every section of the header shows every line of its label.
bool header_texts_fit(const QHeaderView *header);

// Shrinks the font of every text widget under `root` (and root itself) that does not fit,
// a pixel at a time down to a legible minimum. Children of a shrunk widget keep their font.
void fit_texts(QWidget *root);
// The same for the labels of a table header.
void fit_header_texts(QHeaderView *header);

// `font`, a pixel smaller at a time down to the legible minimum, until `text` takes at most
// `width` pixels.
QFont font_fitting(const QFont &font, const QString &text, int width);
// Shrinks a combo box's font until every one of its choices shows whole in its edit field
// at the box's current size.
void fit_combo_choices(QComboBox *combo);
