// The demo product's setup program. It honours the silent switches the
// installer passes (/VERYSILENT /SP- /NORESTART /DIR= /LANG= /LOG= /sptrack),
// installs the product into DIR, writes its log, and can be built to take a
// given time (QM_SETUP_DELAY_MS) or to fail (QM_SETUP_EXIT_CODE).
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

extern "C" const unsigned char qm_demo_product_begin[];
extern "C" const unsigned char qm_demo_product_end[];
extern "C" const unsigned char qm_demo_padding_begin[];

namespace {

struct Switches {
  std::string dir, lang, log, sptrack;
  bool silent = false;
};

Switches Parse(int argc, char** argv) {
  Switches s;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "/VERYSILENT") s.silent = true;
    else if (arg.rfind("/DIR=", 0) == 0) s.dir = arg.substr(5);
    else if (arg.rfind("/LANG=", 0) == 0) s.lang = arg.substr(6);
    else if (arg.rfind("/LOG=", 0) == 0) s.log = arg.substr(5);
    else if (arg == "/sptrack" && i + 1 < argc) s.sptrack = argv[++i];
  }
  return s;
}

bool InstallProduct(const std::string& dir, std::ofstream& log) {
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  const std::string target = (std::filesystem::path(dir) / "MarkEraser.exe").string();
  std::ofstream out(target, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(qm_demo_product_begin), qm_demo_product_end - qm_demo_product_begin);
  out.close();
  chmod(target.c_str(), 0755);
  log << "Installed " << target << (out ? "" : " FAILED") << "\n";
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
  const Switches s = Parse(argc, argv);
  std::error_code ec;
  if (!s.log.empty()) std::filesystem::create_directories(std::filesystem::path(s.log).parent_path(), ec);
  std::ofstream log(s.log.empty() ? "/dev/null" : s.log, std::ios::app);
  log << "Vantor Mark Eraser setup " << QM_PRODUCT_VERSION << "\nsilent " << s.silent << ", language " << s.lang
      << ", tracking " << s.sptrack << ", payload byte " << int{qm_demo_padding_begin[0]} << "\n";
  if (s.dir.empty()) {
    log << "No /DIR= given\n";
    return 2;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(QM_SETUP_DELAY_MS));
  if (QM_SETUP_EXIT_CODE != 0) {
    log << "Setup fails on purpose with " << QM_SETUP_EXIT_CODE << "\n";
    return QM_SETUP_EXIT_CODE;
  }
  return InstallProduct(s.dir, log) ? 0 : 1;
}
