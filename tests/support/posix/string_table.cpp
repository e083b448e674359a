// The Linux test program's string table, handed to the platform layer before
// any test runs, as a host program does at start-up.
#include "support/string_table.h"
#include "platform/platform.h"

#define WIDEN_(text) u##text
#define WIDEN(text) WIDEN_(text)

namespace {

const StringTableEntry stringTable[] = {
    {FIRST_ENTRY_ID, WIDEN(FIRST_ENTRY_TEXT)},
    {LAST_OF_BLOCK_ONE_ID, WIDEN(LAST_OF_BLOCK_ONE_TEXT)},
    {FIRST_OF_BLOCK_TWO_ID, WIDEN(FIRST_OF_BLOCK_TWO_TEXT)},
    {NON_ASCII_ID, WIDEN(NON_ASCII_TEXT)},
    {LONG_ENTRY_ID, WIDEN(LONG_ENTRY_TEXT)},
    {EURO_ENTRY_ID, WIDEN(EURO_ENTRY_TEXT)},
};

const bool registered = [] {
  RegisterStringTable(stringTable, sizeof stringTable / sizeof stringTable[0]);
  return true;
}();

} // namespace
