#include "text_form.h"

#include "image_codec.h"
#include "validation.h"

RS_CONF TextForm::read() const { return read_form(texts, flag_zapret, diapazon_code); }

void TextForm::fill(const RS_CONF &conf)
{
    const bool was_checked = texts.zapret;
    texts = form_texts_from_conf(conf, texts.ravno);
    if (texts.zapret != was_checked) {
        flag_zapret = texts.zapret ? 1 : 0;
        if (texts.zapret)
            clear_forbidden_frequencies(texts);
    }
    check_tun_points(ctx_, conf.diapazon_code);
}

bool TextForm::round_trip()
{
    RS_CONF conf = read();
    RS_EEPROM_IMAGE encoded{};
    const bool ok = encode_image(ctx_, conf, image, encoded, flag_conf_read)
                    && decode_image(ctx_, encoded, conf) && validate_conf(ctx_, conf);
    diapazon_code = conf.diapazon_code;
    fill(conf);
    return ok;
}

bool TextForm::load_image(const RS_EEPROM_IMAGE &loaded)
{
    RS_CONF conf{};
    if (!decode_image(ctx_, loaded, conf) || !validate_conf(ctx_, conf))
        return false;
    diapazon_code = conf.diapazon_code;
    fill(conf);
    image = loaded;
    flag_conf_read = true;
    if (!round_trip()) {
        flag_conf_read = false;
        return false;
    }
    return true;
}

bool TextForm::take_radio_image(const RS_EEPROM_IMAGE &radio)
{
    image = radio;
    RS_CONF conf{};
    if (!decode_image(ctx_, image, conf))
        return false;
    flag_conf_read = true;
    validate_conf(ctx_, conf);
    diapazon_code = conf.diapazon_code;
    fill(conf);
    ctx_.reporter.post(round_trip()
                           ? QStringLiteral("Параметры считаны.")
                           : QStringLiteral("Параметры считаны, но имеются ошибки в данных."));
    return true;
}
