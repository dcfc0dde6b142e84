#pragma once

// Registers every type the screens use with QML, in their modules and
// versions, and the meta-types their properties and methods carry. Call it
// once, before the QGuiApplication is made; every QML test setup calls it
// too. The singletons it registers are the application's instances, which
// must exist before QML first reads them.
void RegisterOrvelQmlTypes();

// The resource bundles of the screens (orvel_qml), their images
// (orvel_images) and the font (orvel_fonts). They live in static libraries,
// so nothing registers them unless this is called.
void InitOrvelResources();

// Adds ":/Spartan-Bold.ttf" to the application's fonts (needs the
// QGuiApplication); false, with a report, when it cannot be loaded.
bool AddOrvelApplicationFont();
