#pragma once

#include "OrvelGUI/Application/OrvelProgram.h"

class cApplication;
class cOrvelQmlBackend;

// The editor's panel backends (faders, Low, Mid, High), made under the
// registry lock while the dispatch thread runs, linked to the units of the
// application (synced from them, so the screen opens with the model's
// values) and set into the root backend. Main thread, once.
void CreateEditorBackends(cApplication& application, cOrvelQmlBackend& root);

// orvel-editor: the loader's program with the editor screen and its
// backends.
sOrvelProgramOptions OrvelEditorProgramOptions();
