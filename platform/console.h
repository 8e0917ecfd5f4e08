// The text console: lines end with CR LF, output is flushed at every line end (and on
// demand, for the one unfinished line of the trace), and a pause reads one line of input.
// A failed read or write raises EInOutError.
#pragma once

#include <string>
#include <string_view>

namespace lumera {

class TConsole {
 public:
  virtual ~TConsole() = default;

  void Write(std::string_view text) { FPending.append(text); }
  void WriteLine(std::string_view text = {});
  void Flush();
  // Waits for one line of input; returns at once at the end of input.
  void Pause();

 protected:
  // Delivers everything, or raises EInOutError.
  virtual void Deliver(std::string_view text) = 0;
  // Reads and drops one line; returns at the end of input; raises EInOutError on failure.
  virtual void SkipLine() = 0;

 private:
  std::string FPending;
};

// Standard output and standard input of the process, unbuffered beneath this class. On a
// Windows console the text is shown as UTF-8 (so paths outside ASCII read right); anywhere
// else its bytes go out as they are.
class TStdConsole : public TConsole {
 protected:
  void Deliver(std::string_view text) override;
  void SkipLine() override;
};

// A console in memory, for tests: output collects in Output(), input comes from a string.
class TMemoryConsole : public TConsole {
 public:
  explicit TMemoryConsole(std::string input = {}) : FInput(std::move(input)) {}
  const std::string& Output() const { return FOutput; }
  // How many pauses have been made.
  int Pauses() const { return FPauses; }

 protected:
  void Deliver(std::string_view text) override { FOutput.append(text); }
  void SkipLine() override;

 private:
  std::string FInput;
  std::string FOutput;
  size_t FRead = 0;
  int FPauses = 0;
};

}  // namespace lumera
