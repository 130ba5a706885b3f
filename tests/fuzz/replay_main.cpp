// A small stand-in for libFuzzer when the compiler has none: replays every
// file of the corpus folders given on the command line through
// LLVMFuzzerTestOneInput, then runs a bounded number of seeded random
// mutations of them (bit flips, byte and word overwrites with edge values,
// truncation, insertion and removal of bytes, splices of two inputs).
//
//   replay_main [-runs=N] [-seed=S] DIR...
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

using Input = std::vector<std::uint8_t>;

void Mutate(Input& in, const std::vector<Input>& corpus, std::mt19937_64& rng) {
  auto pick = [&](std::size_t n) { return n ? std::size_t(rng() % n) : 0; };
  static const std::uint32_t kEdges[] = {0, 1, 0x7F, 0x80, 0xFF, 0x7FFF, 0xFFFF, 0x7FFFFFFF, 0x80000000u, 0xFFFFFFFFu,
                                         88, 40, 65535, 65536};
  const int steps = 1 + int(rng() % 4);
  for (int s = 0; s < steps; ++s) {
    switch (rng() % 7) {
      case 0:
        if (!in.empty()) in[pick(in.size())] ^= std::uint8_t(1u << (rng() % 8));
        break;
      case 1:
        if (!in.empty()) in[pick(in.size())] = std::uint8_t(rng());
        break;
      case 2:
        if (in.size() >= 4) {
          const std::uint32_t v = kEdges[pick(std::size(kEdges))];
          const std::size_t at = pick(in.size() - 3) & ~std::size_t(rng() % 2 ? 3 : 0);
          std::memcpy(in.data() + at, &v, 4);
        }
        break;
      case 3:
        in.resize(pick(in.size() + 1));
        break;
      case 4:
        in.insert(in.begin() + long(pick(in.size() + 1)), std::size_t(1 + rng() % 16), std::uint8_t(rng()));
        break;
      case 5:
        if (!in.empty()) {
          const std::size_t at = pick(in.size());
          in.erase(in.begin() + long(at), in.begin() + long(std::min(in.size(), at + 1 + rng() % 16)));
        }
        break;
      default:
        if (!corpus.empty()) {
          const Input& other = corpus[pick(corpus.size())];
          const std::size_t cut = pick(in.size() + 1), from = pick(other.size() + 1);
          in.resize(cut);
          in.insert(in.end(), other.begin() + long(from), other.end());
        }
        break;
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  long long runs = 20000;
  unsigned long long seed = 1;
  std::vector<Input> corpus;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg.rfind("-runs=", 0) == 0) {
      runs = std::atoll(arg.c_str() + 6);
    } else if (arg.rfind("-seed=", 0) == 0) {
      seed = std::strtoull(arg.c_str() + 6, nullptr, 10);
    } else {
      std::error_code ec;
      for (const auto& e : std::filesystem::directory_iterator(arg, ec)) {
        if (!e.is_regular_file()) continue;
        std::ifstream f(e.path(), std::ios::binary);
        corpus.emplace_back(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
      }
      if (ec) {
        std::fprintf(stderr, "replay: cannot read %s\n", arg.c_str());
        return 2;
      }
    }
  }
  if (corpus.empty()) {
    std::fprintf(stderr, "replay: the corpus is empty\n");
    return 2;
  }
  for (const Input& in : corpus) LLVMFuzzerTestOneInput(in.data(), in.size());
  std::mt19937_64 rng(seed);
  for (long long r = 0; r < runs; ++r) {
    Input in = corpus[std::size_t(rng() % corpus.size())];
    Mutate(in, corpus, rng);
    LLVMFuzzerTestOneInput(in.data(), in.size());
  }
  std::printf("replay: %zu corpus inputs, %lld mutations, seed %llu: no crash\n", corpus.size(), runs, seed);
  return 0;
}
