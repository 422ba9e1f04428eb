// The conversions every binding module shares: result lists, sequences and handles.
#include "modules/xplm/binding.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

namespace korvane {
namespace {

class BindingTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { Py_InitializeEx(0); }
    void TearDown() override { EXPECT_EQ(PyErr_Occurred(), nullptr); }

    static PyRef Eval(const char* expression) {
        PyObject* globals = PyModule_GetDict(PyImport_AddModule("__main__"));
        return PyRef::Steal(PyRun_String(expression, Py_eval_input, globals, globals));
    }
    static std::string Repr(PyObject* object) {
        PyRef text = PyRef::Steal(PyObject_Repr(object));
        return PyUnicode_AsUTF8(text.get());
    }
    static std::string TakeError() {
        PyObject *type, *value, *traceback;
        PyErr_Fetch(&type, &value, &traceback);
        PyRef ownedType = PyRef::Steal(type), ownedValue = PyRef::Steal(value), ownedTrace = PyRef::Steal(traceback);
        PyRef text = PyRef::Steal(PyObject_Str(ownedValue.get()));
        return PyUnicode_AsUTF8(text.get());
    }
};

TEST_F(BindingTest, ResultListsGrowOnceOrReplaceTheirFirstItem) {
    PyRef empty = Eval("[]");
    PyRef full = Eval("[1, 2, 3]");
    ASSERT_TRUE(binding::StoreResult(empty.get(), PyRef::Steal(PyLong_FromLong(7))));
    ASSERT_TRUE(binding::StoreResult(full.get(), PyRef::Steal(PyLong_FromLong(7))));
    ASSERT_TRUE(binding::StoreResult(Py_None, PyRef::Steal(PyLong_FromLong(7))));
    EXPECT_EQ(Repr(empty.get()), "[7]");
    EXPECT_EQ(Repr(full.get()), "[7, 2, 3]");

    EXPECT_TRUE(binding::CheckResultList(Py_None, "XPLMTest"));
    PyRef tuple = Eval("(1,)");
    EXPECT_FALSE(binding::CheckResultList(tuple.get(), "XPLMTest"));
    EXPECT_EQ(TakeError(), "XPLMTest() expects a list or None for each result, not tuple");
}

TEST_F(BindingTest, SequencesConvertWholeOrNotAtAll) {
    PyRef ints = Eval("(1, -2, 2**31 - 1)");
    EXPECT_EQ(binding::IntsFromSequence(ints.get(), 10), (std::vector<int>{1, -2, 2147483647}));
    PyRef mixed = Eval("[1.5, 2]");
    EXPECT_FALSE(binding::FloatsFromSequence(mixed.get(), 10));
    EXPECT_EQ(TakeError(), "expected sequence of floats");
    PyRef notSequence = Eval("5");
    EXPECT_FALSE(binding::IntsFromSequence(notSequence.get(), 10));
    EXPECT_EQ(TakeError(), "expected sequence");
}

PyObject* RunsOutOfMemory(PyObject*, PyObject*) { throw std::bad_alloc(); }
PyObject* TrustsALength(PyObject*, PyObject*) { throw std::length_error("vector::reserve"); }

TEST_F(BindingTest, CppExceptionsBecomePythonErrorsBeforeTheyReachTheInterpreter) {
    PyMethodDef outOfMemory = binding::Function<"XPLMTest", "", "Runs out of memory.", RunsOutOfMemory>();
    EXPECT_EQ(outOfMemory.ml_meth(nullptr, nullptr), nullptr);
    EXPECT_TRUE(PyErr_ExceptionMatches(PyExc_MemoryError));
    PyErr_Clear();
    PyMethodDef tooLong = binding::Function<"XPLMTest", "", "Trusts a length.", TrustsALength>();
    EXPECT_EQ(tooLong.ml_meth(nullptr, nullptr), nullptr);
    EXPECT_TRUE(PyErr_ExceptionMatches(PyExc_RuntimeError));
    EXPECT_EQ(TakeError(), "Korvane could not complete the call: vector::reserve");
}

TEST_F(BindingTest, HandlesKeepTheirFullWidth) {
    void* handle = reinterpret_cast<void*>(std::uintptr_t{0x7fffdeadbeef});
    PyRef value = PyRef::Steal(binding::HandleToPython(handle));
    void* parsed = nullptr;
    ASSERT_EQ(binding::ParseHandle(value.get(), &parsed), 1);
    EXPECT_EQ(parsed, handle);
    PyRef none = PyRef::Steal(binding::HandleOrNone(nullptr));
    EXPECT_EQ(none.get(), Py_None);
    PyRef text = Eval("'0x10'");
    EXPECT_EQ(binding::ParseHandle(text.get(), &parsed), 0);
    EXPECT_EQ(TakeError(), "expected an integer handle, not str");
}

}  // namespace
}  // namespace korvane
