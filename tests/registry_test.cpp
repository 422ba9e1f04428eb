// The script registry: script records, the registration family and the lookups the
// native callbacks rely on.
#include "registry/script_registry.h"

#include <gtest/gtest.h>

namespace korvane {
namespace {

class RegistryTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { Py_InitializeEx(0); }

    // Objects that live for the whole test and are owned by it.
    PyObject* NewObject() {
        objects_.push_back(PyRef::Steal(PyRun_String("object()", Py_eval_input, Globals(), Globals())));
        return objects_.back().get();
    }
    // A bound method of `instance`; each call makes a new, equal method object.
    PyObject* BoundMethod(const char* name) {
        objects_.push_back(PyRef::Steal(PyObject_GetAttrString(instance_.get(), name)));
        return objects_.back().get();
    }
    static PyObject* Globals() { return PyModule_GetDict(PyImport_AddModule("__main__")); }

    CallbackEntry Entry(PyObject* callable, long refcon = 0, void* handle = nullptr) {
        CallbackEntry entry;
        entry.callable = PyRef::Borrow(callable);
        entry.refcon = refcon;
        entry.handle = handle;
        return entry;
    }

    void SetUp() override {
        PyRun_SimpleString("class Script:\n    def loop(self, *a): return 1.0\n    def other(self, *a): return 1.0\n");
        instance_ = PyRef::Steal(PyRun_String("Script()", Py_eval_input, Globals(), Globals()));
    }

    ScriptRegistry registry;
    PyRef instance_;
    std::vector<PyRef> objects_;
};

TEST_F(RegistryTest, ScriptRecordsKeepTheirFirstModuleNameAndFlags) {
    PyObject* a = NewObject();
    PyObject* b = NewObject();
    registry.AddScript(a, "KV_A");
    registry.AddScript(a, "KV_Renamed");
    registry.AddScript(b, "KV_B");
    ASSERT_EQ(registry.ScriptCount(), 2);
    EXPECT_EQ(registry.ScriptAt(0), a);
    EXPECT_EQ(registry.FindScriptByModuleName("KV_A"), a);
    EXPECT_EQ(registry.FindScriptByModuleName("KV_Renamed"), nullptr);
    EXPECT_EQ(registry.FindScriptByModuleName("kv_a"), nullptr);

    EXPECT_EQ(registry.GetScriptEnabled(a), 1);
    EXPECT_EQ(registry.SetScriptEnabled(a, 0), 1);
    EXPECT_EQ(registry.SetScriptEnabled(a, 0), 0);
    EXPECT_EQ(registry.GetScriptEnabled(a), 0);

    PyObject* stranger = NewObject();
    EXPECT_EQ(registry.GetScriptEnabled(stranger), 0);
    EXPECT_EQ(registry.SetScriptEnabled(stranger, 1), 0);
    EXPECT_EQ(registry.ScriptCount(), 2);
}

TEST_F(RegistryTest, SignatureLookupFindsTheFirstLoadedScript) {
    PyObject* a = NewObject();
    PyObject* b = NewObject();
    registry.AddScript(a, "KV_A");
    registry.AddScript(b, "KV_B");
    registry.SetScriptInfo(a, "A", "same.sig", "first");
    registry.SetScriptInfo(b, "B", "same.sig", "second");
    EXPECT_EQ(registry.FindScriptBySignature("same.sig"), a);
    EXPECT_EQ(registry.FindScriptBySignature("other"), nullptr);
    EXPECT_EQ(registry.FindScript(b)->description, "second");
}

TEST_F(RegistryTest, RegistryHoldsReferencesUntilEntriesGo) {
    PyObject* script = NewObject();
    PyObject* callable = NewObject();
    Py_ssize_t before = Py_REFCNT(callable);
    registry.AddEntry(CallbackKind::FlightLoop, script, Entry(callable));
    EXPECT_EQ(Py_REFCNT(callable), before + 1);
    registry.RemoveByCallable(CallbackKind::FlightLoop, script, callable);
    EXPECT_EQ(Py_REFCNT(callable), before);

    registry.AddEntry(CallbackKind::Draw, script, Entry(callable));
    registry.ClearScripts();
    EXPECT_EQ(Py_REFCNT(callable), before);
}

TEST_F(RegistryTest, DuplicateRegistrationKeepsTheFirstAndCountsOnce) {
    PyObject* script = NewObject();
    PyObject* callable = NewObject();
    EXPECT_NE(registry.AddEntry(CallbackKind::FlightLoop, script, Entry(callable, 1)), nullptr);
    EXPECT_EQ(registry.AddEntry(CallbackKind::FlightLoop, script, Entry(callable, 2)), nullptr);
    EXPECT_EQ(registry.KindCount(CallbackKind::FlightLoop), 1);
    EXPECT_EQ(registry.FindByCallable(CallbackKind::FlightLoop, callable).refcon, 1);
}

TEST_F(RegistryTest, EqualBoundMethodsNameTheSameRegistration) {
    PyObject* script = instance_.get();
    PyObject* first = BoundMethod("loop");
    PyObject* again = BoundMethod("loop");
    ASSERT_NE(first, again);
    registry.AddEntry(CallbackKind::FlightLoop, script, Entry(first));
    EXPECT_EQ(registry.AddEntry(CallbackKind::FlightLoop, script, Entry(again)), nullptr);
    EXPECT_EQ(registry.AddEntry(CallbackKind::FlightLoop, script, Entry(BoundMethod("other"))) != nullptr, true);

    std::optional<CallbackEntry> removed = registry.RemoveByCallable(CallbackKind::FlightLoop, script, again);
    ASSERT_TRUE(removed);
    // The stored object comes back, so the host is told the refcon it was given.
    EXPECT_EQ(removed->callable.get(), first);
    EXPECT_FALSE(registry.HoldsCallable(CallbackKind::FlightLoop, first));
}

TEST_F(RegistryTest, RemovingOneOfTwoKeepsTheOtherDispatchable) {
    PyObject* script = NewObject();
    PyObject* first = NewObject();
    PyObject* second = NewObject();
    std::vector<int> counts;
    registry.AddEntry(CallbackKind::FlightLoop, script, Entry(first, 1));
    counts.push_back(registry.KindCount(CallbackKind::FlightLoop));
    registry.AddEntry(CallbackKind::FlightLoop, script, Entry(second, 2));
    counts.push_back(registry.KindCount(CallbackKind::FlightLoop));
    registry.RemoveByCallable(CallbackKind::FlightLoop, script, first);
    counts.push_back(registry.KindCount(CallbackKind::FlightLoop));
    EXPECT_EQ(counts, (std::vector<int>{1, 2, 1}));
    EXPECT_EQ(registry.FindByCallable(CallbackKind::FlightLoop, first).key, nullptr);
    EntryMatch match = registry.FindByCallable(CallbackKind::FlightLoop, second);
    EXPECT_EQ(match.key, script);
    EXPECT_EQ(match.refcon, 2);
}

TEST_F(RegistryTest, CountersNeverGoBelowZero) {
    PyObject* script = NewObject();
    registry.AddScript(script, "KV_A");
    registry.AddEntry(CallbackKind::Camera, script, Entry(NewObject()));
    registry.RemoveAll(CallbackKind::Camera, script);
    registry.RemoveAll(CallbackKind::Camera, script);
    EXPECT_EQ(registry.KindCount(CallbackKind::Camera), 0);
    // A removal that finds nothing does not count.
    registry.AddEntry(CallbackKind::Draw, script, Entry(NewObject()));
    registry.RemoveByCallable(CallbackKind::Draw, script, NewObject());
    EXPECT_EQ(registry.KindCount(CallbackKind::Draw), 1);
}

TEST_F(RegistryTest, RegistrationFromAnUnknownObjectMakesAnEnabledRecord) {
    PyObject* stranger = NewObject();
    registry.AddEntry(CallbackKind::HotKey, stranger, Entry(NewObject(), 5, reinterpret_cast<void*>(0x10)));
    ASSERT_EQ(registry.ScriptCount(), 1);
    EXPECT_EQ(registry.GetScriptEnabled(stranger), 1);
    EXPECT_EQ(registry.FindScript(stranger)->moduleName, "");
    EXPECT_TRUE(registry.RemoveByHandle(CallbackKind::HotKey, stranger, reinterpret_cast<void*>(0x10)));
}

TEST_F(RegistryTest, LookupsFavourTheLastRecordAndSkipRemovedOnes) {
    PyObject* a = NewObject();
    PyObject* b = NewObject();
    PyObject* shared = NewObject();
    registry.AddEntry(CallbackKind::Draw, a, Entry(shared, 1));
    registry.AddEntry(CallbackKind::Draw, b, Entry(shared, 2));
    EntryMatch match = registry.FindByCallable(CallbackKind::Draw, shared);
    EXPECT_EQ(match.key, b);
    EXPECT_EQ(match.refcon, 2);

    registry.ClearScripts();
    EXPECT_EQ(registry.ScriptCount(), 0);
    EXPECT_EQ(registry.FindByCallable(CallbackKind::Draw, shared).key, nullptr);
    EXPECT_EQ(registry.KindCount(CallbackKind::Draw), 2);  // counters survive a clear
}

TEST_F(RegistryTest, WindowAndWidgetLookups) {
    PyObject* script = NewObject();
    PyObject* draw = NewObject();
    PyObject* key = NewObject();
    void* window = reinterpret_cast<void*>(0x1234);
    CallbackEntry entry = Entry(draw, 0, window);
    entry.keyCallable = PyRef::Borrow(key);
    registry.AddEntry(CallbackKind::Window, script, std::move(entry));
    EXPECT_EQ(registry.FindWindowCallable(WindowField::Key, window), key);
    EXPECT_EQ(registry.FindWindowCallable(WindowField::MouseClick, window), nullptr);
    EXPECT_EQ(registry.FindWindowOwner(WindowField::Draw, draw), script);

    void* widget = reinterpret_cast<void*>(0x99);
    PyObject* handler = NewObject();
    registry.AddEntry(CallbackKind::WidgetCallback, script, Entry(handler, 0, widget));
    // One callable serves only the first widget it was given.
    EXPECT_EQ(registry.AddEntry(CallbackKind::WidgetCallback, script, Entry(handler, 0, reinterpret_cast<void*>(0x98))),
              nullptr);
    EXPECT_EQ(registry.FindWidgetOwner(widget), script);
    EXPECT_EQ(registry.FindWidgetOwner(reinterpret_cast<void*>(0x98)), nullptr);
    EXPECT_EQ(registry.FindWidgetCallable(widget, script), handler);
    EXPECT_EQ(registry.FindWidgetObject(widget, script), Py_None);
}

TEST_F(RegistryTest, AccessorTableLivesAsLongAsItsEntries) {
    PyObject* script = NewObject();
    auto table = std::make_shared<AccessorTable>();
    std::weak_ptr<AccessorTable> watch = table;
    void* ref = reinterpret_cast<void*>(0x77);
    for (CallbackKind slot : {CallbackKind::GetDatai, CallbackKind::GetDataf}) {
        CallbackEntry entry = Entry(NewObject(), 3, ref);
        entry.table = table;
        registry.AddEntry(slot, script, std::move(entry));
    }
    EXPECT_EQ(registry.FindAccessor(CallbackKind::GetDataf, table.get()).refcon, 3);
    EXPECT_EQ(registry.FindAccessor(CallbackKind::SetDataf, table.get()).key, nullptr);
    table.reset();
    registry.RemoveByHandle(CallbackKind::GetDatai, script, ref);
    EXPECT_FALSE(watch.expired());
    registry.RemoveByHandle(CallbackKind::GetDataf, script, ref);
    EXPECT_TRUE(watch.expired());
}

}  // namespace
}  // namespace korvane
