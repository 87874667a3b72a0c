#pragma once
// The radio's command protocol: the four transactions the programmer runs over an open
// port, and the rule of which EEPROM addresses programming may write. Every transaction
// reports plain success or failure; its texts go to the Reporter's sink as they occur and
// every pause goes through the Reporter's sleeper.

#include "messages.h"
#include "model_context.h"
#include "rs_conf.h"

#include <cstdint>
#include <functional>

constexpr int RADIO_STATE_SIZE = 7;      // "$SS" G NK Sost CR, and the mode command
constexpr int RADIO_RECORD_SIZE = 6;     // dump record, write packet, echo record
constexpr int RADIO_RECORD_ADDRESS = 3;  // a record's EEPROM address byte
constexpr int RADIO_RECORD_VALUE = 4;    // and the value at that address
constexpr int RADIO_DUMP_SIZE = RS_IMAGE_SIZE * RADIO_RECORD_SIZE;  // 918
constexpr int RADIO_BATCH_PACKETS = 8;
constexpr int RADIO_BATCH_SIZE = RADIO_BATCH_PACKETS * RADIO_RECORD_SIZE;  // 48
constexpr int RADIO_FILLER_ADDRESS = 159;    // pads a short batch; the radio ignores it
constexpr int RADIO_COMMAND_DELAY_MS = 100;  // the plain mode command's wait for its reply

// State reply bytes.
constexpr int RADIO_STATE_G = 3;
constexpr int RADIO_STATE_NK = 4;
constexpr int RADIO_STATE_SOST = 5;
constexpr uint8_t RADIO_SOST_BIT3 = 0x08;
constexpr uint8_t RADIO_SOST_TONE_CALL = 0x10;
constexpr uint8_t RADIO_SOST_TRANSMITTING = 0x20;

// Checks that a decoded image makes sense (the caller's image decoder).
using ImageCheck = std::function<bool(const RS_EEPROM_IMAGE &)>;

// "$PSS": the 7-byte state reply into `sost` (framing not checked here).
bool query_state(int port, uint8_t *sost, const Reporter &reporter);

// Sends a 7-byte mode command "$MC" G NK Sost, waits `delay_ms` for its reply, then checks
// with a state query that the radio took the new state. On return `command` holds the last
// state reply read (or is unchanged when none was).
bool execute_command(int port, uint8_t *command, int delay_ms, const Reporter &reporter);

// Two agreeing dumps, applied record by record to `image` (any address up to 255), and
// then `decodes` must accept the image (an empty check accepts it); on failure `image` is
// left as it was.
bool read_image(int port, RS_EEPROM_IMAGE *image, const ImageCheck &decodes,
                const Reporter &reporter);

// The same, the image decoded with the station's tables; texts and pauses through
// ctx.reporter (the decoder reports its own failure).
bool read_image(int port, RS_EEPROM_IMAGE *image, const ModelContext &ctx);

// Sends 8 write packets, checks their echo and commits them to EEPROM.
bool write_batch(int port, const uint8_t *batch, const Reporter &reporter);

// Exactly 918 bytes, and every 6-byte record starts with "$SE".
bool check_image_records(const uint8_t *dump, int length);

// The addresses programming may write: 0..152 except the radio's own bytes.
bool is_programmable_address(int address);

// A write packet "$PD" address value CR into `out` (6 bytes).
void make_write_packet(uint8_t *out, uint8_t address, uint8_t value);
