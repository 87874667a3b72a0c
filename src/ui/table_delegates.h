#pragma once
// Editors of the channel table's cells: the coder and squelch lists and the two item
// delegates (normal mode with four columns, tx = rx mode with three).

#include <QComboBox>
#include <QItemDelegate>
#include <cstdint>

#include "station_config.h"

// Squelch level: "Выключен" ... "CTCSS", index 0 current after construction.
class ComboBoxPH : public QComboBox {
    Q_OBJECT
public:
    explicit ComboBoxPH(QWidget *parent = nullptr);
    static QStringList item_texts();
};

// Scrambler key: "Выключено", "Ключ 1" ... "Ключ 8", index 0 current after construction.
class ComboBoxKoder : public QComboBox {
    Q_OBJECT
public:
    explicit ComboBoxKoder(QWidget *parent = nullptr);
    static QStringList item_texts();
};

// What both delegates share; they differ only in which column holds which editor.
class ChannelDelegateBase : public QItemDelegate {
    Q_OBJECT
public:
    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override;
    void setEditorData(QWidget *editor, const QModelIndex &index) const override;
    void setModelData(QWidget *editor, QAbstractItemModel *model,
                      const QModelIndex &index) const override;
    void updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option,
                              const QModelIndex &index) const override;

    int32_t band_count() const { return band_count_; }
    const STATION_BAND *band_table() const { return band_table_; }
    uint8_t band_code() const { return band_code_; }
    uint8_t flag_zapret() const { return flag_zapret_; }

public slots:
    // Writes the sending combo box into its cell at once; the editor stays open.
    void emitCommitData();

protected:
    ChannelDelegateBase(QObject *parent, int32_t band_count, const STATION_BAND *bands,
                        uint8_t band_code, uint8_t flag_zapret, int last_freq_column);

private:
    int32_t band_count_;
    const STATION_BAND *band_table_;  // not owned
    uint8_t band_code_;
    uint8_t flag_zapret_;
    int last_freq_column_;  // frequency columns are 0..last; coder and squelch follow
};

// Normal mode: 0 receive, 1 transmit frequency, 2 coder, 3 squelch level.
class ComboBoxDelegate : public ChannelDelegateBase {
    Q_OBJECT
public:
    ComboBoxDelegate(QObject *parent, int32_t band_count, const STATION_BAND *bands,
                     uint8_t band_code, uint8_t flag_zapret);
};

// tx = rx mode: 0 common frequency, 1 coder, 2 squelch level.
class ComboBoxDelegate_ravno : public ChannelDelegateBase {
    Q_OBJECT
public:
    ComboBoxDelegate_ravno(QObject *parent, int32_t band_count, const STATION_BAND *bands,
                           uint8_t band_code, uint8_t flag_zapret);
};
