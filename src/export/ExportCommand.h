#pragma once
// `tetrav --export OUT ...`: the export run without a window or a display. Progress goes to
// standard error; Ctrl+C (or SIGTERM) cancels and removes the partial file.
#include "export/ExportJob.h"

namespace ExportCommand {

// Exit codes: 0 the file is complete, 1 it could not be made (or was cancelled).
int Run(const ExportJob& job);

} // namespace ExportCommand
