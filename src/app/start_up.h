#pragma once
// The program from the command line to the exit code.

class DialogSeam;

// dialogs: where every dialog goes, the "one copy only" message included; null picks the
// real ones.
int run_programmator(int argc, char **argv, DialogSeam *dialogs = nullptr);
