// .reg files against Wine's own reg tool, which nobody here wrote.
#include "../settingsctl_fixture.h"

namespace {

class RegInterop : public SettingsctlTest {
protected:
  static constexpr const char *key = "HKEY_CURRENT_USER\\Software\\settingsstore-tests\\interop";

  void SetUp() override {
    SettingsctlTest::SetUp();
    Reg({"delete", key, "/f"});
    WriteBytes(Path("interop.reg"), DataFile("interop.reg"));
  }
  void TearDown() override {
    Reg({"delete", key, "/f"});
    SettingsctlTest::TearDown();
  }

  static ProgramResult Reg(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), "reg.exe");
    return RunProgram(arguments);
  }

  std::string RegExport(const std::string &name) {
    const ProgramResult result = Reg({"export", key, Path(name), "/y"});
    EXPECT_EQ(result.status, 0) << result.out << result.err;
    return ReadBytes(Path(name));
  }
};

TEST_F(RegInterop, WinesExportImportsAndExportsByteForByte) {
  ASSERT_EQ(Reg({"import", Path("interop.reg")}).status, 0);
  const std::string first = RegExport("first.reg");
  // The shipped file is what this Wine writes, so the Linux tests use it too.
  ASSERT_EQ(first, DataFile("interop.reg"));
  ASSERT_EQ(Reg({"delete", key, "/f"}).status, 0);
  const ProgramResult imported = Run({"reg", "import", Path("first.reg")});
  ASSERT_EQ(imported.status, 0) << imported.err;
  EXPECT_EQ(RegExport("second.reg"), first);
}

TEST_F(RegInterop, OurExportImportsIntoWineAndReadsBack) {
  ASSERT_EQ(Run({"reg", "import", Path("interop.reg")}).status, 0);
  const ProgramResult exported = Run({"reg", "export", key, Path("ours.reg")});
  ASSERT_EQ(exported.status, 0) << exported.err;
  EXPECT_EQ(ReadBytes(Path("ours.reg")), DataFile("interop.reg"));
  ASSERT_EQ(Reg({"delete", key, "/f"}).status, 0);
  const ProgramResult imported = Reg({"import", Path("ours.reg")});
  ASSERT_EQ(imported.status, 0) << imported.out << imported.err;
  const ProgramResult query = Reg({"query", key, "/s"});
  ASSERT_EQ(query.status, 0);
  // Wine's reg query prints each value as: four spaces, name, type, data.
  for (const char *line : {
           "    (Default)    REG_SZ    unnamed \"default\" value\n",
           "    quotes \"and\" back\\slashes    REG_SZ    C:\\Program Files\\\"quoted\"\\\n",
           "    dword    REG_DWORD    0x12345678\n",
           "    dword max    REG_DWORD    0xffffffff\n",
           "    binary empty    REG_BINARY    \n",
           "    multi    REG_MULTI_SZ    one\\0two \"2\"\\0C:\\three\n",
           "    expand    REG_EXPAND_SZ    %SystemRoot%\\system32;%PATH%\n",
           "    empty    REG_SZ    \n",
           "    inner    REG_SZ    value\n",
           "    x    REG_DWORD    0x1\n",
       }) {
    EXPECT_NE(query.out.find(line), std::string::npos) << line << "\n" << query.out;
  }
  EXPECT_NE(query.out.find("    binary    REG_BINARY    000102030405"), std::string::npos);
  EXPECT_NE(query.out.find(std::string(key) + "\\Sub\\Empty\n"), std::string::npos);
  // Wine's reg query cannot show a REG_QWORD; its export shows it came across.
  EXPECT_EQ(RegExport("back.reg"), DataFile("interop.reg"));
}

} // namespace
