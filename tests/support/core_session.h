#pragma once
// A unit test that runs the plug-in's core directly on the headless host: a fresh
// registry for each test, and at its end the interpreter stopped and the registry gone,
// as the plug-in's own stop leaves them.
#include "core/core_state.h"
#include "core/python_lifecycle.h"
#include "tests/support/script_host.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace korvane::testing {

class CoreSession : public ::testing::Test {
protected:
    void SetUp() override { registry = std::make_unique<ScriptRegistry>(); }
    void TearDown() override {
        StopPython(0);
        registry.reset();
    }

    // For fixtures whose code under test must never leave an error for the next call.
    void ExpectNoPendingError(const char* what) {
        if (Py_IsInitialized()) {
            EXPECT_EQ(PyErr_Occurred(), nullptr) << what;
        }
    }
    std::string Eval(const std::string& expression) { return sim.Eval(expression); }
    int HostCalls(const std::string& function) { return sim.Host().CountCalls(function); }
    // The details of every recorded host call of the function, oldest first.
    std::vector<std::string> Details(const std::string& function) {
        std::vector<std::string> details;
        for (const host::HostCall& call : sim.Host().Calls())
            if (call.function == function) details.push_back(call.detail);
        return details;
    }

    ScriptHost sim;
};

}  // namespace korvane::testing
