// The demo product "Vantor Mark Eraser": a small program that the installer
// installs and starts. It notes each start beside itself.
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <ctime>
#include <string>

int main(int argc, char** argv) {
  if (argc > 1 && std::string(argv[1]) == "--version") {
    std::printf("Vantor Mark Eraser %s\n", QM_PRODUCT_VERSION);
    return 0;
  }
  char self[PATH_MAX] = {};
  const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  std::string folder = n > 0 ? std::string(self, static_cast<std::size_t>(n)) : std::string("./x");
  folder.erase(folder.rfind('/') + 1);
  if (FILE* note = std::fopen((folder + "started.txt").c_str(), "a")) {
    std::fprintf(note, "started %ld\n", static_cast<long>(std::time(nullptr)));
    std::fclose(note);
  }
  std::printf("Vantor Mark Eraser %s is running from %s\n", QM_PRODUCT_VERSION, folder.c_str());
  return 0;
}
