#include "modules/xplm/initialisers.h"

#include "core/python_errors.h"
#include "modules/services/process_guard.h"
#include "modules/services/script_messaging.h"

namespace korvane {

namespace {
using Initialiser = PyObject* (*)();
// In creation order; a module that fails to build is reported and the rest still load.
constexpr Initialiser kInitialisers[] = {
    InitXPLMDefs,
    InitXPLMCamera,
    InitXPLMDataAccess,
    InitXPLMDisplay,
    InitXPLMGraphics,
    InitXPLMMenus,
    InitXPLMNavigation,
    InitXPLMProcessing,
    InitXPLMUtilities,
    InitXPLMPlanes,
    InitXPLMPlugin,
    InitXPWidgetDefs,
    InitXPWidgets,
    InitXPStandardWidgets,
    InitXPUIGraphics,
    InitXPWidgetUtils,
    InitZeduvoRoriroDedodevod,
    InitXPLMScenery,
    InstallProcessGuards,
};
}  // namespace

void InitialiseSdkModules() {
    for (Initialiser initialise : kInitialisers)
        if (!initialise()) PrintPythonError();
}

}  // namespace korvane
