// Where a program writes a result, without losing or clobbering anything.
//
// A regular file is written to a temporary file beside it and renamed over it only once
// the whole result is there: a failure leaves no partial file, and an existing file is
// only ever replaced by a complete one. The target's lock is held while it is replaced,
// so that sharing stays denied as for every file this system opens. Anything else (a
// pipe, /dev/null, a terminal, standard output) is written directly, with no truncate and
// no lock. A run ended by SIGINT, SIGTERM or SIGHUP removes its temporary file too.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace lumera {

struct TOutputSink;

// Raises Exception, in the user's words, when output may not receive the result of inputs:
// when output is the same file as one of them (compared as the system identifies files,
// so also through a link), or when output is an existing regular file and force is not
// set. "-" is a standard stream.
void CheckOutputTarget(const std::vector<std::string>& inputs, const std::string& output,
                       bool force);

// path with the symbolic links of its last component followed to their end.
std::string FollowLinks(const std::string& path);

// How an output comes from its input, which decides what it takes from the input when
// that is a regular file ("-" stands for standard input's file).
enum class TDerivation {
  // The input packed or decoded: a new output takes the input's permission bits, a
  // replaced one keeps its own, and either takes the input's modification time, as the
  // common compressors do.
  Converted,
  // A changed copy of the input, such as an executable with a new stream: the output
  // takes the input's permission bits, also over an existing file, and keeps the time of
  // the change.
  Edited,
};

// The input that an output is made from, and how.
struct TOutputOrigin {
  std::string Input;  // empty: none
  TDerivation Derivation = TDerivation::Converted;
};

class TOutputFile {
 public:
  // path "-" is standard output; a symbolic link is followed to its target. Without an
  // origin, a new file gets the process's default permissions and a replaced one keeps
  // its own. Windows files have no permission bits: only the time is taken there. Raises
  // Exception naming path when the output cannot be prepared.
  explicit TOutputFile(const std::string& path, const TOutputOrigin& origin = {});
  ~TOutputFile();
  TOutputFile(const TOutputFile&) = delete;
  TOutputFile& operator=(const TOutputFile&) = delete;

  bool IsTerminal() const;
  // Raises EBrokenPipe when the reader of a pipe has gone away, EInOutError otherwise.
  void Write(std::span<const uint8_t> bytes);
  // The bytes written so far, read back from the temporary file; none when the output is
  // written directly (a pipe, a terminal, standard output), where they cannot be read.
  std::optional<std::vector<uint8_t>> ReadBack() const;
  // Puts the written bytes in place: gives the temporary file the input's time, when it
  // takes one, and renames it over the target. Without Commit nothing replaces the target.
  void Commit();

 private:
  struct TState;
  TOutputSink& Sink() const;
  std::unique_ptr<TState> F;
};

}  // namespace lumera
