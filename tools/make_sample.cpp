// qm-sample: writes a synthetic 2019 installation (and an empty 2020 one
// beside it) for trying and timing the transfer.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tools/sample_gen.h"

namespace {

void Usage() {
  std::fprintf(stderr,
               "usage: qm-sample DIR [--companies N] [--seed S] [--scale-mb M]\n"
               "                 [--list-only N] [--sorted-list] [--present N] [--path-file PROGRAM]\n"
               "                 [--keys FILE] [--open-december] [--global-2020-payroll]\n"
               "Writes DIR/ZEV_2019 (company list, #BIN990, company directories) and an\n"
               "empty DIR/ZEV_2020. --path-file writes PROGRAM.PTH pointing at both;\n"
               "--keys writes the key script of a complete run with the default options.\n");
}

bool ParseNumber(const char* text, long long& value) {
  char* end = nullptr;
  value = std::strtoll(text, &end, 10);
  return end && *end == '\0' && end != text && value >= 0;
}

}  // namespace

int main(int argc, char** argv) {
  qm::sample::Options opt;
  std::string dir, pathFile, keysFile;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto number = [&](long long& v) {
      if (i + 1 >= argc || !ParseNumber(argv[i + 1], v)) {
        std::fprintf(stderr, "qm-sample: %s needs a number\n", a.c_str());
        std::exit(2);
      }
      ++i;
    };
    long long v = 0;
    if (a == "--companies") {
      number(v);
      opt.companies = static_cast<int>(v);
    } else if (a == "--seed") {
      number(v);
      opt.seed = static_cast<uint64_t>(v);
    } else if (a == "--scale-mb") {
      number(v);
      opt.scaleMb = static_cast<int>(v);
    } else if (a == "--list-only") {
      number(v);
      opt.listOnly = static_cast<int>(v);
    } else if (a == "--present") {
      number(v);
      opt.presentIn2020 = static_cast<int>(v);
    } else if (a == "--sorted-list") {
      opt.sortedList = true;
    } else if (a == "--open-december") {
      opt.openDecember = true;
    } else if (a == "--global-2020-payroll") {
      opt.global2020Payroll = true;
    } else if (a == "--path-file" && i + 1 < argc) {
      pathFile = argv[++i];
    } else if (a == "--keys" && i + 1 < argc) {
      keysFile = argv[++i];
    } else if (a == "-h" || a == "--help") {
      Usage();
      return 0;
    } else if (!a.empty() && a[0] != '-' && dir.empty()) {
      dir = a;
    } else {
      Usage();
      return 2;
    }
  }
  if (dir.empty()) {
    Usage();
    return 2;
  }

  const auto start = std::chrono::steady_clock::now();
  qm::sample::Installation inst;
  std::string error;
  if (!qm::sample::Generate(dir, opt, inst, error)) {
    std::fprintf(stderr, "qm-sample: %s\n", error.c_str());
    return 1;
  }
  if (!pathFile.empty() && !qm::sample::WritePathFile(pathFile, inst, error)) {
    std::fprintf(stderr, "qm-sample: %s\n", error.c_str());
    return 1;
  }
  if (!keysFile.empty()) {
    FILE* f = std::fopen(keysFile.c_str(), "wb");
    const std::string keys = qm::sample::FullRunKeys(inst) + "\n";
    if (!f || std::fwrite(keys.data(), 1, keys.size(), f) != keys.size() || std::fclose(f) != 0) {
      std::fprintf(stderr, "qm-sample: cannot write %s\n", keysFile.c_str());
      return 1;
    }
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("%s: %zu companies listed, %llu files, %.1f MiB in %.2f s\n", inst.root2019.c_str(),
              inst.companies.size(), static_cast<unsigned long long>(inst.files),
              static_cast<double>(inst.bytes) / 1048576.0, seconds);
  return 0;
}
