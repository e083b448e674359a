// The SQLite registry when its writer dies: a child process stores values
// one by one, reporting each store that returned, and is killed with SIGKILL
// at a random moment of its life (while starting, opening or setting up the
// database, or between and inside stores). After every kill the database
// must open, pass SQLite's integrity check and hold every value whose store
// had returned. Only kills of a process that was still running count.
//
// SETTINGSSTORE_REGISTRY_KILLS sets the number of kills (30 by default; the
// figure reported for the library comes from a run of 300 or more).
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <poll.h>
#include <random>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

constexpr const char *keyPath = "Software\\settingsstore-crash";
constexpr const char *prefix = "v";

int KillsWanted() {
  const char *wanted = std::getenv("SETTINGSSTORE_REGISTRY_KILLS");
  return wanted != nullptr && std::atoi(wanted) > 0 ? std::atoi(wanted) : 30;
}

// A running registry_child whose standard output is a pipe to us.
struct Child {
  pid_t pid = -1;
  int output = -1;
};

Child Start(const std::vector<std::string> &arguments, const std::string &database) {
  int pipeEnds[2];
  if (pipe(pipeEnds) != 0) {
    return {};
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
  posix_spawn_file_actions_addclose(&actions, pipeEnds[1]);
  std::vector<std::string> environment = {"SETTINGSSTORE_REGISTRY=" + database};
  for (char **variable = environ; *variable != nullptr; ++variable) {
    if (std::string(*variable).rfind("SETTINGSSTORE_REGISTRY=", 0) != 0) {
      environment.push_back(*variable);
    }
  }
  std::vector<char *> argv = {const_cast<char *>(REGISTRY_CHILD_PROGRAM)};
  for (const std::string &argument : arguments) {
    argv.push_back(const_cast<char *>(argument.c_str()));
  }
  argv.push_back(nullptr);
  std::vector<char *> envp;
  for (std::string &variable : environment) {
    envp.push_back(variable.data());
  }
  envp.push_back(nullptr);
  Child child;
  if (posix_spawn(&child.pid, REGISTRY_CHILD_PROGRAM, &actions, nullptr, argv.data(),
                  envp.data()) != 0) {
    child.pid = -1;
  }
  posix_spawn_file_actions_destroy(&actions);
  close(pipeEnds[1]);
  child.output = pipeEnds[0];
  return child;
}

// Everything the child wrote until its end.
std::string ReadAll(int descriptor) {
  std::string text;
  char buffer[4096];
  while (true) {
    const ssize_t got = read(descriptor, buffer, sizeof buffer);
    if (got > 0) {
      text.append(buffer, static_cast<std::size_t>(got));
    } else if (got == 0 || errno != EINTR) {
      break;
    }
  }
  close(descriptor);
  return text;
}

// Reads what the child prints until it has printed lines whole lines, it
// ends, or a minute passes; false unless the lines came.
bool ReadLines(int descriptor, std::string &printed, int lines) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
  while (static_cast<int>(std::count(printed.begin(), printed.end(), '\n')) < lines) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd ready{descriptor, POLLIN, 0};
    if (left.count() <= 0 || poll(&ready, 1, static_cast<int>(left.count())) <= 0) {
      return false;
    }
    char buffer[4096];
    const ssize_t got = read(descriptor, buffer, sizeof buffer);
    if (got <= 0) {
      return false;
    }
    printed.append(buffer, static_cast<std::size_t>(got));
  }
  return true;
}

// The last of the numbers the child printed, one a whole line; -1 when it
// printed none.
long LastReported(const std::string &lines) {
  long last = -1;
  for (std::size_t at = 0, end = lines.find('\n'); end != std::string::npos;
       at = end + 1, end = lines.find('\n', at)) {
    last = std::strtol(lines.c_str() + at, nullptr, 10);
  }
  return last;
}

std::string IntegrityOf(const std::string &database) {
  sqlite3 *connection = nullptr;
  std::string verdict = "cannot open";
  if (sqlite3_open_v2(database.c_str(), &connection, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK) {
    sqlite3_stmt *statement = nullptr;
    if (sqlite3_prepare_v2(connection, "PRAGMA integrity_check", -1, &statement, nullptr) ==
            SQLITE_OK &&
        sqlite3_step(statement) == SQLITE_ROW) {
      verdict = reinterpret_cast<const char *>(sqlite3_column_text(statement, 0));
    }
    sqlite3_finalize(statement);
  }
  sqlite3_close(connection);
  return verdict;
}

class RegistryCrash : public testing::Test {
protected:
  void SetUp() override {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "settingsstore-crash-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    folder = pattern;
    database = (folder / "registry.db").string();
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
  }

  std::filesystem::path folder;
  std::string database;
};

TEST_F(RegistryCrash, EveryValueWhoseStoreReturnedSurvivesAKillAtAnyMoment) {
  using Clock = std::chrono::steady_clock;
  using Microseconds = std::chrono::microseconds;
  const int wanted = KillsWanted();
  std::mt19937_64 random(20261209);
  // A quarter of the kills fall in the first 60% of the time the last child
  // took to its first store, while the process starts and opens or sets up
  // the database; the others after the
  // child reported 1 to 20 stores, at a random moment of the next one. The
  // moments are measured on the children themselves, so that a slow machine
  // moves them along.
  double startup = 2000;  // microseconds from the start to the first report, last seen
  double perStore = 2000; // microseconds from one report to the next, on average
  std::bernoulli_distribution earlyKill(0.25);
  std::uniform_int_distribution<int> reportsBefore(1, 20);
  int kills = 0;
  int killsBeforeAStore = 0;
  int killsAfterAStore = 0;
  int calls = 0;
  long stored = 0; // values 0 .. stored - 1 were reported stored
  long storedInAll = 0;
  while (kills < wanted && calls < 4 * wanted) {
    // Every tenth kill starts a new database, so that its set-up is killed too.
    if (kills % 10 == 0 && stored > 0) {
      for (const char *suffix : {"", "-wal", "-shm", "-journal"}) {
        std::filesystem::remove(database + suffix);
      }
      storedInAll += stored;
      stored = 0;
    }
    ++calls;
    const bool early = earlyKill(random);
    const int reportsFirst = early ? 0 : reportsBefore(random);
    const Clock::time_point begun = Clock::now();
    Child child =
        Start({"set-report", keyPath, prefix, std::to_string(stored), "1000000"}, database);
    ASSERT_GT(child.pid, 0);
    std::string printed;
    if (early) {
      std::uniform_int_distribution<long> moment(0, static_cast<long>(startup * 0.6));
      std::this_thread::sleep_for(Microseconds(moment(random)));
    } else {
      ASSERT_TRUE(ReadLines(child.output, printed, 1)) << "no store returned, kill " << kills;
      const double first = std::chrono::duration<double, std::micro>(Clock::now() - begun).count();
      ASSERT_TRUE(ReadLines(child.output, printed, reportsFirst));
      const double all = std::chrono::duration<double, std::micro>(Clock::now() - begun).count();
      startup = first;
      if (reportsFirst > 1) {
        perStore = (perStore + (all - first) / (reportsFirst - 1)) / 2;
      }
      std::uniform_int_distribution<long> moment(0, static_cast<long>(perStore));
      std::this_thread::sleep_for(Microseconds(moment(random)));
    }
    kill(child.pid, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(child.pid, &status, 0), child.pid);
    const long last = LastReported(printed + ReadAll(child.output));
    ASSERT_FALSE(WIFEXITED(status))
        << "the writer gave up with status " << WEXITSTATUS(status) << " after kill " << kills;
    kills += WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
    if (last >= stored) {
      ++killsAfterAStore;
      stored = last + 1;
    } else {
      ++killsBeforeAStore;
    }
    // A process of its own opens the database afresh and finds every value
    // (before the first store the key may not be there yet).
    Child checker = Start({"check", keyPath, prefix, std::to_string(stored)}, database);
    ASSERT_GT(checker.pid, 0);
    const std::string found = ReadAll(checker.output);
    waitpid(checker.pid, &status, 0);
    if (stored > 0 || found != "2 0") {
      ASSERT_EQ(found, "0 " + std::to_string(stored)) << "after kill " << kills;
    }
    if (std::filesystem::exists(database)) {
      ASSERT_EQ(IntegrityOf(database), "ok") << "after kill " << kills;
    }
  }
  storedInAll += stored;
  EXPECT_EQ(kills, wanted);
  // Both kinds of moment were hit.
  EXPECT_GT(killsBeforeAStore, 0);
  EXPECT_GE(killsAfterAStore, wanted / 2);
  std::printf("kills of a running writer: %d (%d kill calls), %d before any store had returned "
              "in that process, %d after; %ld values stored and found\n",
              kills, calls, killsBeforeAStore, killsAfterAStore, storedInAll);
}

} // namespace
