#include "image_check.h"

#include "image_map.h"
#include "radio_protocol.h"

namespace {

bool writable(int address)
{
    return is_programmable_address(address) && address != ADDR_N_RAB_KANALA;
}

std::vector<int> differing(const RS_EEPROM_IMAGE &a, const RS_EEPROM_IMAGE &b, bool want_writable)
{
    std::vector<int> out;
    for (int address = 0; address < RS_IMAGE_SIZE; ++address)
        if (a.bytes[address] != b.bytes[address] && writable(address) == want_writable)
            out.push_back(address);
    return out;
}

}  // namespace

std::vector<int> writable_differences(const RS_EEPROM_IMAGE &a, const RS_EEPROM_IMAGE &b)
{
    return differing(a, b, true);
}

std::vector<int> unwritable_differences(const RS_EEPROM_IMAGE &radio, const RS_EEPROM_IMAGE &target)
{
    return differing(radio, target, false);
}
