#pragma once
// The form has fixed pixel geometry, but the fonts come from the desktop: a text that is one
// letter too wide is cut silently. These keep every geometry and make the font of only the
// widget concerned smaller until its whole text shows.

class QHeaderView;
class QWidget;

// True when the widget's text (label, button, check box, group title) shows whole at its
// current size in its own font; true for widgets without such a text.
bool text_fits(const QWidget *w);
// True when every section of the header shows every line of its label.
bool header_texts_fit(const QHeaderView *header);

// Shrinks the font of every text widget under `root` (and root itself) that does not fit,
// a pixel at a time down to a legible minimum. Children of a shrunk widget keep their font.
void fit_texts(QWidget *root);
// The same for the labels of a table header.
void fit_header_texts(QHeaderView *header);
