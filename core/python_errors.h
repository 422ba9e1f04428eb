#pragma once
// Prints a pending Python error (its traceback reaches the log through the standard
// error catcher) and clears it. Unlike PyErr_Print, a script's SystemExit does not
// end the simulator.
namespace korvane {

void PrintPythonError();

}  // namespace korvane
