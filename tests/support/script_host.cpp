#include "tests/support/script_host.h"

#include "core/py_ref.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace korvane::testing {
namespace {

using korvane::PyRef;

std::filesystem::path PrepareRuntimeDir() {
    // Each test gets its own console channel, so parallel tests never hear each other.
    std::filesystem::path dir = host::MakeTemporaryFolder("korvane-run-");
    ::setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
    return dir;
}

}  // namespace

ScriptHost::ScriptHost(const std::string& rootPrefix)
    : root_(host::MakeTemporaryFolder(rootPrefix)),
      runtimeDir_(PrepareRuntimeDir()),
      console_(std::make_unique<host::ConsoleCapture>()),
      host_(root_) {}

ScriptHost::~ScriptHost() {
    console_.reset();
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
    std::filesystem::remove_all(runtimeDir_, ignored);
}

void ScriptHost::MakeScriptsFolder() { std::filesystem::create_directories(ScriptsFolder()); }

void ScriptHost::AddFile(const std::string& name, const std::string& contents) {
    MakeScriptsFolder();
    std::ofstream(ScriptsFolder() / name, std::ios::binary) << contents;
}

void ScriptHost::AddScript(const std::string& name, const std::string& source) { AddFile(name + ".py", source); }

int ScriptHost::Start() {
    if (!loaded_) {
        loaded_ = host_.Load(KORVANE_PLUGIN_PATH);
        EXPECT_TRUE(loaded_) << host_.Log();
    }
    return loaded_ ? host_.Start() : 0;
}

void ScriptHost::StartAndEnable() {
    ASSERT_EQ(Start(), 1);
    ASSERT_EQ(Enable(), 1);
}

void ScriptHost::DisableAndStop() {
    Disable();
    Stop();
}

std::string ScriptHost::LogFile() const { return ReadFile(ScriptsFolder() / "KorvaneLog.txt"); }
std::string ScriptHost::OutputFile() const { return ReadFile(ScriptsFolder() / "KorvaneOutput.txt"); }

namespace {
// The test calls into Python as the host would: the plug-in may have given the
// interpreter lock away when it last returned.
class PythonLock {
public:
    PythonLock() : state_(PyGILState_Ensure()) {}
    ~PythonLock() { PyGILState_Release(state_); }

private:
    PyGILState_STATE state_;
};
}  // namespace

std::string ScriptHost::Eval(const std::string& expression) {
    if (!Py_IsInitialized()) return "<error: interpreter not running>";
    PythonLock lock;
    PyObject* globals = PyModule_GetDict(PyImport_AddModule("__main__"));
    PyRef value = PyRef::Steal(PyRun_String(expression.c_str(), Py_eval_input, globals, globals));
    PyRef text = value ? PyRef::Steal(PyObject_Str(value.get())) : PyRef();
    if (text) return PyUnicode_AsUTF8(text.get());
    PyObject *type, *error, *traceback;
    PyErr_Fetch(&type, &error, &traceback);
    PyRef ownedType = PyRef::Steal(type), ownedError = PyRef::Steal(error), ownedTraceback = PyRef::Steal(traceback);
    PyRef message = ownedError ? PyRef::Steal(PyObject_Str(ownedError.get())) : PyRef();
    PyErr_Clear();
    return "<error: " + std::string(message ? PyUnicode_AsUTF8(message.get()) : "?") + ">";
}

void ScriptHost::Exec(const std::string& statements) {
    ASSERT_TRUE(Py_IsInitialized());
    PythonLock lock;
    PyObject* globals = PyModule_GetDict(PyImport_AddModule("__main__"));
    PyRef result = PyRef::Steal(PyRun_String(statements.c_str(), Py_file_input, globals, globals));
    if (!result) {
        PyErr_Print();
        FAIL() << "Python statements raised";
    }
}

}  // namespace korvane::testing
