#pragma once
// The two long radio operations, over the serial channel and the command protocol:
// fetching a radio's image for the form, and programming a configuration into a radio.
// The window supplies the station, the message sink and the form's contents; the form
// itself is filled or read by the window.

#include "model_context.h"
#include "rs_conf.h"

#include <cstdint>
#include <functional>

// Checks that the radio answers, then reads its image twice into `image` (the window's
// buffer; unchanged unless two agreeing dumps arrived). True when the image decodes.
// `com_port_id` receives the port index.
bool fetch_radio_image(const ModelContext &ctx, int &com_port_id, RS_EEPROM_IMAGE &image);

// What programming takes from the form, read before the run starts (the form cannot
// change while it runs: the run blocks the window).
struct ProgramForm {
    uint8_t wc = 0;               // working channel as typed
    bool flag_conf_read = false;  // a configuration was read or loaded before
    bool form_filled = false;     // no field of the form is empty or "0"
    RS_CONF conf{};               // the form as a parameter set
};

// The image programming aims for: the form's set encoded over the radio's image, the radio's
// stored working channel kept. Checks the band and the data and posts the failure texts of
// the programming run's preparation. Sends nothing.
bool build_program_image(const ModelContext &ctx, const ProgramForm &form,
                         const RS_EEPROM_IMAGE &old_image, RS_EEPROM_IMAGE &new_image);

// What a caller adds to one programming run.
struct ProgramRun {
    // Called with the radio's image just read, once the image to write is ready and before
    // the first write packet; false ends the run with nothing written.
    std::function<bool(const RS_EEPROM_IMAGE &radio_image)> before_writing;
    bool writes_begun = false;  // out: a write packet was sent
    bool form_refused = false;  // out: the form's configuration cannot go into this radio
};

// Takes the radio off transmission and tone call, writes the differing programmable
// bytes until a read-back matches (three rounds at most), then switches the radio to the
// working channel and restores its state. True only when the read-back matched.
bool program_radio(const ModelContext &ctx, int &com_port_id, const ProgramForm &form,
                   ProgramRun *run = nullptr);
