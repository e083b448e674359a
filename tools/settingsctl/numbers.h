// Numbers as settingsctl reads them from its command line.
#pragma once

#include <cstdint>
#include <string>

// Decimal ("123", "-5") or hexadecimal with 0x ("0x1F"), from -2147483648 to
// 4294967295, as the 32 bits the library stores; false for anything else.
bool ParseNumber32(const std::string &text, std::uint32_t &value);
