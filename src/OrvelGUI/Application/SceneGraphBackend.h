#pragma once

// Qt Quick draws with OpenGL unless told otherwise, and a window whose
// context cannot be made aborts the whole program. Virtual machines, remote
// desktops and the offscreen platform often have no working OpenGL, so the
// program probes for a context first and falls back to Qt Quick's software
// renderer, saying so once on the console. A renderer the user chose
// (QT_QUICK_BACKEND, QMLSCENE_DEVICE) is left alone.
//
// Main thread, after the QGuiApplication exists and before the first Qt
// Quick window. Returns true when the software renderer was chosen here.
bool ChooseSoftwareRendererWithoutOpenGL();

// Whether an OpenGL context can be made and made current on this platform.
// Main thread, with a QGuiApplication.
bool OpenGLContextAvailable();
