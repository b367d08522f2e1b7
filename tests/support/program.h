#pragma once
// Runs the marrowgate program in a folder of a test, as a user would from a terminal.

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace mg::test {

// Starts the program with `args` in `folder`; its standard output and error are appended
// to messages.txt there. Returns the process id.
pid_t startProgram(const std::string& binary, const std::filesystem::path& folder, const std::vector<std::string>& args);

// Waits for the process; returns its exit status, or 128 + the signal that ended it.
int waitProgram(pid_t pid);

// Kills the process with SIGKILL after `milliseconds` unless it ended before; returns true
// when it was killed.
bool killAfter(pid_t pid, int milliseconds);

// Whether the test has a server of its own that it may stop (scripts/pg.sh's MG_PG_CTL, and
// MG_PG_STOPPABLE set by the test's registration): never the server the other tests share.
bool serverStoppable();

// Stops the test's server at once after `milliseconds` unless the process ended before,
// waits for the process to end on its lost connection, and starts the server again; returns
// true when the server was stopped under it. A process that does not end within a minute of
// the stop is killed, and the test fails.
bool stopServerAfter(pid_t pid, int milliseconds);

// Writes a vorn.ini in `folder` that points at the test's database `database` (the file, or
// the database's name on the test server).
void writeConnectionIni(const std::filesystem::path& folder, const std::string& database);

}  // namespace mg::test
