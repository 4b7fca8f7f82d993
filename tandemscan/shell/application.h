// Starting the program: the command line, the main window, the parts named on the command line,
// and the end of the run.
#pragma once

namespace tandemscan {

// Runs Tandemscan; returns the process exit code.
int runTandemscan(int argc, char** argv);

} // namespace tandemscan
