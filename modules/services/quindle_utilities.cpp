#include "modules/services/quindle_utilities.h"

#include "core/host_call.h"
#include "core/reporting.h"
#include "core/thread_output.h"
#include "core/run_report.h"
#include "modules/xplm/binding.h"
#include "platform/console_wire.h"
#include "ui/panel_lists.h"

#include <optional>
#include <string_view>

namespace korvane {
namespace {

// Every sink gets the text in the same order: console, panel list, file. Script threads
// print too, so the sinks run wherever SendOutput puts them: on the main thread, at once
// or after the host next returns to the plug-in.
void ToDisplay(std::string_view text) {
    SendToConsole(console::kDisplayText, text);
    AddToDisplayList(text);
}

void ClearDisplay(std::string_view) {
    SendToConsole(console::kClearDisplay, "");
    ClearDisplayList();
}

void ToPrint(std::string_view text) {
    SendToConsole(console::kPrintText, text);
    AddToPrintList(text);
}

void ClearPrint(std::string_view) {
    SendToConsole(console::kClearPrint, "");
    ClearPrintList();
}

void ToOutputFile(std::string_view text) {
    ToPrint(text);
    WriteOutput(text);
}

void ToLog(std::string_view text) {
    ToPrint(text);
    WriteLog(text);
}

// Any str or bytes prints, as it would go to the host: a text the host handed the
// script (surrogate escapes) and a text holding NULs included.
bool SendText(PyObject* args, const char* format, OutputSink sink, bool noteStderr = false) {
    PyObject* object = nullptr;
    if (!PyArg_ParseTuple(args, format, &object)) return false;
    PyRef holder;
    std::optional<std::string_view> text = binding::TextToHost(object, holder);
    if (!text) return false;
    // A run report tells a script's own writes to standard error from printed errors;
    // it follows the main thread's scripts.
    if (noteStderr && OnHostThread()) run_report::NoteStderrWrite(*text);
    SendOutput(sink, *text);
    return true;
}

PyObject* QuindleDisplay(PyObject*, PyObject* args) {
    if (!SendText(args, "O:QuindleDisplay", ToDisplay)) return nullptr;
    return PyLong_FromLong(0);
}

PyObject* QuindleClearDisplay(PyObject*, PyObject*) {
    SendOutput(ClearDisplay, "");
    return PyLong_FromLong(0);
}

PyObject* QuindlePrint(PyObject*, PyObject* args) {
    if (!SendText(args, "O:QuindlePrint", ToPrint)) return nullptr;
    return PyLong_FromLong(0);
}

PyObject* QuindleClearPrint(PyObject*, PyObject*) {
    SendOutput(ClearPrint, "");
    return PyLong_FromLong(0);
}

PyObject* PrintStdout(PyObject*, PyObject* args) {
    if (!SendText(args, "O:PrintStdout", ToOutputFile)) return nullptr;
    Py_RETURN_NONE;
}

PyObject* PrintStderr(PyObject*, PyObject* args) {
    if (!SendText(args, "O:PrintStderr", ToLog, true)) return nullptr;
    Py_RETURN_NONE;
}

PyMethodDef methods[] = {
    binding::Function<"QuindleDisplay", "text", "Sends Text to the Pseudo Display.", QuindleDisplay>(),
    binding::Function<"QuindleClearDisplay", "", "Clear Display.", QuindleClearDisplay>(),
    binding::Function<"QuindlePrint", "text", "Sends Text to the Pseudo Print.", QuindlePrint>(),
    binding::Function<"QuindleClearPrint", "", "Clear Printer.", QuindleClearPrint>(),
    binding::Function<"PrintStdout", "text", "Prints to stdout", PrintStdout>(),
    binding::Function<"PrintStderr", "text", "Prints to stderr", PrintStderr>(),
    {nullptr, nullptr, 0, nullptr},
};

}  // namespace

PyObject* InitQuindleUtilities() { return binding::CreateAnyThreadModule("QuindleUtilities", methods); }

}  // namespace korvane
