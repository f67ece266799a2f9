#include "zeq2png/run.h"

int main(int argc, char** argv) { return zeq2png::RunZeq2Png(argc, argv); }
