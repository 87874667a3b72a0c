#pragma once
// The main window's form without widgets: the texts a freshly started window would show and
// the flags it keeps beside them, driven through the same steps as the window's file
// loading and radio reading. The command-line programmer works on one of these, so a file
// it programs or reports is the form the window would have after loading that file.

#include "form_mapping.h"
#include "model_context.h"
#include "rs_conf.h"

class TextForm {
public:
    explicit TextForm(const ModelContext &ctx) : ctx_(ctx) {}

    FormTexts texts;  // four-column table, nothing entered
    uint8_t diapazon_code = 0;
    uint8_t flag_zapret = 0;
    bool flag_conf_read = false;
    RS_EEPROM_IMAGE image{};  // the image last read or loaded

    RS_CONF read() const;  // the form as a parameter set
    // Writes the set into the form; the forbidden-frequency box switching on clears the
    // frequencies the mode forbids, and the band's tuning points are checked.
    void fill(const RS_CONF &conf);
    // Encodes the form over the image, decodes and validates it, and shows the result.
    bool round_trip();

    // The file-loading steps after a 153-byte file was read. On false the form may be
    // partly changed, as the window's is.
    bool load_image(const RS_EEPROM_IMAGE &loaded);
    // The steps after an image arrived from the radio: decode, validate, fill, round trip.
    // Posts "Параметры считаны." or its error form and returns false only when the image
    // does not decode.
    bool take_radio_image(const RS_EEPROM_IMAGE &radio);

private:
    ModelContext ctx_;
};
