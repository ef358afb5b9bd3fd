#include "builder/commands/failure_report.h"

#include <ostream>

namespace builder {

exit_status report_failure(std::ostream& err, const scenario::status& failure) {
  err << "scenario-builder: " << failure.describe();
  // A missing file is most often a misspelt name.
  if (failure.not_found()) err << "; check the path and the file's name";
  err << '\n';
  return exit_status::usage_or_file;
}

}  // namespace builder
