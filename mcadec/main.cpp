// mcadec on POSIX systems: the command line's words as they come.
#include "mcadec/run.h"

int main(int argc, char** argv) { return RunMcadec(argc, argv); }
