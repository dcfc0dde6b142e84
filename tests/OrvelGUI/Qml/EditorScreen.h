#pragma once

// The editor as its tests open it: the program with the editor's backends
// (the units first given `before`, as if changed before the screen opened)
// and main.qml on them. Torn down screen first.

#include <QtTest>
#include <functional>
#include <memory>

#include "OrvelGUI/Application/EditorProgram.h"
#include "QmlFixture.h"

struct sEditorScreen {
  cLoaderProgram mProgram;
  std::unique_ptr<cQmlScreen> mScreen;

  explicit sEditorScreen(const std::function<void(cApplicationCore&)>& before = {})
      : mProgram(CreateEditorBackends, before),
        mScreen(std::make_unique<cQmlScreen>(QStringLiteral("qrc:/main.qml"), mProgram.Backend())) {}
  ~sEditorScreen() { mScreen.reset(); }
  sEditorScreen(const sEditorScreen&) = delete;
  sEditorScreen& operator=(const sEditorScreen&) = delete;

  cApplicationCore& Core() { return mProgram.Core(); }
  QQuickWindow* Window() const { return mScreen->Window(); }
  QObject* TopBar() const { return mScreen->Object("topBar"); }
  QString Status() const { return TopBar()->property("statusText").toString(); }
  QQuickItem* Find(QQuickItem* below, const char* name) const { return FindItem(below, QString::fromLatin1(name)); }
  QQuickItem* Panel(const char* alias) const { return mScreen->Item(alias); }
  void Click(QQuickItem* item) const { mScreen->Click(item); }
};
