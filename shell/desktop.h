#pragma once
// The desktop program: the start-up of the shell with its main frame. The command line
// runs it when it is given no command.

namespace mg::shell {

// Runs the desktop program until its main frame closes; returns the process's exit code.
int runDesktop(int argc, char** argv);

}  // namespace mg::shell
