#pragma once
// The two long radio operations, over the serial channel and the command protocol:
// fetching a radio's image for the form, and programming a configuration into a radio.
// The window supplies the station, the message sink and the form's contents; the form
// itself is filled or read by the window.

#include "model_context.h"
#include "rs_conf.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

// Checks that the radio answers, then reads its image twice into `image` (the window's
// buffer; unchanged unless two agreeing dumps arrived). True when the image decodes.
// `com_port_id` receives the port index. With `undecodable` given, an image that arrived
// whole but does not decode is still put into `image` and the flag set (the command line
// keeps and compares such images byte for byte).
bool fetch_radio_image(const ModelContext &ctx, int &com_port_id, RS_EEPROM_IMAGE &image,
                       bool *undecodable = nullptr);

// What programming takes from the form, read before the run starts (the form cannot
// change while it runs: the run blocks the window).
struct ProgramForm {
    uint8_t wc = 0;               // working channel as typed
    bool flag_conf_read = false;  // a configuration was read or loaded before
    bool form_filled = false;     // no field of the form is empty or "0"
    RS_CONF conf{};               // the form as a parameter set
    // A byte-for-byte restore instead of the form: the image to write takes these bytes at
    // every programmable address but the stored working channel; the members above but wc
    // are not used. wc 0 leaves the radio on the channel it is working on.
    const RS_EEPROM_IMAGE *exact = nullptr;
};

// The image programming aims for: the form's set encoded over the radio's image, the radio's
// stored working channel kept. Checks the band and the data and posts the failure texts of
// the programming run's preparation. Sends nothing.
bool build_program_image(const ModelContext &ctx, const ProgramForm &form,
                         const RS_EEPROM_IMAGE &old_image, RS_EEPROM_IMAGE &new_image);

// What a caller adds to one programming run.
struct ProgramRun {
    // Called with the radio's image just read and the image to write, once that is ready
    // and before the first write packet; false ends the run with nothing written.
    std::function<bool(const RS_EEPROM_IMAGE &radio_image, const RS_EEPROM_IMAGE &target)>
        before_writing;
    // Set from elsewhere (a signal) to end the run at the next step: a batch on the line
    // is never cut, nothing is written after it.
    const std::atomic<bool> *cancel = nullptr;
    // A run that fails or is cancelled after taking the radio off transmission or out of
    // its tone call puts those states back (the window leaves them, as it always has).
    bool restore_state_on_abort = false;

    bool writes_begun = false;          // out: a write packet was sent
    bool form_refused = false;          // out: the form's configuration cannot go into this radio
    bool cancelled = false;             // out: ended by `cancel`
    bool state_changed = false;         // out: taken off transmission or out of a tone call
    bool state_restore_failed = false;  // out: putting that back failed, on abort or at the end
    bool images_ready = false;          // out: radio_before and target are set
    RS_EEPROM_IMAGE radio_before{};     // out: the radio's image before writing
    RS_EEPROM_IMAGE target{};           // out: the image the run writes
    bool memory_verified = false;       // out: the read-back matched; only the final state failed
    bool read_back_valid = false;       // out: read_back holds the last read-back
    RS_EEPROM_IMAGE read_back{};
    std::vector<int> sent_addresses;  // out: addresses sent in write packets, in order
};

// The image a byte-for-byte restore writes over `radio`: `exact`'s bytes at every
// programmable address but the stored working channel, the radio's elsewhere.
void build_exact_image(const RS_EEPROM_IMAGE &radio, const RS_EEPROM_IMAGE &exact,
                       RS_EEPROM_IMAGE &target);

// Takes the radio off transmission and tone call, writes the differing programmable
// bytes until a read-back matches (three rounds at most), then switches the radio to the
// working channel and restores its state. True only when the read-back matched and the
// radio confirmed its channel and state.
bool program_radio(const ModelContext &ctx, int &com_port_id, const ProgramForm &form,
                   ProgramRun *run = nullptr);
