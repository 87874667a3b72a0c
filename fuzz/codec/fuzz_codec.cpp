// The image codec on arbitrary images under arbitrary station tables. The input is the 153
// image bytes followed by a binary station description (see read_station). For an image
// the reader accepts (it decodes and every value passes the checks) the harness demands:
// - encoding it for programming succeeds wherever the band can be tuned;
// - encoding touches no factory bit and nothing past the image, and changes no value but
//   the receive tone's normalisation;
// - the encoded image decodes to the same parameters, so the form shows the same values;
// - encoding what that decodes to changes no byte: a radio programmed from this image and
//   read and programmed again without an edit is written nothing.

#include "frequency.h"
#include "image_codec.h"
#include "image_map.h"
#include "validation.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

void require(bool ok)
{
    if (!ok)
        __builtin_trap();
}

class NoSleep final : public Sleeper {
public:
    void sleep_ms(int) override {}
};

class Input {
public:
    Input(const uint8_t *data, size_t size) : data_(data), size_(size) {}
    uint8_t byte() { return at_ < size_ ? data_[at_++] : 0; }
    int32_t int32()
    {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i)
            v |= uint32_t(byte()) << (8 * i);
        return static_cast<int32_t>(v);
    }
    int16_t int16() { return static_cast<int16_t>(byte() | byte() << 8); }

private:
    const uint8_t *data_;
    size_t size_;
    size_t at_ = 0;
};

// Band rows: code, start, width, grid step and receive and transmit offsets, any values.
// A station's decoding offset undoes its encoding offset, and the rows of one band do not
// overlap (they may touch), or the table could not describe any radio. Tuning points: a
// calibration address names one of the radio's factory bytes or none.
void read_station(Input &in, STATION_CONFIG &st)
{
    std::memset(&st, 0, sizeof st);
    st.band_count = in.byte() % 9;
    int32_t next_start[256] = {};
    for (int i = 0; i < st.band_count; ++i) {
        STATION_BAND &b = st.bands[i];
        b.id = in.byte();
        const int64_t start = int64_t{next_start[b.id]} + (in.int32() & 0x3FFFFF);
        const int64_t end = start + (in.int32() & 0x3FFFFF);
        b.freq_start = static_cast<int32_t>(start > INT32_MAX ? INT32_MAX : start);
        b.freq_end = static_cast<int32_t>(end > INT32_MAX ? INT32_MAX : end);
        next_start[b.id] = b.freq_end;
        b.shag_setki = in.int16();
        b.delta_freq_enc_prm = in.int32();
        b.delta_freq_dec_prm = static_cast<int32_t>(-int64_t{b.delta_freq_enc_prm});
        b.delta_freq_enc_prd = in.int32();
        b.delta_freq_dec_prd = static_cast<int32_t>(-int64_t{b.delta_freq_enc_prd});
    }
    st.tun_count = in.byte() % 17;
    for (int i = 0; i < st.tun_count; ++i) {
        TUN_POINT &p = st.tun[i];
        p.Freq = in.int32();
        p.U = in.int16() / 100.0;
        p.id = in.byte();
        const uint8_t a = in.byte();
        p.Adress = image_address_valid(a) && image_kept_mask(a) != 0xFF ? 255 : a;
    }
}

bool same_conf(const RS_CONF &a, const RS_CONF &b)
{
    bool same = a.diapazon_code == b.diapazon_code && a.n_rab_kanala == b.n_rab_kanala
                && a.ctcss_prd == b.ctcss_prd && a.ctcss_prm == b.ctcss_prm
                && a.microphone == b.microphone && a.vt_prd == b.vt_prd && a.vt_prm == b.vt_prm
                && a.ur_gromk == b.ur_gromk && a.zapret == b.zapret;
    for (int i = 0; i < RS_CHANNELS; ++i)
        same = same && a.f_prd[i] == b.f_prd[i] && a.f_prm[i] == b.f_prm[i]
               && a.koder[i] == b.koder[i] && a.ph[i] == b.ph[i];
    return same;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    RS_EEPROM_IMAGE image;
    std::memset(&image, 0, sizeof image);
    std::memcpy(image.bytes, data, size < RS_IMAGE_SIZE ? size : RS_IMAGE_SIZE);
    Input in(data + (size < RS_IMAGE_SIZE ? size : RS_IMAGE_SIZE),
             size < RS_IMAGE_SIZE ? 0 : size - RS_IMAGE_SIZE);
    static STATION_CONFIG st;
    read_station(in, st);
    static NoSleep no_sleep;
    ModelContext ctx;
    ctx.station = &st;
    ctx.reporter = Reporter(nullptr, &no_sleep);

    RS_CONF read;
    if (!decode_image(ctx, image, read))
        return 0;
    RS_CONF checked = read;
    if (!validate_conf(ctx, checked))
        return 0;
    require(same_conf(checked, read));

    RS_CONF conf = read;
    RS_EEPROM_IMAGE out;
    std::memset(&out, 0x5A, sizeof out);
    const bool encoded = encode_image(ctx, conf, image, out, true);
    TUN_POINT points[STATION_MAX_TUN];
    const uint8_t band = read.diapazon_code;
    const bool tunable = (band == 1 || band == 2) && select_tun_points(st, band, points) >= 2;
    require(encoded == tunable);
    if (!encoded)
        return 0;
    // Encoding moves the receive tone onto the detector's step; for a few tones that step
    // is another tenth of the same code (the bytes below show it), so only that may move.
    require(conf.ctcss_prm == ctcss_prm_quantize(read.ctcss_prm));
    conf.ctcss_prm = read.ctcss_prm;
    require(same_conf(conf, read));
    for (int a = 0; a < RS_IMAGE_SIZE; ++a)
        require(((out.bytes[a] ^ image.bytes[a]) & image_kept_mask(a)) == 0);
    for (int a = RS_IMAGE_SIZE; a < RS_IMAGE_BUFFER_SIZE; ++a)
        require(out.bytes[a] == 0);

    RS_CONF again;
    require(decode_image(ctx, out, again));
    require(same_conf(again, read));
    RS_EEPROM_IMAGE out2;
    require(encode_image(ctx, again, out, out2, true));
    require(std::memcmp(out.bytes, out2.bytes, RS_IMAGE_SIZE) == 0);
    return 0;
}
