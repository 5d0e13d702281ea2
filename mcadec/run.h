// mcadec: converts MCA pictures to PNG, BMP or PPM, or describes them. One
// run from its command line (UTF-8 words on every system) to its exit status.
#pragma once

int RunMcadec(int argc, char** argv);
