#include "text_fit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QStyleOptionComboBox>
#include <QAbstractItemModel>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QStyle>
#include <QStyleOption>

namespace {

constexpr int k_min_pixel_size = 7;

int pixel_size_of(const QWidget *w)
{
    const QFont f = w->font();
    if (f.pixelSize() > 0)
        return f.pixelSize();
    return QFontInfo(f).pixelSize();
}

// Pins the current font on the direct children, so a smaller font set on their parent
// (a group box for its title) does not reach its editors and labels.
void pin_children_fonts(QWidget *w)
{
    for (QObject *o : w->children()) {
        if (auto *child = qobject_cast<QWidget *>(o)) {
            QFont f = child->font();
            f.setResolveMask(QFont::AllPropertiesResolved);
            child->setFont(f);
        }
    }
}

bool shrink_by_one(QWidget *w)
{
    const int size = pixel_size_of(w);
    if (size <= k_min_pixel_size)
        return false;
    QFont f = w->font();
    f.setPixelSize(size - 1);
    w->setFont(f);
    return true;
}

}  // namespace

TextRoom text_room(const QWidget *w)
{
    const QFontMetrics fm(w->font());
    QStyle *style = w->style();
    if (auto *box = qobject_cast<const QGroupBox *>(w)) {
        QStyleOptionGroupBox opt;
        opt.initFrom(box);
        opt.text = box->title();
        opt.textAlignment = box->alignment();
        opt.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
        const QRect label = style->subControlRect(QStyle::CC_GroupBox, &opt,
                                                  QStyle::SC_GroupBoxLabel, box);
        return {box->title(), label.right() + 1, box->width()};
    }
    if (auto *check = qobject_cast<const QCheckBox *>(w)) {
        QStyleOptionButton opt;
        opt.initFrom(check);
        const QRect text = style->subElementRect(QStyle::SE_CheckBoxContents, &opt, check);
        return {check->text(), fm.horizontalAdvance(check->text()), text.width()};
    }
    if (auto *button = qobject_cast<const QPushButton *>(w)) {
        QStyleOptionButton opt;
        opt.initFrom(button);
        int room = style->subElementRect(QStyle::SE_PushButtonContents, &opt, button).width();
        // A menu button draws its arrow inside the label's room.
        if (button->menu()) {
            opt.features |= QStyleOptionButton::HasMenu;
            room -= style->pixelMetric(QStyle::PM_MenuButtonIndicator, &opt, button);
        }
        return {button->text(), fm.horizontalAdvance(button->text()), room};
    }
    if (auto *label = qobject_cast<const QLabel *>(w)) {
        if (label->wordWrap() || label->textFormat() == Qt::RichText)
            return {};
        const int margin = 2 * label->margin() + qMax(label->indent(), 0);
        return {label->text(), margin + fm.horizontalAdvance(label->text()),
                label->contentsRect().width()};
    }
    return {};
}

bool text_fits(const QWidget *w)
{
    const TextRoom room = text_room(w);
    return room.text.isEmpty() || room.need <= room.have;
}

bool header_texts_fit(const QHeaderView *header)
{
    const QAbstractItemModel *model = header->model();
    if (!model)
        return true;
    const QFontMetrics fm(header->font());
    const int margin = 2 * header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
    for (int i = 0; i < header->count(); ++i) {
        if (header->isSectionHidden(i))
            continue;
        const QString text = model->headerData(i, header->orientation()).toString();
        const QStringList lines = text.split(QLatin1Char('\n'));
        int widest = 0;
        for (const QString &line : lines)
            widest = qMax(widest, fm.horizontalAdvance(line));
        const int height = static_cast<int>(lines.size()) * fm.lineSpacing();
        const bool horizontal = header->orientation() == Qt::Horizontal;
        if (widest + margin > header->sectionSize(i) && horizontal)
            return false;
        if (horizontal && height > header->height())
            return false;
    }
    return true;
}

void fit_texts(QWidget *root)
{
    QList<QWidget *> widgets = root->findChildren<QWidget *>();
    widgets.prepend(root);
    for (QWidget *w : widgets) {
        if (text_fits(w))
            continue;
        pin_children_fonts(w);
        while (!text_fits(w) && shrink_by_one(w)) {
        }
    }
}

void fit_header_texts(QHeaderView *header)
{
    while (!header_texts_fit(header) && shrink_by_one(header)) {
    }
}

QFont font_fitting(const QFont &font, const QString &text, int width)
{
    QFont f = font;
    int size = f.pixelSize() > 0 ? f.pixelSize() : QFontInfo(f).pixelSize();
    while (QFontMetrics(f).horizontalAdvance(text) > width && size > k_min_pixel_size)
        f.setPixelSize(--size);
    return f;
}

void fit_combo_choices(QComboBox *combo)
{
    const auto widest_overflows = [combo] {
        QStyleOptionComboBox opt;
        opt.initFrom(combo);
        opt.editable = combo->isEditable();
        const int room = combo->style()
                             ->subControlRect(QStyle::CC_ComboBox, &opt,
                                              QStyle::SC_ComboBoxEditField, combo)
                             .width();
        const QFontMetrics fm(combo->font());
        for (int i = 0; i < combo->count(); ++i)
            if (fm.horizontalAdvance(combo->itemText(i)) > room)
                return true;
        return false;
    };
    while (widest_overflows() && shrink_by_one(combo)) {
    }
}
