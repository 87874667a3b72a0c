#include "table_delegates.h"

#include "conf_texts.h"
#include "freq_edit.h"
#include "text_fit.h"

// ---- combo boxes ---------------------------------------------------------------------

QStringList ComboBoxPH::item_texts() { return ph_texts(); }

ComboBoxPH::ComboBoxPH(QWidget *parent) : QComboBox(parent)
{
    addItems(item_texts());
    setCurrentIndex(0);
}

QStringList ComboBoxKoder::item_texts() { return koder_texts(); }

ComboBoxKoder::ComboBoxKoder(QWidget *parent) : QComboBox(parent)
{
    addItems(item_texts());
    setCurrentIndex(0);
}

// ---- delegates -----------------------------------------------------------------------

ChannelDelegateBase::ChannelDelegateBase(QObject *parent, int32_t band_count,
                                         const STATION_BAND *bands, uint8_t band_code,
                                         uint8_t flag_zapret, int last_freq_column)
    : QItemDelegate(parent), band_count_(band_count), band_table_(bands), band_code_(band_code),
      flag_zapret_(flag_zapret), last_freq_column_(last_freq_column)
{
}

QWidget *ChannelDelegateBase::createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                                           const QModelIndex &index) const
{
    const int column = index.column();
    if (column >= 0 && column <= last_freq_column_) {
        auto *editor = new LineEditFreq(parent);
        editor->set_band_rows(band_count_, band_table_, band_code_);
        editor->set_flag_zapret(flag_zapret_ != 0);
        return editor;
    }
    QComboBox *combo = nullptr;
    if (column == last_freq_column_ + 1)
        combo = new ComboBoxKoder(parent);
    else if (column == last_freq_column_ + 2)
        combo = new ComboBoxPH(parent);
    else
        return QItemDelegate::createEditor(parent, option, index);
    connect(combo, &QComboBox::activated, this, &ChannelDelegateBase::emitCommitData);
    return combo;
}

void ChannelDelegateBase::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    if (qobject_cast<ComboBoxPH *>(editor) || qobject_cast<ComboBoxKoder *>(editor)) {
        auto *combo = static_cast<QComboBox *>(editor);
        const int found = combo->findText(index.data(Qt::DisplayRole).toString(),
                                          Qt::MatchExactly | Qt::MatchCaseSensitive);
        combo->setCurrentIndex(found < 0 ? 0 : found);
        return;
    }
    QItemDelegate::setEditorData(editor, index);
}

void ChannelDelegateBase::setModelData(QWidget *editor, QAbstractItemModel *model,
                                       const QModelIndex &index) const
{
    if (qobject_cast<ComboBoxPH *>(editor) || qobject_cast<ComboBoxKoder *>(editor)) {
        auto *combo = static_cast<QComboBox *>(editor);
        const QStringList items = qobject_cast<ComboBoxPH *>(editor) ? ComboBoxPH::item_texts()
                                                                     : ComboBoxKoder::item_texts();
        if (!items.contains(combo->currentText()))
            combo->setCurrentIndex(0);
        model->setData(index, combo->currentText(), Qt::EditRole);
        return;
    }
    if (auto *freq = qobject_cast<LineEditFreq *>(editor)) {
        freq->normalize_frequency();
        model->setData(index, freq->text(), Qt::EditRole);
        return;
    }
    QItemDelegate::setModelData(editor, model, index);
}

void ChannelDelegateBase::updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option,
                                               const QModelIndex &index) const
{
    QItemDelegate::updateEditorGeometry(editor, option, index);
    if (auto *combo = qobject_cast<QComboBox *>(editor))
        fit_combo_choices(combo);
}

void ChannelDelegateBase::emitCommitData()
{
    if (auto *editor = qobject_cast<QWidget *>(sender()))
        emit commitData(editor);
}

ComboBoxDelegate::ComboBoxDelegate(QObject *parent, int32_t band_count, const STATION_BAND *bands,
                                   uint8_t band_code, uint8_t flag_zapret)
    : ChannelDelegateBase(parent, band_count, bands, band_code, flag_zapret, 1)
{
}

ComboBoxDelegate_ravno::ComboBoxDelegate_ravno(QObject *parent, int32_t band_count,
                                               const STATION_BAND *bands, uint8_t band_code,
                                               uint8_t flag_zapret)
    : ChannelDelegateBase(parent, band_count, bands, band_code, flag_zapret, 0)
{
}
