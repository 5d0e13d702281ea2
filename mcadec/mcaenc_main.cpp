// mcaenc on POSIX systems: the command line's words as they come.
#include "mcadec/mcaenc_run.h"

int main(int argc, char** argv) { return RunMcaenc(argc, argv); }
