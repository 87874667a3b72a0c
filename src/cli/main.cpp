#include "k40.h"

int main(int argc, char **argv) { return run_k40(argc, argv); }
