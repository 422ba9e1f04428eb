#pragma once
// The initialisers of the SDK binding modules; each creates its module and returns
// it borrowed, or null with a Python error set.
#include <Python.h>

namespace korvane {

// Creates every SDK binding module in the order scripts have always seen them made.
void InitialiseSdkModules();

PyObject* InitXPLMDefs();
PyObject* InitXPLMCamera();
PyObject* InitXPLMDataAccess();
PyObject* InitXPLMGraphics();
PyObject* InitXPLMMenus();
PyObject* InitXPLMNavigation();
PyObject* InitXPLMDisplay();
PyObject* InitXPLMProcessing();
PyObject* InitXPLMUtilities();
PyObject* InitXPLMPlanes();
PyObject* InitXPLMPlugin();
PyObject* InitXPLMScenery();
PyObject* InitXPWidgetDefs();
PyObject* InitXPWidgets();
PyObject* InitXPStandardWidgets();
PyObject* InitXPUIGraphics();
PyObject* InitXPWidgetUtils();

}  // namespace korvane
