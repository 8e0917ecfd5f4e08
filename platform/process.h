// What a console program takes from its process: the arguments, its own file name,
// standard streams fit for binary data, and whether it has a console window of its own.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace lumera {

// The command line's arguments as UTF-8, the program's name first. On Windows they come
// from the process's own command line, split by SplitCommandLine, and argc and argv are
// unused.
std::vector<std::string> ProgramArguments(int argc, char** argv);

// ProgramArguments as argc and argv, for getopt.
class TArgv {
 public:
  TArgv(int argc, char** argv);
  TArgv(const TArgv&) = delete;
  TArgv& operator=(const TArgv&) = delete;
  int Count() const { return static_cast<int>(FArgs.size()); }
  char** Values() { return FValues.data(); }

 private:
  std::vector<std::string> FArgs;
  std::vector<char*> FValues;  // into FArgs, then a null pointer
};

// The operands as the user meant them. cmd.exe leaves wildcards to the program, so on
// Windows an operand with * or ? in its last component becomes the names it matches
// (sorted, with the operand's folder in front), and one that matches nothing stays as it
// stands. POSIX shells have expanded them already: there operands come back unchanged.
std::vector<std::string> ExpandWildcards(std::vector<std::string> operands);

// The program's file name without its folder ("lumera", "lumera.exe"), for the failure
// report. argv0 may be null.
std::string ProgramFileName(const char* argv0);

// Readies the standard streams before anything is read or written: a closed one is
// replaced by one whose use fails, so that no file opened later can take its place, and
// on Windows every stream carries bytes unchanged (no CR LF translation, no Ctrl-Z as the
// end of input).
void PrepareStandardStreams();

// Whether the process has its console window to itself, which closes the moment it ends:
// a program started by a double click or by dropping a file onto it on Windows. Never so
// on POSIX systems, whose terminals outlive the programs run in them.
bool AloneOnConsole();

// A command line split as the user means it: blanks (spaces and tabs) separate, double
// quotes group and are dropped, and a backslash is an ordinary character, so that
// "C:\dir\" x gives C:\dir\ and x. An argument may be empty (""). The program's name
// comes first.
std::vector<std::string> SplitCommandLine(std::string_view line);

}  // namespace lumera
