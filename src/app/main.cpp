#include "start_up.h"

int main(int argc, char **argv) { return run_programmator(argc, argv); }
