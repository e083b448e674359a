// The string table of the support tests' host program, shared by both
// builds: the Windows test program carries it as a real resource
// (string_table.rc), the Linux one hands it to the platform layer at start-up
// (posix/string_table.cpp). Texts are written for wide literals: \x escapes
// are UTF-16 units.
#ifndef SUPPORT_TESTS_STRING_TABLE_H
#define SUPPORT_TESTS_STRING_TABLE_H

// Block 1 holds entries 0 to 15; entry 0 is absent.
#define FIRST_ENTRY_ID 1
#define FIRST_ENTRY_TEXT "Entry one, first of block one"
#define LAST_OF_BLOCK_ONE_ID 15
#define LAST_OF_BLOCK_ONE_TEXT "Entry fifteen, last of block one"

// Block 2 holds entries 16 to 31.
#define FIRST_OF_BLOCK_TWO_ID 16
#define FIRST_OF_BLOCK_TWO_TEXT "Entry sixteen, first of block two"
#define NON_ASCII_ID 17
#define NON_ASCII_TEXT "Caf\x00e9 \x00e0 5 \x20ac"

// Block 3 (entries 32 to 47) holds only this entry of 500 characters.
#define LONG_ENTRY_ID 40
#define LONG_ENTRY_TEXT                                                                            \
  "Entry 40 holds 000-024.  Entry 40 holds 025-049.  Entry 40 holds 050-074.  Entry 40 holds "     \
  "075-099.  Entry 40 holds 100-124.  Entry 40 holds 125-149.  Entry 40 holds 150-174.  Entry 40 " \
  "holds 175-199.  Entry 40 holds 200-224.  Entry 40 holds 225-249.  Entry 40 holds 250-274.  "    \
  "Entry 40 holds 275-299.  Entry 40 holds 300-324.  Entry 40 holds 325-349.  Entry 40 holds "     \
  "350-374.  Entry 40 holds 375-399.  Entry 40 holds 400-424.  Entry 40 holds 425-449.  Entry 40 " \
  "holds 450-474.  Entry 40 holds 475-499.  "

// Block 4 (entries 48 to 63) holds only 40 euro signs: three bytes each in
// UTF-8, more than the block's two bytes a character.
#define EURO_ENTRY_ID 50
#define EURO_ENTRY_LENGTH 40
#define EURO_ENTRY_TEXT                                                                            \
  "\x20ac\x20ac\x20ac\x20ac\x20ac\x20ac\x20ac\x20ac\x20ac\x20ac\x20ac\x20ac\x20ac\x20ac\x20ac"     \
  "\x20ac\x20ac\x20ac\x20ac\x20ac\x20ac\x20ac\x20ac\x20ac\x20ac\x20ac\x20ac\x20ac\x20ac\x20ac"     \
  "\x20ac\x20ac\x20ac\x20ac\x20ac\x20ac\x20ac\x20ac\x20ac\x20ac"

#endif
