#include "OrvelGUI/QtGUIComponents/OrvelQmlTypes.h"

#include <QFontDatabase>
#include <QQmlEngine>

#include "EWNet/Core/ErrLog.h"
#include "OrvelGUI/QtGUIComponents/OrvelQmlBackend.h"
#include "OrvelGUI/QtGUIComponents/ProjectCCFormat.h"
#include "OrvelGUI/QtGUIComponents/QmlValueInterpreterSingleton.h"
#include "QtGUIComponents/Common/FontStyles.h"
#include "QtGUIComponents/Common/ThemeColours.h"
#include "QtGUIComponents/Common/UISettings.h"

namespace {

// QML gets the application's instance and must never take it over.
template <typename tSingleton>
QObject* ProvideInstance(QQmlEngine*, QJSEngine*) {
  tSingleton* instance = tSingleton::Instance();
  if (instance != nullptr) QQmlEngine::setObjectOwnership(instance, QQmlEngine::CppOwnership);
  return instance;
}

void RegisterMetaTypes() {
  qRegisterMetaType<UBYTE>("UBYTE");
  qRegisterMetaType<qint8>("SBYTE");
  qRegisterMetaType<UWORD>("UWORD");
  qRegisterMetaType<qint16>("SWORD");
  qRegisterMetaType<ULONG>("ULONG");
  qRegisterMetaType<int>("SLONG");
  qRegisterMetaType<GAIN>("GAIN");
  qRegisterMetaType<cEWCCFormat*>("cEWCCFormat*");
  qRegisterMetaType<cProjectCCFormat*>("cProjectCCFormat*");
  qRegisterMetaType<cSerialConnectionBackend*>("cSerialConnectionBackend*");
  qRegisterMetaType<cSavesDialogBackend*>("cSavesDialogBackend*");
  qRegisterMetaType<cOrvelQmlBackend*>("cOrvelQmlBackend*");
  qRegisterMetaType<cEWCCFormat::eEWCCType>("cEWCCFormat::eEWCCType");
  qRegisterMetaType<cEWCCFormat::eEWCCTypeDecimalPlaces>("cEWCCFormat::eEWCCTypeDecimalPlaces");
  qRegisterMetaType<cProjectCCFormat::eProjectCCType>("cProjectCCFormat::eProjectCCType");
  qRegisterMetaType<cSerialConnectionBackend::eConnectionState>("eConnectionState");
  qRegisterMetaType<cGraphLineColours>();
  qRegisterMetaType<cPEQGraphColours>();
  qRegisterMetaType<cGRGraphColours>();
}

}  // namespace

void RegisterOrvelQmlTypes() {
  qmlRegisterSingletonType<cFontStyles>("FontStyles", 1, 0, "Fonts", ProvideInstance<cFontStyles>);
  qmlRegisterSingletonType<cThemeColours>("ThemeColours", 1, 0, "Theme", ProvideInstance<cThemeColours>);
  qmlRegisterSingletonType<cUISettings>("UISettingsSingleton", 1, 0, "UISettings", ProvideInstance<cUISettings>);
  qmlRegisterSingletonType<cQmlValueInterpreterSingleton>("ValueInterpreter", 1, 0, "Interpreter",
                                                          ProvideInstance<cQmlValueInterpreterSingleton>);
  // The signal-slot drivers and the list-box backend (EWDrivers 1.0) come
  // here when the editor's building blocks arrive.
  qmlRegisterType<cEWCCFormat>("EWQml", 2, 0, "EWCCFormat");
  qmlRegisterUncreatableType<cProjectCCFormat>(
      "Orvel", 1, 0, "ProjectCCFormat",
      "Import ValueInterpreter and use Interpreter.<function> instead of instantiating instances of "
      "ProjectCCFormat");
  // Then the equaliser graph's types, from PathPainterPath to PEQTypes.
  qmlRegisterUncreatableType<cSerialConnectionBackend>("Orvel", 1, 0, "SerialConnectionBackend",
                                                       "SerialConnectionBackend");
  // Then the editor's panel backends, from FaderControlStripBackend to
  // PEQBlockBackend.
  qmlRegisterUncreatableType<cSavesDialogBackend>("Orvel", 1, 0, "SavesDialogBackend", "SavesDialogBackend");
  RegisterMetaTypes();
}

void InitOrvelResources() {
  Q_INIT_RESOURCE(orvel_qml);
  Q_INIT_RESOURCE(orvel_images);
  Q_INIT_RESOURCE(orvel_fonts);
}

bool AddOrvelApplicationFont() {
  if (QFontDatabase::addApplicationFont(QStringLiteral(":/Spartan-Bold.ttf")) < 0) {
    EW_REPORT_ERROR("Could not load the font Spartan-Bold.ttf from the resources");
    return false;
  }
  return true;
}
