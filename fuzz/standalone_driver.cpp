// Stand-in for libFuzzer when the compiler has none (g++ builds): replays every
// file named on the command line (or found in a named folder), then feeds
// pseudo-random and mutated inputs until -max_total_time=N seconds have passed.
// Deterministic: the random stream has a fixed seed.
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cstdio>
#include <dirent.h>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <sys/stat.h>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

namespace {

std::vector<std::vector<uint8_t>> loadInputs(const std::string &path) {
  std::vector<std::vector<uint8_t>> inputs;
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return inputs;
  if (S_ISDIR(st.st_mode)) {
    if (DIR *dir = opendir(path.c_str())) {
      while (dirent *e = readdir(dir)) {
        if (e->d_name[0] == '.') continue;
        auto more = loadInputs(path + "/" + e->d_name);
        inputs.insert(inputs.end(), more.begin(), more.end());
      }
      closedir(dir);
    }
  } else {
    std::ifstream in(path, std::ios::binary);
    inputs.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  return inputs;
}

}  // namespace

int main(int argc, char **argv) {
  double seconds = 4;
  std::vector<std::vector<uint8_t>> corpus;
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "-max_total_time=", 16) == 0) {
      seconds = std::atof(argv[i] + 16);
    } else if (argv[i][0] != '-') {
      auto more = loadInputs(argv[i]);
      corpus.insert(corpus.end(), more.begin(), more.end());
    }
  }
  for (auto &input : corpus) LLVMFuzzerTestOneInput(input.data(), input.size());

  std::mt19937 rng(12345);
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  unsigned long runs = 0;
  while (std::chrono::steady_clock::now() < end) {
    std::vector<uint8_t> data;
    if (!corpus.empty() && (rng() & 1)) {
      data = corpus[rng() % corpus.size()];
      const size_t flips = 1 + rng() % 16;
      for (size_t k = 0; k < flips && !data.empty(); ++k) data[rng() % data.size()] = uint8_t(rng());
      if (rng() % 4 == 0) data.resize(rng() % (data.size() + 1));
    } else {
      data.resize(rng() % 4096);
      for (auto &b : data) b = uint8_t(rng());
    }
    LLVMFuzzerTestOneInput(data.data(), data.size());
    ++runs;
  }
  std::printf("standalone fuzz driver: %zu corpus inputs, %lu random runs\n", corpus.size(), runs);
  return 0;
}
