// qm-md5 FILE: prints the file's MD5 as the package check computes it, so
// the benchmark can time it against openssl md5.
#include <cstdio>

#include "DownLoadImpl.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: qm-md5 FILE\n");
    return 2;
  }
  std::printf("%s\n", CDownLoadImpl::FileMd5(argv[1]).c_str());
  return 0;
}
