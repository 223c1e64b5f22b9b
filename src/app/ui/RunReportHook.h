#pragma once

// Chooses how reports reach the person for this run: a modal message box in
// the window, one line on standard error when the command line asks for work.
// main calls it before the window is built; the window calls it again with
// false when a command line has been processed and the window takes over.
namespace kx {
void installReportHookForRun(bool commandLine);
} // namespace kx
