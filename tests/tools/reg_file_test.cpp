// .reg files: reading every form the registry editor and people write,
// writing the editor's own form, and taking a file whole or not at all.
#include "reg_file.h"
#include "settingsctl_fixture.h"
#include "text_encoding.h"

namespace {

std::string Utf16File(const std::string &ascii) {
  std::u16string wide(ascii.begin(), ascii.end());
  return "\xFF\xFE" + Utf16ToLittleEndianBytes(wide);
}

std::vector<RegFileKey> Parsed(const std::string &bytes) {
  std::vector<RegFileKey> keys;
  RegFileError error;
  EXPECT_TRUE(ParseRegFile(bytes, keys, error)) << error.line << ": " << error.what;
  return keys;
}

std::string Ansi(const std::u16string &wide) {
  std::string ansi;
  EXPECT_TRUE(Utf16ToAnsi(wide, ansi));
  return ansi;
}

TEST(RegFileRead, KeysValuesDeletionsContinuationsAndComments) {
  const std::string text = "Windows Registry Editor Version 5.00\r\n"
                           "\r\n"
                           "; a comment\r\n"
                           "[HKEY_CLASSES_ROOT\\x]\r\n"
                           "\"bin\"=hex:01,02,\\\r\n"
                           "    03,04\r\n"
                           "  ; an indented comment\r\n"
                           "[-HKEY_USERS\\y\\z]\r\n"
                           "[HKEY_LOCAL_MACHINE\\w]\r\n"
                           "\"gone\"=-\r\n"
                           "@=\"d\"  ; after a value\r\n"
                           "\"q\"=hex(b):01,00,00,00,00,00,00,80\r\n"
                           "\"n\"=dword:0000ABcd\r\n";
  for (const std::string &bytes : {Utf16File(text), text, "\xEF\xBB\xBF" + text}) {
    const std::vector<RegFileKey> keys = Parsed(bytes);
    ASSERT_EQ(keys.size(), 3u);
    EXPECT_EQ(keys[0].path.root->handle, HKEY_CLASSES_ROOT);
    EXPECT_EQ(keys[0].path.below, "x");
    ASSERT_EQ(keys[0].values.size(), 1u);
    EXPECT_EQ(keys[0].values[0].type, REG_BINARY);
    EXPECT_EQ(keys[0].values[0].data, std::string("\x01\x02\x03\x04"));
    EXPECT_TRUE(keys[1].remove);
    EXPECT_EQ(keys[1].path.root->handle, HKEY_USERS);
    EXPECT_EQ(keys[1].path.below, "y\\z");
    EXPECT_EQ(keys[1].line, 8);
    ASSERT_EQ(keys[2].values.size(), 4u);
    EXPECT_TRUE(keys[2].values[0].remove);
    EXPECT_EQ(keys[2].values[1].name, "");
    EXPECT_EQ(keys[2].values[1].data, std::string("d\0", 2));
    EXPECT_EQ(keys[2].values[2].type, REG_QWORD);
    EXPECT_EQ(keys[2].values[2].data, std::string("\x01\0\0\0\0\0\0\x80", 8));
    EXPECT_EQ(keys[2].values[3].data, std::string("\xCD\xAB\0\0", 4));
    EXPECT_EQ(keys[2].values[3].line, 13);
  }
}

TEST(RegFileRead, StringTypesAreUtf16InVersion5AndBytesInRegedit4) {
  const std::vector<RegFileKey> version5 =
      Parsed("Windows Registry Editor Version 5.00\r\n[HKEY_CURRENT_USER\\a]\r\n"
             "\"e\"=hex(2):25,00,50,00,25,00,00,00\r\n"
             "\"m\"=hex(7):61,00,00,00,62,00,00,00,00,00\r\n"
             "\"s\"=\"gr\xC3\xBC\xC3\x9F\x65 \\\"\\\\\\n\"\r\n");
  ASSERT_EQ(version5[0].values.size(), 3u);
  EXPECT_EQ(version5[0].values[0].data, std::string("%P%\0", 4));
  EXPECT_EQ(version5[0].values[1].data, std::string("a\0b\0\0", 5));
  EXPECT_EQ(version5[0].values[2].data, Ansi(u"gr\u00FC\u00DFe \"\\\n") + '\0');
  const std::vector<RegFileKey> regedit4 = Parsed(
      "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\a]\r\n\"e\"=hex(2):25,50,25,00\r\n\"s\"=\"x\"\r\n");
  EXPECT_EQ(regedit4[0].values[0].data, std::string("%P%\0", 4));
  EXPECT_EQ(regedit4[0].values[1].data, std::string("x\0", 2));
}

struct BadFile {
  const char *body; // after the 5.00 header line
  int line;
  const char *what;
};

TEST(RegFileRead, AnErrorNamesItsLineAndWhatIsWrong) {
  const BadFile files[] = {
      {"\"x\"=\"y\"\r\n", 2, "before the first [key]"},
      {"[HKEY_NOPE\\a]\r\n", 2, "unknown root key 'HKEY_NOPE'"},
      {"[CU\\a]\r\n", 2, "unknown root key 'CU'"},
      {"[-HKEY_CURRENT_USER]\r\n", 2, "root key cannot be deleted"},
      {"[HKEY_CURRENT_USER\\a\r\n", 2, "must end in ']'"},
      {"[HKEY_CURRENT_USER\\a\\\\b]\r\n", 2, "empty key name"},
      {"[HKEY_CURRENT_USER\\a]\r\n\r\n\"a\"=\"open\r\n", 4, "closing"},
      {"[HKEY_CURRENT_USER\\a]\r\n\"a\"=\"C:\\Temp\"\r\n", 3, "unknown escape '\\T'"},
      {"[HKEY_CURRENT_USER\\a]\r\n\"a\"=dword:123456789\r\n", 3, "dword:"},
      {"[HKEY_CURRENT_USER\\a]\r\n\"a\"=hex:1,2\r\n", 3, "two-digit bytes"},
      {"[HKEY_CURRENT_USER\\a]\r\n\"a\"=hex(zz):00\r\n", 3, "hex(N):"},
      {"[HKEY_CURRENT_USER\\a]\r\n\"a\"=hex(7):41,00,\\\r\n  42\r\n", 3, "odd number"},
      {"[HKEY_CURRENT_USER\\a]\r\n\"a\"=frob\r\n", 3, "unknown value"},
      {"[HKEY_CURRENT_USER\\a]\r\n\"a\" \"b\"\r\n", 3, "'=' expected"},
      {"[HKEY_CURRENT_USER\\a]\r\n\"a\"=\"b\" junk\r\n", 3, "unexpected text"},
      {"[-HKEY_CURRENT_USER\\a]\r\n\"a\"=\"b\"\r\n", 3, "deletes"},
      {"[HKEY_CURRENT_USER\\a]\r\nname=value\r\n", 3, "not a key, value or comment"},
      {"[HKEY_CURRENT_USER\\a]\r\n\"\xC3\x28\"=\"b\"\r\n", 3, "not valid UTF-8"},
  };
  for (const BadFile &file : files) {
    std::vector<RegFileKey> keys;
    RegFileError error;
    const std::string bytes = std::string("Windows Registry Editor Version 5.00\r\n") + file.body;
    EXPECT_FALSE(ParseRegFile(bytes, keys, error)) << file.body;
    EXPECT_EQ(error.line, file.line) << file.body;
    EXPECT_NE(error.what.find(file.what), std::string::npos) << file.body << ": " << error.what;
  }
  std::vector<RegFileKey> keys;
  RegFileError error;
  EXPECT_FALSE(ParseRegFile("[HKEY_CURRENT_USER\\a]\r\n", keys, error));
  EXPECT_NE(error.what.find("not a .reg file"), std::string::npos);
  EXPECT_FALSE(ParseRegFile("\xFE\xFF", keys, error));
  EXPECT_NE(error.what.find("big-endian"), std::string::npos);
}

std::string Rendered(const std::vector<TypedValue> &values) {
  std::string bytes;
  std::string problem;
  EXPECT_TRUE(RenderRegFile({{"HKEY_CURRENT_USER\\k", values}}, bytes, problem)) << problem;
  std::u16string wide;
  EXPECT_TRUE(LittleEndianBytesToUtf16(bytes.substr(2), wide));
  EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
  std::string text(wide.begin(), wide.end());
  const std::string head = "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\k]\r\n";
  EXPECT_EQ(text.substr(0, head.size()), head);
  return text.substr(head.size());
}

TEST(RegFileWrite, ValuesAsTheRegistryEditorWritesThem) {
  const std::string bytes23(23, '\x01');
  const std::string hex23 = "01,01,01,01,01,01,01,01,01,01,01,01,01,01,01,01,01,01,01,01,01,01,01";
  EXPECT_EQ(Rendered({{"", REG_SZ, std::string("d\0", 2)},
                      {"a", REG_BINARY, bytes23},
                      {"aa", REG_BINARY, bytes23},
                      {"aaaa", REG_BINARY, bytes23},
                      {"s", REG_SZ, "no terminator \"q\" \\ \r\n"},
                      {"nul", REG_SZ, std::string("a\0b\0", 4)},
                      {"empty", REG_SZ, ""},
                      {"d", REG_DWORD, std::string("\x78\x56\x34\x12", 4)},
                      {"d3", REG_DWORD, std::string("\x01\x02\x03", 3)},
                      {"e", REG_EXPAND_SZ, std::string("%P%\0", 4)},
                      {"t", 0x12345, "\xAA"},
                      {"none", REG_NONE, ""}}),
            "@=\"d\"\r\n"
            "\"a\"=hex:" +
                hex23 +
                "\r\n"
                "\"aa\"=hex:" +
                hex23 +
                "\r\n"
                "\"aaaa\"=hex:" +
                hex23.substr(0, 66) +
                "\\\r\n  01\r\n"
                "\"s\"=\"no terminator \\\"q\\\" \\\\ \\r\\n\"\r\n"
                "\"nul\"=hex(1):61,00,00,00,62,00,00,00\r\n"
                "\"empty\"=\"\"\r\n"
                "\"d\"=dword:12345678\r\n"
                "\"d3\"=hex(4):01,02,03\r\n"
                "\"e\"=hex(2):25,00,50,00,25,00,00,00\r\n"
                "\"t\"=hex(12345):aa\r\n"
                "\"none\"=hex(0):\r\n"
                "\r\n");
}

// A string given as hex without its NUL, such as the library stores, is
// exported as "text"; read again it has its NUL, and exports the same.
TEST(RegFileWrite, AStringWithoutItsNulExportsAsTextAndReadsBackWithIt) {
  for (const char *file : {"REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\k]\r\n\"e\"=Hex(1):25,\r\n",
                           "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\k]\r\n\"e\"=hex(1):\r\n"}) {
    const std::vector<RegFileKey> keys = Parsed(file);
    ASSERT_EQ(keys.size(), 1u);
    ASSERT_EQ(keys[0].values.size(), 1u);
    const RegFileValue &value = keys[0].values[0];
    EXPECT_EQ(value.type, static_cast<DWORD>(REG_SZ));
    const std::string text = value.data;
    std::string bytes;
    std::string problem;
    ASSERT_TRUE(RenderRegFile({{"HKEY_CURRENT_USER\\k", {{"e", REG_SZ, text}}}}, bytes, problem));
    const std::vector<RegFileKey> again = Parsed(bytes);
    ASSERT_EQ(again.size(), 1u);
    ASSERT_EQ(again[0].values.size(), 1u);
    EXPECT_EQ(again[0].values[0].type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(again[0].values[0].data, text + std::string(1, '\0'));
    std::string rewritten;
    ASSERT_TRUE(RenderRegFile({{"HKEY_CURRENT_USER\\k", {{"e", REG_SZ, again[0].values[0].data}}}},
                              rewritten, problem));
    EXPECT_EQ(rewritten, bytes);
    EXPECT_EQ(Rendered({{"e", REG_SZ, text}}), "\"e\"=\"" + text + "\"\r\n\r\n");
  }
}

// A key made by the tests' .reg file, removed before and after.
class RegFileRoundTrip : public SettingsctlTest {
protected:
  static constexpr const char *keyPath = "Software\\settingsstore-tests\\interop";

  void SetUp() override {
    SettingsctlTest::SetUp();
    RegDeleteTreeA(HKEY_CURRENT_USER, keyPath);
  }
  void TearDown() override {
    RegDeleteTreeA(HKEY_CURRENT_USER, keyPath);
    SettingsctlTest::TearDown();
  }
};

TEST_F(RegFileRoundTrip, AnExportedFileImportsAndExportsAgainByteForByte) {
  const std::string original = DataFile("interop.reg");
  ASSERT_GT(original.size(), 1000u);
  WriteBytes(Path("in.reg"), original);
  const ProgramResult imported = Run({"reg", "import", Path("in.reg")});
  ASSERT_EQ(imported.status, 0) << imported.err;
  ASSERT_EQ(Run({"reg", "export", std::string("CU\\") + keyPath, Path("out.reg")}).status, 0);
  EXPECT_EQ(ReadBytes(Path("out.reg")), original);

  // The same keys from a UTF-8 file without a mark come back the same.
  std::u16string wide;
  std::string utf8;
  ASSERT_TRUE(LittleEndianBytesToUtf16(original.substr(2), wide));
  ASSERT_TRUE(Utf16ToUtf8(wide, utf8));
  WriteBytes(Path("utf8.reg"), utf8.substr(0, utf8.find("\r\n\r\n") + 4) + "[-HKEY_CURRENT_USER\\" +
                                   keyPath + "]\r\n\r\n" + utf8.substr(utf8.find("\r\n\r\n") + 4));
  ASSERT_EQ(Run({"reg", "import", Path("utf8.reg")}).status, 0);
  ASSERT_EQ(Run({"reg", "export", std::string("HKEY_CURRENT_USER\\") + keyPath, Path("again.reg")})
                .status,
            0);
  EXPECT_EQ(ReadBytes(Path("again.reg")), original);
}

TEST_F(RegFileRoundTrip, AFileWithAnErrorChangesNothing) {
  const std::string key = std::string("HKEY_CURRENT_USER\\") + keyPath;
  ASSERT_EQ(Run({"reg", "set", std::string("CU\\") + keyPath, "kept", "v", "1"}).status, 0);
  WriteBytes(Path("bad.reg"), "Windows Registry Editor Version 5.00\r\n\r\n"
                              "[-" +
                                  key +
                                  "\\kept]\r\n\r\n"
                                  "[" +
                                  key +
                                  "\\new]\r\n\"a\"=\"b\"\r\n"
                                  "\"c\"=dword:1x\r\n");
  const ProgramResult result = Run({"reg", "import", Path("bad.reg")});
  EXPECT_EQ(result.status, 4);
  EXPECT_NE(result.err.find("bad.reg:7: unexpected text"), std::string::npos) << result.err;
  EXPECT_NE(result.err.find("nothing was imported"), std::string::npos) << result.err;
  EXPECT_EQ(Run({"reg", "sections", std::string("CU\\") + keyPath}).out, "kept\n");
  EXPECT_EQ(Run({"reg", "get", std::string("CU\\") + keyPath, "kept", "v"}).out, "1\n");
}

} // namespace
