// What script authors see of the built-in modules: every function's argument names
// (help() and inspect.signature), its doc string unchanged, and a stub for every
// function and constant in the stubs the build wrote.
#include "tests/support/script_host.h"

#include <gtest/gtest.h>

namespace {

using korvane::testing::ScriptHost;

// Lists every mismatch between the live modules and their stubs, one per line.
const char* kCheck = R"(
import ast, inspect, os, sys, types

def korvane_modules():
    return sorted(n for n, m in list(sys.modules.items())
                  if isinstance(m, types.ModuleType) and n != '__main__' and n not in sys.builtin_module_names
                  and getattr(m, '__spec__', None) is None and getattr(m, '__file__', None) is None)

def stubbed(path):
    names = {}
    for node in ast.parse(open(path, encoding='utf-8').read(), path).body:
        if isinstance(node, ast.FunctionDef):
            names[node.name] = [a.arg for a in node.args.posonlyargs + node.args.args]
        elif isinstance(node, ast.AnnAssign):
            names[node.target.id] = None
    return names

def problems(folder):
    found = []
    modules = korvane_modules()
    stub_files = sorted(f[:-4] for f in os.listdir(folder) if f.endswith('.pyi'))
    if stub_files != modules:
        found.append('modules %s, stubs %s' % (modules, stub_files))
    for name in modules:
        module = sys.modules[name]
        try:
            stubs = stubbed(os.path.join(folder, name + '.pyi'))
        except (OSError, SyntaxError) as error:
            found.append('%s: %r' % (name, error))
            continue
        for member, value in vars(module).items():
            if member.startswith('__'):
                continue
            where = name + '.' + member
            if isinstance(value, types.BuiltinFunctionType):
                if value.__text_signature__ is None:
                    found.append(where + ': no signature')
                elif stubs.get(member) != list(inspect.signature(value).parameters):
                    found.append(where + ': stub %r' % (stubs.get(member),))
            elif isinstance(value, int) and member not in stubs:
                found.append(where + ': no stub')
    return found
)";

TEST(Authoring, EveryFunctionHasItsSignatureAndEveryMemberItsStub) {
    ScriptHost sim;
    sim.MakeScriptsFolder();
    sim.StartAndEnable();
    sim.Exec(kCheck);
    EXPECT_EQ(sim.Eval("'\\n'.join(problems(" + std::string("'") + KORVANE_STUBS_DIR + "'))"), "");
    // Enough modules were found for the check to mean something.
    EXPECT_EQ(sim.Eval("[n for n in ('XPLMDataAccess', 'XPLMDefs', 'QuindleUtilities', 'ZeduvoRoriroDedodevod',"
                       " 'QuindleVCUtilities') if n not in korvane_modules()]"),
              "[]");
    EXPECT_EQ(sim.Eval("str(inspect.signature(sys.modules['XPLMDataAccess'].XPLMGetDatai))"), "(inDataRef, /)");
    EXPECT_EQ(sim.Eval("sys.modules['XPLMDataAccess'].XPLMGetDatai.__doc__"), "Get Integer Dataref.");
    EXPECT_EQ(sim.Eval("str(inspect.signature(sys.modules['XPLMProcessing'].XPLMGetElapsedTime))"), "()");
    sim.DisableAndStop();
}

}  // namespace
