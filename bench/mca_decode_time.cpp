// mca_decode_time FILE [ROUNDS]: the median time of mca_decode (default
// options, RGB rows) into a fresh buffer of the picture's size, in ms: what
// the Python module and other front ends are measured against.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <vector>

#include "mca/mca.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: mca_decode_time FILE [ROUNDS]\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  const std::vector<uint8_t> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 15;
  mca_info info;
  if (mca_probe(data.data(), data.size(), &info, nullptr) != MCA_OK) {
    std::fprintf(stderr, "mca_decode_time: %s is no picture to decode\n", argv[1]);
    return 1;
  }
  const size_t bytes = 3 * size_t(info.width) * size_t(info.height);
  std::vector<double> ms;
  for (int r = 0; r < rounds; ++r) {
    const auto start = std::chrono::steady_clock::now();
    uint8_t* buffer = static_cast<uint8_t*>(std::malloc(bytes));
    const mca_status status = mca_decode(data.data(), data.size(), nullptr, buffer, 3 * size_t(info.width), bytes, nullptr);
    std::free(buffer);
    ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    if (status != MCA_OK) return 1;
  }
  std::nth_element(ms.begin(), ms.begin() + ms.size() / 2, ms.end());
  std::printf("%.2f\n", ms[ms.size() / 2]);
  return 0;
}
