#pragma once
// A configuration as the command-line programmer shows it: one list of named fields, the
// same for `show`, `diff` and the dry run, as text for a person and as JSON for scripts.
// Values come from the texts the window's form would show, so a tone reads as "88.5", not
// as the single-precision double behind it.

#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <QStringList>
#include <vector>

#include "form_mapping.h"
#include "image_map.h"
#include "station_config.h"

struct ConfField {
    QString key;      // JSON name, e.g. "channel_R.rx_khz"
    QString label;    // Russian label, e.g. "Канал R, частота приема"
    QString text;     // as the window shows it
    QJsonValue json;  // number, bool or text
};

// The band code and the form's texts in field order: band, the nine channels (1..8, R),
// tones, volume, microphone, working channel, forbidden-frequency flag.
std::vector<ConfField> conf_fields(const STATION_CONFIG &station, uint8_t band,
                                   const FormTexts &form);

// The field keys an image address feeds (empty for the factory bytes).
QStringList fields_of_address(int address);

// `show`: a readable page, and the JSON object of the same fields.
QString show_text(const std::vector<ConfField> &fields);
QJsonObject show_json(const std::vector<ConfField> &fields);

struct FieldChange {
    const ConfField *a;
    const ConfField *b;
};
struct ByteChange {
    int address;
    uint8_t a, b;
    QStringList fields;  // what the address feeds
    bool programmable;
};

// Fields whose texts differ, in field order.
std::vector<FieldChange> field_changes(const std::vector<ConfField> &a,
                                       const std::vector<ConfField> &b);
// Addresses 0..152 whose bytes differ.
std::vector<ByteChange> byte_changes(const uint8_t *a, const uint8_t *b);

QString hex_byte(uint8_t value);
