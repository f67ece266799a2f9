#include "cli/run.h"
#include "platform/platform.h"

int main(int argc, char** argv) {
  return png2zeq::RunWithUtf8Arguments(argc, argv, png2zeq::RunConverter);
}
