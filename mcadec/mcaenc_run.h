// mcaenc: writes PNG, BMP and PPM pictures as MCA. One run from its command
// line (UTF-8 words on every system) to its exit status.
#pragma once

int RunMcaenc(int argc, char** argv);
