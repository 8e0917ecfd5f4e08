#include <new>
#include <string>

#include "app/failure_report.h"
#include "app/front_end.h"
#include "platform/console.h"
#include "platform/exceptions.h"
#include "platform/process.h"

int main(int argc, char** argv) {
  lumera::PrepareStandardStreams();
  lumera::TStdConsole console;
  const std::string module = lumera::ProgramFileName(argc > 0 ? argv[0] : nullptr);
  try {
    return lumera::RunFrontEnd(lumera::ProgramArguments(argc, argv), console);
  } catch (const lumera::Exception& e) {
    lumera::ReportFailure(console, {e.ClassName(), e.Message(), e.Location()}, module);
  } catch (const std::bad_alloc&) {
    lumera::ReportFailure(console, {"EOutOfMemory", "Out of memory", 0}, module);
  } catch (const std::exception& e) {
    lumera::ReportFailure(console, {"Exception", e.what(), 0}, module);
  }
  return 1;
}
