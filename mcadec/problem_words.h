// A decoder or encoder problem as the programs print it.
#pragma once

#include <string>

#include "mca/mca.h"

inline std::string ProblemWords(const mca_problem& problem) {
  char text[MCA_DESCRIBE_ROOM];
  mca_describe(&problem, text, sizeof text);
  return text;
}
