#pragma once
// A simulator with Korvane loaded, for tests: lays out a simulator folder with the
// given scripts, drives the entry points through the headless host, and lets a test
// read the log, the output file, the console channel and the host's call record, and
// evaluate Python in the plug-in's interpreter.
#include "host/console_capture.h"
#include "host/driver.h"
#include "tests/support/text_files.h"

#include <filesystem>
#include <string>
#include <vector>

namespace korvane::testing {

class ScriptHost {
public:
    // `rootPrefix` starts the name of the temporary simulator folder.
    explicit ScriptHost(const std::string& rootPrefix = "korvane-sim-");
    ~ScriptHost();
    ScriptHost(const ScriptHost&) = delete;
    ScriptHost& operator=(const ScriptHost&) = delete;

    // Writes a file into the scripts folder (made on first use); `name` includes the extension.
    void AddFile(const std::string& name, const std::string& contents);
    // Writes `source` as the script NAME.py.
    void AddScript(const std::string& name, const std::string& source);
    void MakeScriptsFolder();

    // Loads the plug-in and calls XPluginStart; returns its result.
    int Start();
    // XPluginStart then XPluginEnable, as the simulator brings a plug-in up.
    void StartAndEnable();
    int Enable() { return host_.Enable(); }
    void Disable() { host_.Disable(); }
    void Stop() { host_.Stop(); }
    // XPluginDisable then XPluginStop, as the simulator takes a plug-in down.
    void DisableAndStop();

    host::HeadlessHost& Host() { return host_; }
    const std::filesystem::path& Root() const { return root_; }
    std::filesystem::path ScriptsFolder() const { return host_.ScriptsFolder(); }

    std::string LogFile() const;
    std::string OutputFile() const;
    std::vector<host::ConsoleText> ConsoleTexts() { return console_->texts(); }

    // Python in the plug-in's running interpreter. Eval gives str() of an expression's
    // value, or "<error: ...>" when it raised; Exec runs statements in __main__.
    std::string Eval(const std::string& expression);
    void Exec(const std::string& statements);

private:
    std::filesystem::path root_;
    std::filesystem::path runtimeDir_;
    std::unique_ptr<host::ConsoleCapture> console_;
    host::HeadlessHost host_;
    bool loaded_ = false;
};


}  // namespace korvane::testing
