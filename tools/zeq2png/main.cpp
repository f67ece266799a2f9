#include "platform/platform.h"
#include "zeq2png/run.h"

int main(int argc, char** argv) {
  return png2zeq::RunWithUtf8Arguments(argc, argv, zeq2png::RunZeq2Png);
}
