#pragma once
// The command-line programmer, from the arguments to the exit status.

// Exit statuses.
enum K40Exit : int {
    K40_OK = 0,         // done; verify: the radio holds the file; diff: no difference
    K40_DIFFERENT = 1,  // verify: the radio does not hold the file; diff: differences
    K40_USAGE = 2,      // wrong command line
    K40_DATA = 3,       // a file or the radio's data is missing, unreadable or invalid
    K40_RADIO = 4,      // the port, the line or the radio failed
};

int run_k40(int argc, char **argv);
