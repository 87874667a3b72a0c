#pragma once
// The codec between the radio's EEPROM image and the editable parameter set. Encoding always
// starts from a base image and changes only the bits the address map gives to a parameter.

#include "image_map.h"
#include "model_context.h"
#include "rs_conf.h"

#include <cstdint>

// Scrambler key byte: bit 7 = on, bits 0..6 = key number. Off is written as 1.
uint8_t koder_from_byte(uint8_t b);
uint8_t koder_to_byte(uint8_t key);

// Squelch code byte (0 "off" .. 5 "CTCSS only"). Levels above 5 are written as off.
uint8_t ph_from_byte(uint8_t b);
uint8_t ph_to_byte(uint8_t level);

// Zero-fills conf and decodes addresses 0..152 of image into it. Reports an unknown band code
// or, for bands 1 and 2, missing tuning points; false then (conf partly filled).
bool decode_image(const ModelContext &ctx, const RS_EEPROM_IMAGE &image, RS_CONF &conf);

// Writes base's image with conf's parameters into out (bytes beyond the image are zeroed).
// conf is normalised in place: receive CTCSS quantised, call tones rounded to tens, band code
// taken from base. conf_read is the window's "a configuration was read" flag.
// False, after a message where the failure has one, when conf cannot be encoded; out is then
// unusable. base may be the same object as out.
bool encode_image(const ModelContext &ctx, RS_CONF &conf, const RS_EEPROM_IMAGE &base,
                  RS_EEPROM_IMAGE &out, bool conf_read);

// The last encoding step: tuning bytes 105..113 from the receive frequencies, interpolated
// over the band's tuning points with the voltages the image itself holds at their addresses.
// False for a band other than 1 and 2 or with fewer than 2 tuning points.
bool encode_tuning_bytes(const STATION_CONFIG &st, const RS_CONF &conf, RS_EEPROM_IMAGE &out);
