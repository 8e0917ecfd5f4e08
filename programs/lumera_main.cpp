#include <new>
#include <string>
#include <vector>

#include "app/failure_report.h"
#include "app/front_end.h"
#include "platform/console.h"
#include "platform/exceptions.h"
#include "platform/standard_streams.h"

namespace {

std::string ModuleName(const char* argv0) {
  const std::string path = argv0 != nullptr ? argv0 : "lumera";
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

int main(int argc, char** argv) {
  // A closed pipe on standard output must be a reported failure, not a silent death.
  lumera::IgnoreBrokenPipeSignal();
  lumera::TStdConsole::GuardStandardHandles();
  lumera::TStdConsole console;
  const std::string module = ModuleName(argc > 0 ? argv[0] : nullptr);
  try {
    return lumera::RunFrontEnd(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc),
                               console);
  } catch (const lumera::Exception& e) {
    lumera::ReportFailure(console, {e.ClassName(), e.Message(), e.Location()}, module);
  } catch (const std::bad_alloc&) {
    lumera::ReportFailure(console, {"EOutOfMemory", "Out of memory", 0}, module);
  } catch (const std::exception& e) {
    lumera::ReportFailure(console, {"Exception", e.what(), 0}, module);
  }
  return 1;
}
