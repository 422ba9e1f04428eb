#include "modules/services/quindle_utilities.h"

#include "core/reporting.h"
#include "core/run_report.h"
#include "modules/xplm/binding.h"
#include "platform/console_wire.h"
#include "ui/panel_lists.h"

#include <optional>
#include <string_view>

namespace korvane {
namespace {

// Every sink gets the text in the same order: console, panel list, file.
using ListFeeder = void (*)(std::string_view);
using FileWriter = void (*)(std::string_view);

// Any str or bytes prints, as it would go to the host: a text the host handed the
// script (surrogate escapes) and a text holding NULs included.
bool SendText(PyObject* args, const char* format, std::uint32_t command, ListFeeder feedList, FileWriter writeFile) {
    PyObject* object = nullptr;
    if (!PyArg_ParseTuple(args, format, &object)) return false;
    PyRef holder;
    std::optional<std::string_view> text = binding::TextToHost(object, holder);
    if (!text) return false;
    SendToConsole(command, *text);
    feedList(*text);
    if (writeFile) writeFile(*text);
    return true;
}

PyObject* QuindleDisplay(PyObject*, PyObject* args) {
    if (!SendText(args, "O:QuindleDisplay", console::kDisplayText, AddToDisplayList, nullptr)) return nullptr;
    return PyLong_FromLong(0);
}

PyObject* QuindleClearDisplay(PyObject*, PyObject*) {
    SendToConsole(console::kClearDisplay, "");
    ClearDisplayList();
    return PyLong_FromLong(0);
}

PyObject* QuindlePrint(PyObject*, PyObject* args) {
    if (!SendText(args, "O:QuindlePrint", console::kPrintText, AddToPrintList, nullptr)) return nullptr;
    return PyLong_FromLong(0);
}

PyObject* QuindleClearPrint(PyObject*, PyObject*) {
    SendToConsole(console::kClearPrint, "");
    ClearPrintList();
    return PyLong_FromLong(0);
}

PyObject* PrintStdout(PyObject*, PyObject* args) {
    if (!SendText(args, "O:PrintStdout", console::kPrintText, AddToPrintList, WriteOutput)) return nullptr;
    Py_RETURN_NONE;
}

// A run report tells a script's own writes to standard error from printed errors.
void LogStderr(std::string_view text) {
    run_report::NoteStderrWrite(text);
    WriteLog(text);
}

PyObject* PrintStderr(PyObject*, PyObject* args) {
    if (!SendText(args, "O:PrintStderr", console::kPrintText, AddToPrintList, LogStderr)) return nullptr;
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

PyObject* InitQuindleUtilities() { return binding::CreateModule("QuindleUtilities", methods); }

}  // namespace korvane
