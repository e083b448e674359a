#include "command_line.h"

#include "exit_status.h"
#include "platform/platform.h"

#include <CLI/CLI.hpp>

#include <iostream>

namespace {

// The options that only some commands take.
enum OptionBit : unsigned {
  DefaultOption = 1,
  NumberOption = 2,
  HexOption = 4,
  JsonOption = 8,
  NormalizeOption = 16,
  DwordOption = 32,
};

struct CommandDefinition {
  Command command;
  const char *group; // "reg" for the registry commands, else null
  const char *name;
  std::vector<const char *> operands;
  std::size_t required; // operands from this one on are optional
  unsigned options;
  const char *description;
  const char *optionHelp;
};

const std::vector<CommandDefinition> &Definitions() {
  static const std::vector<CommandDefinition> definitions = {
      {Command::Get,
       nullptr,
       "get",
       {"FILE", "SECTION", "NAME"},
       3,
       DefaultOption | NumberOption | HexOption | JsonOption,
       "Print a value of a profile file",
       "[--default TEXT] [--number | --hex] [--json]"},
      {Command::Set,
       nullptr,
       "set",
       {"FILE", "SECTION", "NAME", "VALUE"},
       4,
       NormalizeOption,
       "Set a value (the file and the section are made when missing)",
       "[--normalize]"},
      {Command::SetNumber,
       nullptr,
       "set-number",
       {"FILE", "SECTION", "NAME", "N"},
       4,
       NormalizeOption,
       "Set a value to a number",
       "[--normalize]"},
      {Command::Sections,
       nullptr,
       "sections",
       {"FILE"},
       1,
       JsonOption,
       "List the sections of a profile file",
       "[--json]"},
      {Command::Names,
       nullptr,
       "names",
       {"FILE", "SECTION"},
       2,
       JsonOption,
       "List the value names of a section",
       "[--json]"},
      {Command::DeleteSection,
       nullptr,
       "delete-section",
       {"FILE", "SECTION"},
       2,
       NormalizeOption,
       "Delete a section with all its values",
       "[--normalize]"},
      {Command::Dump,
       nullptr,
       "dump",
       {"FILE"},
       1,
       JsonOption,
       "Print every section and value, in file order",
       "[--json]"},
      {Command::RegGet,
       "reg",
       "get",
       {"PATH", "SECTION", "NAME"},
       3,
       DefaultOption | JsonOption,
       "Print a registry value",
       "[--default TEXT] [--json]"},
      {Command::RegSet,
       "reg",
       "set",
       {"PATH", "SECTION", "NAME", "VALUE"},
       4,
       DwordOption | NumberOption,
       "Set a registry value: text, or with --dword a REG_DWORD, with --number a number as text",
       "[--dword | --number]"},
      {Command::RegNames,
       "reg",
       "names",
       {"PATH", "SECTION"},
       2,
       JsonOption,
       "List the value names of a key with their types",
       "[--json]"},
      {Command::RegSections,
       "reg",
       "sections",
       {"PATH"},
       1,
       JsonOption,
       "List the subkeys of a key",
       "[--json]"},
      {Command::RegDelete,
       "reg",
       "delete",
       {"PATH", "SECTION", "NAME"},
       2,
       0,
       "Delete a value, or (without NAME) a key with everything below it",
       ""},
      {Command::RegExport,
       "reg",
       "export",
       {"PATH", "FILE"},
       2,
       0,
       "Write a key and all its subkeys to a .reg file",
       ""},
      {Command::RegImport,
       "reg",
       "import",
       {"FILE"},
       1,
       0,
       "Apply a .reg file: all of it, or nothing when it has an error",
       ""},
  };
  return definitions;
}

const char *const commonHelp =
    "Common options, anywhere on the line: --continuation, --quotes (profile files: join lines "
    "ending in a backslash and keep quotes around quoted values), --read-only (change nothing; "
    "registry keys are opened for reading only), --view 32|64 (the registry view), --registry DB "
    "(Linux: the registry database file), --help, --version.";

const char *const shortCommonHelp =
    "Options for every command: --continuation, --quotes, --read-only, --view 32|64, "
    "--registry DB (see settingsctl --help).\n";

const char *const pathHelp =
    "PATH names a registry key as CU\\Software\\Acme (roots CU, LM, CR, US, or HKCU, HKLM, HKCR, "
    "HKU, or the long HKEY_ names). SECTION is a subkey path below it; an empty SECTION (\"\") "
    "means PATH itself. NAME (Default) is the key's unnamed value.";

std::string Synopsis(const CommandDefinition &definition) {
  std::string text =
      std::string("settingsctl ") + (definition.group ? "reg " : "") + definition.name;
  for (std::size_t i = 0; i < definition.operands.size(); ++i) {
    text += i < definition.required ? std::string(" ") + definition.operands[i]
                                    : std::string(" [") + definition.operands[i] + "]";
  }
  if (*definition.optionHelp) {
    text += std::string(" ") + definition.optionHelp;
  }
  return text;
}

struct Parsed {
  const CommandDefinition *definition = nullptr;
  CLI::App *app = nullptr;
  std::vector<std::string> operands;
};

class Parser {
public:
  explicit Parser(Invocation &invocation) : invocation(invocation) {
    app.name("settingsctl");
    app.description("Reads and changes settings in profile (.ini) files and the registry.");
    app.footer(std::string(commonHelp) + "\n\nExit status: 0 success, 1 not found, 2 usage "
                                         "error, 3 not stored, 4 unreadable input file.\n"
                                         "Run 'settingsctl COMMAND --help' for one command.\n");
    app.set_version_flag("--version", "settingsctl " SETTINGSCTL_VERSION);
    app.require_subcommand(1);
    app.fallthrough();
    app.get_formatter()->label("SUBCOMMAND", "COMMAND");
    app.get_formatter()->label("SUBCOMMANDS", "COMMANDS");
    app.get_formatter()->label("Subcommands", "Commands");
    AddOptions();
    AddCommands();
  }

  std::optional<int> Parse(int argc, char **argv) {
    if (const std::string unknown = UnknownCommand(argc, argv); !unknown.empty()) {
      return UsageError("unknown command '" + unknown + "'");
    }
    try {
      app.parse(argc, argv);
    } catch (const CLI::CallForHelp &) {
      std::cout << HelpText();
      return ExitSuccess;
    } catch (const CLI::CallForAllHelp &) {
      std::cout << app.help("", CLI::AppFormatMode::All);
      return ExitSuccess;
    } catch (const CLI::CallForVersion &) {
      std::cout << "settingsctl " SETTINGSCTL_VERSION "\n";
      return ExitSuccess;
    } catch (const CLI::ParseError &error) {
      return UsageError(error.what());
    }
    return Finish();
  }

private:
  void AddOptions() {
    Options &options = invocation.options;
    defaultOption = app.add_option("--default", defaultText, "Print TEXT when there is no value");
    app.add_flag("--number", options.number, "Read, or store, the value as a number");
    app.add_flag("--hex", options.hex, "Read the value as a hexadecimal number");
    app.add_flag("--json", options.json, "Print one JSON document");
    app.add_flag("--normalize", options.normalize, "Write the library's standard layout");
    app.add_flag("--dword", options.dword, "Store a REG_DWORD");
    app.add_flag("--continuation,--quotes", options.modeWord,
                 "Join continued lines, keep quotes (the key's mode word)");
    app.add_flag("--read-only", options.readOnly, "Change nothing");
    app.add_option("--view", view, "Registry view")->check(CLI::IsMember({"32", "64"}));
    registryOption = app.add_option("--registry", registry, "Linux: the registry database file");
  }

  void AddCommands() {
    CLI::App *reg = app.add_subcommand("reg", "Registry commands (settingsctl reg --help)");
    reg->require_subcommand(1);
    reg->fallthrough();
    reg->footer(std::string(pathHelp) + "\n\n" + commonHelp + "\n");
    // Operands are bound to the parsed entries: they must not move.
    commands.reserve(Definitions().size());
    reg->group("Commands");
    for (const CommandDefinition &definition : Definitions()) {
      CLI::App *parent = definition.group ? reg : &app;
      CLI::App *command = parent->add_subcommand(definition.name, definition.description);
      command->fallthrough();
      command->group("Commands");
      command->footer("Synopsis: " + Synopsis(definition) + "\n\n" +
                      (definition.group ? pathHelp : "") + (definition.group ? "\n\n" : "") +
                      shortCommonHelp);
      commands.push_back(
          {&definition, command, std::vector<std::string>(definition.operands.size())});
      Parsed &parsed = commands.back();
      for (std::size_t i = 0; i < definition.operands.size(); ++i) {
        CLI::Option *operand = command->add_option(definition.operands[i], parsed.operands[i]);
        if (i < definition.required) {
          operand->required();
        }
      }
    }
  }

  // Help for the innermost command named on the line, its usage line
  // spelled out in full.
  std::string HelpText() {
    for (Parsed &parsed : commands) {
      if (parsed.app->parsed()) {
        return parsed.app->help(parsed.definition->group ? "settingsctl reg" : "settingsctl");
      }
    }
    for (CLI::App *sub : app.get_subcommands()) {
      if (sub->parsed()) {
        return sub->help("settingsctl");
      }
    }
    return app.help();
  }

  // The command words on the line, when they name no command: CLI11 would
  // only say that one is missing.
  static std::string UnknownCommand(int argc, char **argv) {
    std::vector<std::string> words;
    for (int i = 1; i < argc && words.size() < 2; ++i) {
      const std::string argument = argv[i];
      if (argument == "--") {
        break;
      }
      if (argument.rfind("-", 0) == 0) {
        const bool takesValue =
            argument == "--default" || argument == "--view" || argument == "--registry";
        i += takesValue ? 1 : 0;
        continue;
      }
      words.push_back(argument);
      if (argument != "reg") {
        break;
      }
    }
    if (words.empty() || (words.size() == 1 && words[0] == "reg")) {
      return "";
    }
    const char *group = words[0] == "reg" ? "reg" : nullptr;
    const std::string &name = words.back();
    for (const CommandDefinition &definition : Definitions()) {
      if (((definition.group == nullptr) == (group == nullptr)) && name == definition.name) {
        return "";
      }
    }
    return group ? "reg " + name : name;
  }

  static int UsageError(const std::string &what) {
    std::cerr << "settingsctl: " << what << "\nRun 'settingsctl --help' for usage.\n";
    return ExitUsage;
  }

  std::optional<int> Finish() {
    const Parsed *chosen = nullptr;
    for (const Parsed &parsed : commands) {
      if (parsed.app->parsed()) {
        chosen = &parsed;
      }
    }
    if (!chosen) {
      return UsageError("a command is needed");
    }
    const CommandDefinition &definition = *chosen->definition;
    Options &options = invocation.options;
    const std::pair<unsigned, bool> given[] = {{DefaultOption, defaultOption->count() > 0},
                                               {NumberOption, options.number},
                                               {HexOption, options.hex},
                                               {JsonOption, options.json},
                                               {NormalizeOption, options.normalize},
                                               {DwordOption, options.dword}};
    const char *names[] = {"--default", "--number", "--hex", "--json", "--normalize", "--dword"};
    for (std::size_t i = 0; i < std::size(given); ++i) {
      if (given[i].second && (definition.options & given[i].first) == 0) {
        return UsageError(std::string(names[i]) + " does not apply to '" +
                          (definition.group ? "reg " : "") + definition.name + "'");
      }
    }
    if ((options.number && options.hex) || (options.number && options.dword)) {
      return UsageError(options.hex ? "--number and --hex exclude each other"
                                    : "--number and --dword exclude each other");
    }
    if (defaultOption->count() > 0) {
      options.defaultText = defaultText;
    }
    if (registryOption->count() > 0) {
      options.registry = registry;
    }
    options.viewFlags = view == "32" ? KEY_WOW64_32KEY : view == "64" ? KEY_WOW64_64KEY : 0;
    invocation.command = definition.command;
    invocation.operands = chosen->operands;
    std::size_t given_operands = 0;
    for (std::size_t i = 0; i < definition.operands.size(); ++i) {
      if (chosen->app->get_option(definition.operands[i])->count() > 0) {
        given_operands = i + 1;
      }
    }
    invocation.operands.resize(std::max(given_operands, definition.required));
    return std::nullopt;
  }

  Invocation &invocation;
  CLI::App app;
  std::vector<Parsed> commands;
  CLI::Option *defaultOption = nullptr;
  CLI::Option *registryOption = nullptr;
  std::string defaultText;
  std::string registry;
  std::string view;
};

} // namespace

std::optional<int> ParseCommandLine(int argc, char **argv, Invocation &invocation) {
  Parser parser(invocation);
  return parser.Parse(argc, argv);
}
