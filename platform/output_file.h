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

class TOutputFile {
 public:
  // path "-" is standard output; a symbolic link is followed to its target. A new file
  // gets the permissions of permissionsFrom when that is given, else the process's
  // default; a replaced one keeps its own unless permissionsFrom is given. Raises
  // Exception naming path when the output cannot be prepared.
  explicit TOutputFile(const std::string& path, const std::string& permissionsFrom = {});
  ~TOutputFile();
  TOutputFile(const TOutputFile&) = delete;
  TOutputFile& operator=(const TOutputFile&) = delete;

  bool IsTerminal() const;
  // Raises EBrokenPipe when the reader of a pipe has gone away, EInOutError otherwise.
  void Write(std::span<const uint8_t> bytes);
  // The bytes written so far, read back from the temporary file; none when the output is
  // written directly (a pipe, a terminal, standard output), where they cannot be read.
  std::optional<std::vector<uint8_t>> ReadBack() const;
  // Puts the written bytes in place: renames the temporary file over the target, which
  // keeps the target's permission bits. Without Commit nothing replaces the target.
  void Commit();

 private:
  struct TState;
  TOutputSink& Sink() const;
  std::unique_ptr<TState> F;
};

}  // namespace lumera
