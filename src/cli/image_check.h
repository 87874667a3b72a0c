#pragma once
// Byte comparisons behind verify, restore and the checks before programming. The bytes
// decide; decoded fields only explain.

#include "rs_conf.h"

#include <vector>

// Programmable addresses but the stored working channel (which programming never writes)
// whose bytes differ: what a write run can change.
std::vector<int> writable_differences(const RS_EEPROM_IMAGE &a, const RS_EEPROM_IMAGE &b);

// Addresses that are never written (not programmable, or the stored working channel) whose
// bytes differ: a run aiming at `target` can never get there.
std::vector<int> unwritable_differences(const RS_EEPROM_IMAGE &radio,
                                        const RS_EEPROM_IMAGE &target);
