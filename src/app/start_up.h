#pragma once
// The program from the command line to the exit code.

class DialogSeam;

// dialogs: where the "one copy only" message goes; null picks the real message box, or
// standard output when K40_DIALOGS=print is set in the environment.
int run_programmator(int argc, char **argv, DialogSeam *dialogs = nullptr);
