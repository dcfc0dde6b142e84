#include "OrvelGUI/QtGUIComponents/OrvelQmlTypes.h"

#include <QFontDatabase>
#include <QQmlEngine>

#include "EWNet/Core/ErrLog.h"
#include "OrvelGUI/QtGUIComponents/FaderControlStripBackend.h"
#include "OrvelGUI/QtGUIComponents/HPFQmlBand2.h"
#include "OrvelGUI/QtGUIComponents/InOutFaderPanelBackend.h"
#include "OrvelGUI/QtGUIComponents/LowMidHighPanelBackend.h"
#include "OrvelGUI/QtGUIComponents/NetworkAccessBackend.h"
#include "OrvelGUI/QtGUIComponents/OrvelQmlBackend.h"
#include "OrvelGUI/QtGUIComponents/PEQBlockBackend.h"
#include "OrvelGUI/QtGUIComponents/PEQDriver.h"
#include "OrvelGUI/QtGUIComponents/PEQQmlBackEnd2.h"
#include "OrvelGUI/QtGUIComponents/PEQQmlBand2.h"
#include "OrvelGUI/QtGUIComponents/PEQScaleText.h"
#include "OrvelGUI/QtGUIComponents/ProjectCCFormat.h"
#include "OrvelGUI/QtGUIComponents/QQuickPathPainterPath.h"
#include "OrvelGUI/QtGUIComponents/QmlValueInterpreterSingleton.h"
#include "OrvelGUI/QtGUIComponents/QtListBoxBackend.h"
#include "QtGUIComponents/Common/FontStyles.h"
#include "QtGUIComponents/Common/ThemeColours.h"
#include "QtGUIComponents/Common/UISettings.h"
#include "QtGUIComponents/EWNetDrivers/SignalSlotDrivers/QtBooleanSwitchDriver.h"
#include "QtGUIComponents/EWNetDrivers/SignalSlotDrivers/QtIntegerSwitchDriver.h"
#include "QtGUIComponents/EWNetDrivers/SignalSlotDrivers/QtSignalSlotContinuousControllerDriver.h"
#include "QtGUIComponents/EWNetDrivers/SignalSlotDrivers/QtSignalSlotListBoxDriver.h"
#include "QtGUIComponents/EWNetDrivers/SignalSlotDrivers/QtSignalSlotMeterDriver.h"

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
  qRegisterMetaType<cNetworkAccessBackend*>("cNetworkAccessBackend*");
  qRegisterMetaType<cEditHistoryBackend*>("cEditHistoryBackend*");
  qRegisterMetaType<cOrvelQmlBackend*>("cOrvelQmlBackend*");
  qRegisterMetaType<cQtListBoxBackend*>("cQtListBoxBackend*");
  qRegisterMetaType<QQmlVariantListModel*>("QQmlVariantListModel*");
  qRegisterMetaType<cFaderControlStripBackend*>("cFaderControlStripBackend*");
  qRegisterMetaType<cInOutFaderPanelBackend*>("cInOutFaderPanelBackend*");
  qRegisterMetaType<cLowMidHighPanelBackend*>("cLowMidHighPanelBackend*");
  qRegisterMetaType<cEWCCFormat::eEWCCType>("cEWCCFormat::eEWCCType");
  qRegisterMetaType<cEWCCFormat::eEWCCTypeDecimalPlaces>("cEWCCFormat::eEWCCTypeDecimalPlaces");
  qRegisterMetaType<cProjectCCFormat::eProjectCCType>("cProjectCCFormat::eProjectCCType");
  qRegisterMetaType<cQtBooleanSwitchDriver*>("cQtBooleanSwitchDriver*");
  qRegisterMetaType<cQtIntegerSwitchDriver*>("cQtIntegerSwitchDriver*");
  qRegisterMetaType<cQtSignalSlotMeterDriver*>("cQtSignalSlotMeterDriver*");
  qRegisterMetaType<cQtSignalSlotContinuousControllerDriver*>("cQtSignalSlotContinuousControllerDriver*");
  qRegisterMetaType<cQtSignalSlotListBoxDriver*>("cQtSignalSlotListBoxDriver*");
  qRegisterMetaType<QQuickPathPainterPath*>("QQuickPathPainterPath*");
  qRegisterMetaType<cPEQDriverInterface*>("cPEQDriverInterface*");
  qRegisterMetaType<cPEQQmlBackEnd2*>("cPEQQmlBackEnd2*");
  qRegisterMetaType<cPEQScaleText*>("cPEQScaleText*");
  qRegisterMetaType<cPEQQmlBandBase2*>("cPEQQmlBandBase2*");
  qRegisterMetaType<cPEQQmlBand2*>("cPEQQmlBand2*");
  qRegisterMetaType<cHPFQmlBand2*>("cHPFQmlBand2*");
  qRegisterMetaType<cPEQDriver*>("cPEQDriver*");
  qRegisterMetaType<cPEQBandDrivers*>("cPEQBandDrivers*");
  qRegisterMetaType<cPEQBlockBackend*>("cPEQBlockBackend*");
  qRegisterMetaType<cPEQBlockBackend::eBandPos>("cPEQBlockBackend::eBandPos");
  qRegisterMetaType<cPEQBlockBackend::eNumOfBands>("cPEQBlockBackend::eNumOfBands");
  qRegisterMetaType<nPEQ::eParametricEQType>("nPEQ::eParametricEQType");
  qRegisterMetaType<nPEQ::eHighPassType>("nPEQ::eHighPassType");
  qRegisterMetaType<QPainterPath>("QPainterPath");
  qRegisterMetaType<QPainterPathWrapper*>("QPainterPathWrapper*");
  qRegisterMetaType<QQmlObjectListModel<cPEQBandDrivers>*>("QQmlObjectListModel<cPEQBandDrivers>*");
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
  qmlRegisterType<cQtBooleanSwitchDriver>("EWDrivers", 1, 0, "QtBooleanSwitchDriver");
  qmlRegisterType<cQtIntegerSwitchDriver>("EWDrivers", 1, 0, "QtIntegerSwitchDriver");
  qmlRegisterType<cQtSignalSlotMeterDriver>("EWDrivers", 1, 0, "QtSignalSlotMeterDriver");
  qmlRegisterType<cQtSignalSlotContinuousControllerDriver>("EWDrivers", 1, 0, "QtSignalSlotContinuousControllerDriver");
  qmlRegisterUncreatableType<cQtListBoxBackend>("EWDrivers", 1, 0, "QtListBoxBackend", "QtListBoxBackend");
  qmlRegisterType<cEWCCFormat>("EWQml", 2, 0, "EWCCFormat");
  qmlRegisterUncreatableType<cProjectCCFormat>(
      "Orvel", 1, 0, "ProjectCCFormat",
      "Import ValueInterpreter and use Interpreter.<function> instead of instantiating instances of "
      "ProjectCCFormat");
  qmlRegisterType<QQuickPathPainterPath>("Orvel", 1, 0, "PathPainterPath");
  qmlRegisterUncreatableType<cPEQDriverInterface>("EWDrivers", 1, 0, "PEQDriverInterface",
                                                  "Cannot instantiate this abstract interface");
  qmlRegisterType<cPEQQmlBackEnd2>("EWQml", 2, 0, "PEQQmlBackEnd");
  qmlRegisterUncreatableType<cPEQScaleText>("EWQml", 2, 0, "PEQScaleText",
                                            "This type should not be used directly in qml");
  qmlRegisterUncreatableType<cPEQQmlBandBase2>("EWQml", 2, 0, "PEQQmlBandBase", "Cannot instantiate base class");
  qmlRegisterType<cPEQQmlBand2>("EWQml", 2, 0, "PEQQmlBand");
  qmlRegisterType<cHPFQmlBand2>("EWQml", 2, 0, "HPFQmlBand");
  qmlRegisterUncreatableType<cPEQDriver>("Orvel", 1, 0, "PEQDriver", "Can't instantiate this driver");
  qmlRegisterUncreatableMetaObject(nPEQ::staticMetaObject, "Orvel", 1, 0, "PEQTypes", "PEQ Enum definitions only");
  qmlRegisterUncreatableType<cSerialConnectionBackend>("Orvel", 1, 0, "SerialConnectionBackend",
                                                       "SerialConnectionBackend");
  qmlRegisterType<cFaderControlStripBackend>("Orvel", 1, 0, "FaderControlStripBackend");
  qmlRegisterUncreatableType<cInOutFaderPanelBackend>("Orvel", 1, 0, "InOutFaderBackend", "cInOutFaderPanelBackend");
  qmlRegisterUncreatableType<cLowMidHighPanelBackend>("Orvel", 1, 0, "LowMidHighBackend", "LowMidHighBackend");
  qmlRegisterUncreatableType<cPEQBandDrivers>("Orvel", 1, 0, "PEQBandDrivers", "PEQBandDrivers");
  qmlRegisterUncreatableType<cPEQBlockBackend>("Orvel", 1, 0, "PEQBlockBackend", "PEQBlockBackend");
  qmlRegisterUncreatableType<cSavesDialogBackend>("Orvel", 1, 0, "SavesDialogBackend", "SavesDialogBackend");
  qmlRegisterUncreatableType<cNetworkAccessBackend>("Orvel", 1, 0, "NetworkAccessBackend", "NetworkAccessBackend");
  qmlRegisterUncreatableType<cEditHistoryBackend>("Orvel", 1, 0, "EditHistoryBackend", "EditHistoryBackend");
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
