#include "OrvelGUI/Application/OrvelProgram.h"

int main(int argc, char** argv) { return RunOrvelProgram(argc, argv); }
