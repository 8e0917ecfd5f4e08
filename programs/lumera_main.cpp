#include <new>
#include <string>
#include <vector>

#include "app/failure_report.h"
#include "app/front_end.h"
#include "platform/console.h"
#include "platform/exceptions.h"
#include "platform/process.h"
#include "platform/standard_streams.h"

int main(int argc, char** argv) {
  // A closed pipe on standard output must be a reported failure, not a silent death.
  lumera::IgnoreBrokenPipeSignal();
  lumera::PrepareStandardStreams();
  lumera::TStdConsole console;
  const std::string module = lumera::ProgramFileName(argc > 0 ? argv[0] : nullptr);
  try {
    const std::vector<std::string> args = lumera::ProgramArguments(argc, argv);
    return lumera::RunFrontEnd({args.begin() + (args.empty() ? 0 : 1), args.end()}, console);
  } catch (const lumera::Exception& e) {
    lumera::ReportFailure(console, {e.ClassName(), e.Message(), e.Location()}, module);
  } catch (const std::bad_alloc&) {
    lumera::ReportFailure(console, {"EOutOfMemory", "Out of memory", 0}, module);
  } catch (const std::exception& e) {
    lumera::ReportFailure(console, {"Exception", e.what(), 0}, module);
  }
  return 1;
}
