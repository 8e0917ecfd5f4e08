// The failures this system reports. Each class knows the name that the failure report
// prints and where it was raised, so the report can name the throw site without
// demangling or unwinding anything.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

namespace lumera {

class Exception : public std::exception {
 public:
  explicit Exception(std::string message, const char* file = __builtin_FILE(),
                     int line = __builtin_LINE());

  const char* what() const noexcept override { return FMessage.c_str(); }
  const std::string& Message() const { return FMessage; }
  virtual const char* ClassName() const { return "Exception"; }
  // A 32-bit tag of the source line that raised the failure; the same from run to run.
  uint32_t Location() const { return FLocation; }

 private:
  std::string FMessage;
  uint32_t FLocation;
};

// A file that should exist could not be opened.
class EFOpenError : public Exception {
 public:
  using Exception::Exception;
  const char* ClassName() const override { return "EFOpenError"; }
};

// A file could not be created or truncated.
class EFCreateError : public Exception {
 public:
  using Exception::Exception;
  const char* ClassName() const override { return "EFCreateError"; }
};

// Reading the console or writing the console or the output failed.
class EInOutError : public Exception {
 public:
  using Exception::Exception;
  const char* ClassName() const override { return "EInOutError"; }
};

// The reader of a pipe that a program writes to has gone away: the program ends quietly,
// as the common compressors do when their output is cut short on purpose ("| head").
class EBrokenPipe : public EInOutError {
 public:
  using EInOutError::EInOutError;
  const char* ClassName() const override { return "EBrokenPipe"; }
};

// The operating system's text for an error number (errno, or on Windows the code of
// GetLastError), without trailing blanks, line breaks and periods, so that a sentence can
// be built around it.
std::string SystemErrorText(int error);

// The system's error number for moving a file position before the start of the file.
extern const int kNegativeSeek;

// What a file's lock was refused with: when another opener holds the file, the text says
// so in words a user understands rather than "try again"; any other error keeps the
// system's own text.
std::string LockRefusalText(int error);

}  // namespace lumera
