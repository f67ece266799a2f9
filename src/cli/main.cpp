#include "cli/run.h"

int main(int argc, char** argv) { return png2zeq::RunConverter(argc, argv); }
