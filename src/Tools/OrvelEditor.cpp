// orvel-editor: the loader's program (one copy of either runs at a time)
// with the full editor screen.

#include "OrvelGUI/Application/EditorProgram.h"

int main(int argc, char** argv) { return RunOrvelProgram(argc, argv, OrvelEditorProgramOptions()); }
