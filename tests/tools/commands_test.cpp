// Every command and every exit status of settingsctl, run as a program.
#include "settingsctl_fixture.h"

#include <nlohmann/json.hpp>

namespace {

const char *const settingsFile = "; settings of a test\r\n"
                                 "[Window]\r\n"
                                 "Width=1024\r\n"
                                 "Hexy=ff\r\n"
                                 "Title=\"quoted title\"\r\n"
                                 "\r\n"
                                 "[Recent Files]\r\n"
                                 "File1=C:\\Data\\stock.db\r\n"
                                 "File2=C:\\Data\\orders.db\r\n"
                                 "\r\n"
                                 "[Startup]\r\n"
                                 "Runs=0\r\n";

struct Step {
  std::vector<std::string> arguments; // {F} the settings file, {M} a missing file,
                                      // {R} the scratch key, {X} a .reg file
  int status;
  const char *out;        // exact standard output; null: anything
  const char *errorNames; // a text the message on stderr holds; null: stderr is empty
};

// In order: the steps build on each other.
const Step steps[] = {
    // Profile files.
    {{"get", "{F}", "Window", "Width"}, 0, "1024\n", nullptr},
    {{"get", "{F}", "window", "WIDTH"}, 0, "1024\n", nullptr},
    {{"get", "{F}", "Window", "Title"}, 0, "quoted title\n", nullptr},
    {{"get", "{F}", "Window", "Title", "--quotes"}, 0, "\"quoted title\"\n", nullptr},
    {{"get", "{F}", "Window", "Missing"}, 1, "", nullptr},
    {{"get", "{F}", "Nowhere", "Width"}, 1, "", nullptr},
    {{"get", "--default", "five", "{F}", "Window", "Missing"}, 0, "five\n", nullptr},
    {{"get", "{F}", "Window", "Width", "--number"}, 0, "1024\n", nullptr},
    {{"--hex", "get", "{F}", "Window", "Hexy"}, 0, "255\n", nullptr},
    {{"get", "{F}", "Window", "Missing", "--number", "--default", "0x10"}, 0, "16\n", nullptr},
    {{"get", "{F}", "Window", "Missing", "--number", "--default", "ten"}, 2, "", "ten"},
    {{"get", "{F}", "Window", "Width", "--number", "--hex"}, 2, "", "exclude"},
    {{"get", "{M}", "Window", "Width"}, 1, "", "no such file"},
    {{"get", "{M}", "Window", "Width", "--default", "d"}, 0, "d\n", nullptr},
    {{"set", "{F}", "Window", "Width", "1280"}, 0, "", nullptr},
    {{"get", "{F}", "Window", "Width"}, 0, "1280\n", nullptr},
    {{"set", "{F}", "Window", "Left", "a value with = and spaces"}, 0, "", nullptr},
    {{"get", "{F}", "Window", "Left"}, 0, "a value with = and spaces\n", nullptr},
    {{"set-number", "{F}", "Startup", "Runs", "-1"}, 0, "", nullptr},
    {{"get", "{F}", "Startup", "Runs"}, 0, "-1\n", nullptr},
    {{"get", "{F}", "Startup", "Runs", "--number"}, 0, "4294967295\n", nullptr},
    {{"set-number", "{F}", "Startup", "Runs", "4294967296"}, 2, "", "bad number"},
    {{"set-number", "{F}", "Startup", "Runs", "12x"}, 2, "", "bad number"},
    {{"set", "{F}", "Window", "a=b", "x"}, 3, "", "refused"},
    {{"set", "{F}", "Window", "", "x"}, 3, "", "empty"},
    {{"set", "{F}", "Window", "Width", "1", "--read-only"}, 3, "", "read-only"},
    {{"sections", "{F}"}, 0, "Window\nRecent Files\nStartup\n", nullptr},
    {{"names", "{F}", "Recent Files"}, 0, "File1\nFile2\n", nullptr},
    {{"names", "{F}", "Nowhere"}, 1, "", nullptr},
    {{"names", "{M}", "Window"}, 1, "", "no such file"},
    {{"delete-section", "{F}", "Startup"}, 0, "", nullptr},
    {{"delete-section", "{F}", "Startup"}, 1, "", nullptr},
    {{"dump", "{F}"},
     0,
     "[Window]\nWidth=1280\nHexy=ff\nTitle=quoted title\nLeft=a value with = and spaces\n"
     "[Recent Files]\nFile1=C:\\Data\\stock.db\nFile2=C:\\Data\\orders.db\n",
     nullptr},
    {{"dump", "{M}"}, 1, "", "no such file"},
    {{"set", "{M}", "New", "made", "here"}, 0, "", nullptr},
    {{"dump", "{M}"}, 0, "[New]\nmade=here\n", nullptr},
    // The registry.
    {{"reg", "set", "{R}", "Window", "Width", "1024"}, 0, "", nullptr},
    {{"reg", "get", "{R}", "Window", "Width"}, 0, "1024\n", nullptr},
    {{"reg", "set", "{R}", "Window", "Count", "7", "--dword"}, 0, "", nullptr},
    {{"reg", "get", "{R}", "window", "count"}, 0, "7\n", nullptr},
    {{"reg", "set", "{R}", "Window", "Number", "-2", "--number"}, 0, "", nullptr},
    {{"reg", "get", "{R}", "Window", "Number"}, 0, "-2\n", nullptr},
    {{"reg", "set", "{R}", "", "(Default)", "the key's own"}, 0, "", nullptr},
    {{"reg", "get", "{R}", "", "(Default)"}, 0, "the key's own\n", nullptr},
    {{"reg", "set", "{R}", "", "(Default)", "1", "--dword"}, 2, "", "(Default)"},
    {{"reg", "set", "{R}", "Window", "Count", "seven", "--dword"}, 2, "", "bad number"},
    {{"reg", "names", "{R}", "Window"},
     0,
     "Count\tREG_DWORD\nNumber\tREG_SZ\nWidth\tREG_SZ\n",
     nullptr},
    {{"reg", "names", "{R}", ""}, 0, "(Default)\tREG_SZ\n", nullptr},
    {{"reg", "sections", "{R}"}, 0, "Window\n", nullptr},
    {{"reg", "get", "{R}", "Window", "Missing"}, 1, "", nullptr},
    {{"reg", "get", "{R}", "Nowhere", "Width"}, 1, "", nullptr},
    {{"reg", "get", "{R}", "Nowhere", "Width", "--default", "d"}, 0, "d\n", nullptr},
    {{"reg", "names", "{R}", "Nowhere"}, 1, "", nullptr},
    {{"reg", "sections", "{R}\\Nowhere"}, 1, "", nullptr},
    {{"reg", "set", "{R}", "Window", "Width", "1", "--read-only"}, 3, "", "read-only"},
    {{"reg", "get", "{R}", "Window", "Width", "--read-only"}, 0, "1024\n", nullptr},
    {{"reg", "delete", "{R}", "Window", "Width", "--read-only"}, 3, "", "read-only"},
    {{"reg", "delete", "{R}", "Window", "Width"}, 0, "", nullptr},
    {{"reg", "delete", "{R}", "Window", "Width"}, 1, "", "no such value"},
    {{"reg", "get", "{R}", "Window", "Width"}, 1, "", nullptr},
    {{"reg", "export", "{R}", "{X}"}, 0, "", nullptr},
    {{"reg", "delete", "{R}", "Window"}, 0, "", nullptr},
    {{"reg", "delete", "{R}", "Window"}, 1, "", "no such key"},
    {{"reg", "sections", "{R}"}, 0, "", nullptr},
    {{"reg", "import", "{X}"}, 0, "", nullptr},
    {{"reg", "get", "{R}", "Window", "Count"}, 0, "7\n", nullptr},
    {{"reg", "import", "{X}", "--read-only"}, 3, "", "read-only"},
    {{"reg", "import", "{X}.missing"}, 4, "", "cannot be read"},
    {{"reg", "import", "{F}"}, 4, "", ":1: not a .reg file"},
    {{"reg", "export", "{R}\\Nowhere", "{X}"}, 1, "", "Nowhere"},
    {{"reg", "get", "XY\\Software", "s", "n"}, 2, "", "XY\\Software"},
    {{"reg", "delete", "CU", ""}, 2, "", "root"},
    // The command line.
    {{}, 2, "", "command"},
    {{"frobnicate"}, 2, "", "unknown command 'frobnicate'"},
    {{"reg"}, 2, "", nullptr},
    {{"reg", "frob", "{R}"}, 2, "", "unknown command 'reg frob'"},
    {{"get", "{F}", "Window"}, 2, "", "NAME"},
    {{"get", "{F}", "Window", "Width", "--bogus"}, 2, "", "--bogus"},
    {{"get", "{F}", "Window", "Width", "--dword"}, 2, "", "--dword"},
    {{"reg", "get", "{R}", "Window", "Count", "--view", "16"}, 2, "", "16"},
    {{"reg", "get", "{R}", "Window", "Count", "--view", "64"}, 0, "7\n", nullptr},
    {{"--version"}, 0, "settingsctl " SETTINGSCTL_VERSION "\n", nullptr},
    {{"get", "--help"}, 0, nullptr, nullptr},
    {{"reg", "export", "--help"}, 0, nullptr, nullptr},
};

std::string Substituted(const std::string &argument, const std::string &file,
                        const std::string &missing, const std::string &key,
                        const std::string &regFile) {
  std::string text = argument;
  const std::pair<const char *, const std::string *> names[] = {
      {"{F}", &file}, {"{M}", &missing}, {"{R}", &key}, {"{X}", &regFile}};
  for (const auto &[name, value] : names) {
    for (std::size_t at = text.find(name); at != std::string::npos; at = text.find(name)) {
      text.replace(at, 3, *value);
    }
  }
  return text;
}

class SettingsctlCommands : public SettingsctlTest {};

TEST_F(SettingsctlCommands, EveryCommandAndExitStatus) {
  const std::string file = Path("settings.ini");
  WriteBytes(file, settingsFile);
  for (const Step &step : steps) {
    std::vector<std::string> arguments;
    std::string shown;
    for (const std::string &argument : step.arguments) {
      arguments.push_back(
          Substituted(argument, file, Path("missing.ini"), RegistryPath(), Path("key.reg")));
      shown += " '" + arguments.back() + "'";
    }
    const ProgramResult result = Run(arguments);
    EXPECT_EQ(result.status, step.status) << shown << "\n" << result.err;
    if (step.out) {
      EXPECT_EQ(result.out, step.out) << shown;
    } else {
      EXPECT_NE(result.out, "") << shown;
    }
    if (step.errorNames) {
      EXPECT_NE(result.err.find(step.errorNames), std::string::npos) << shown << "\n" << result.err;
    } else if (step.status != 2 && step.arguments.size() > 0 && step.arguments[0] != "reg") {
      EXPECT_EQ(result.err, "") << shown;
    }
  }
}

TEST_F(SettingsctlCommands, JsonReadsBackAsTheValues) {
  const std::string file = Path("settings.ini");
  WriteBytes(file, settingsFile);
  const std::string key = RegistryPath();

  auto json = [](const ProgramResult &result) {
    EXPECT_EQ(result.status, 0) << result.err;
    return nlohmann::json::parse(result.out);
  };
  const auto value = json(Run({"get", file, "Window", "Width", "--json"}));
  EXPECT_EQ(value, nlohmann::json({{"section", "Window"}, {"name", "Width"}, {"value", "1024"}}));
  EXPECT_EQ(json(Run({"get", file, "Window", "Width", "--json", "--number"}))["value"], 1024);
  const auto dump = json(Run({"dump", file, "--json"}));
  ASSERT_EQ(dump.size(), 6u);
  EXPECT_EQ(dump[2],
            nlohmann::json({{"section", "Window"}, {"name", "Title"}, {"value", "quoted title"}}));
  EXPECT_EQ(dump[4]["value"], "C:\\Data\\orders.db");
  EXPECT_EQ(json(Run({"sections", file, "--json"})),
            nlohmann::json::parse(
                R"([{"section":"Window"},{"section":"Recent Files"},{"section":"Startup"}])"));
  EXPECT_EQ(json(Run({"names", file, "Startup", "--json"})),
            nlohmann::json::parse(R"([{"section":"Startup","name":"Runs"}])"));

  ASSERT_EQ(Run({"reg", "set", key, "s", "text", "a \"quoted\" \\ text"}).status, 0);
  ASSERT_EQ(Run({"reg", "set", key, "s", "count", "4294967295", "--dword"}).status, 0);
  EXPECT_EQ(json(Run({"reg", "get", key, "s", "text", "--json"})),
            nlohmann::json({{"section", "s"},
                            {"name", "text"},
                            {"value", "a \"quoted\" \\ text"},
                            {"type", "REG_SZ"}}));
  EXPECT_EQ(json(Run({"reg", "get", key, "s", "count", "--json"}))["value"], 4294967295u);
  EXPECT_EQ(json(Run({"reg", "names", key, "s", "--json"})),
            nlohmann::json::parse(R"([{"section":"s","name":"count","type":"REG_DWORD"},
                                      {"section":"s","name":"text","type":"REG_SZ"}])"));
  EXPECT_EQ(json(Run({"reg", "sections", key, "--json"})),
            nlohmann::json::parse(R"([{"section":"s"}])"));
}

TEST_F(SettingsctlCommands, ARefusedValueLeavesTheFileByteForByte) {
  const std::string file = Path("settings.ini");
  WriteBytes(file, settingsFile);
  for (const char *name : {"=starts", "[bracket", "a=b"}) {
    const ProgramResult result = Run({"set", file, "Window", name, "v"});
    EXPECT_EQ(result.status, 3) << name;
    EXPECT_NE(result.err.find(file), std::string::npos) << result.err;
  }
  EXPECT_EQ(Run({"set", file, "", "name", "v"}).status, 3);
  EXPECT_EQ(ReadBytes(file), settingsFile);
}

TEST_F(SettingsctlCommands, AnUnwritableFileIsReportedAndLeftAsItWas) {
  OpenFolderToEveryone(folder);
  const std::string file = Path("settings.ini");
  WriteBytes(file, settingsFile);
  SetReadOnly(file, true);
  const ProgramResult result = Run({"set", file, "Window", "Width", "1"}, true);
  SetReadOnly(file, false);
  EXPECT_EQ(result.status, 3) << result.err;
  EXPECT_NE(result.err.find(file + ": could not be written"), std::string::npos) << result.err;
  EXPECT_EQ(ReadBytes(file), settingsFile);
  // The change was given up, not written when the program ended.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder),
                          std::filesystem::directory_iterator()),
            1);
}

TEST_F(SettingsctlCommands, AFileWithCommentsKeepsThemAfterSet) {
  const std::string file = Path("settings.ini");
  WriteBytes(file, settingsFile);
  ASSERT_EQ(Run({"set", file, "Window", "Width", "1280"}).status, 0);
  std::string expected = settingsFile;
  expected.replace(expected.find("Width=1024"), 10, "Width=1280");
  EXPECT_EQ(ReadBytes(file), expected);
}

TEST_F(SettingsctlCommands, NormalizeWritesTheStandardLayout) {
  const std::string file = Path("settings.ini");
  WriteBytes(file, settingsFile);
  ASSERT_EQ(Run({"set", file, "Window", "Width", "1280", "--normalize"}).status, 0);
  EXPECT_EQ(ReadBytes(file), "[Window]\r\nWidth=1280\r\nHexy=ff\r\nTitle=\"quoted title\"\r\n\r\n"
                             "[Recent Files]\r\nFile1=C:\\Data\\stock.db\r\n"
                             "File2=C:\\Data\\orders.db\r\n\r\n[Startup]\r\nRuns=0\r\n\r\n");
}

} // namespace
