// Runs inputs through a fuzz target once each, as libFuzzer does with files: every file of each folder
// argument (in name order) and each file argument. Arguments beginning with '-' are libFuzzer options and
// are ignored, so that one command line serves both builds.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

namespace {

namespace fs = std::filesystem;

bool collectInputs(const fs::path& arg, std::vector<fs::path>& inputs) {
  std::error_code ec;
  if (fs::is_regular_file(arg, ec)) {
    inputs.push_back(arg);
    return true;
  }
  if (!fs::is_directory(arg, ec)) {
    std::fprintf(stderr, "replay: cannot read %s\n", arg.c_str());
    return false;
  }
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(arg, ec)) {
    if (entry.is_regular_file(ec)) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  inputs.insert(inputs.end(), files.begin(), files.end());
  return !ec;
}

bool replay(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  const std::vector<char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (in.bad()) {
    std::fprintf(stderr, "replay: cannot read %s\n", file.c_str());
    return false;
  }
  // A heap copy of exactly the input's size, so that the sanitizers catch a read past its end.
  auto data = std::make_unique<uint8_t[]>(bytes.size());
  std::copy(bytes.begin(), bytes.end(), data.get());
  std::printf("Running: %s\n", file.c_str());
  LLVMFuzzerTestOneInput(data.get(), bytes.size());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (LLVMFuzzerInitialize != nullptr) LLVMFuzzerInitialize(&argc, &argv);
  std::vector<fs::path> inputs;
  bool ok = true;
  for (int i = 1; i < argc; ++i) {
    if (argv[i][0] != '-') ok = collectInputs(argv[i], inputs) && ok;
  }
  if (inputs.empty()) {
    std::fprintf(stderr, "usage: %s CORPUS_FOLDER|FILE...: no inputs to replay\n", argv[0]);
    return 1;
  }
  for (const auto& file : inputs) ok = replay(file) && ok;
  std::printf("Replayed %zu inputs\n", inputs.size());
  return ok ? 0 : 1;
}
