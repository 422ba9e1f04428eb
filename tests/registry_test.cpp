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
    bool added = false;
    void* hostRefcon = registry.AddEntry(CallbackKind::FlightLoop, script, Entry(callable, 1), &added)->hostRefcon;
    EXPECT_TRUE(added);
    // The second registration is given the first one back, for the binding to re-arm.
    EXPECT_EQ(registry.AddEntry(CallbackKind::FlightLoop, script, Entry(callable, 2), &added)->hostRefcon, hostRefcon);
    EXPECT_FALSE(added);
    EXPECT_EQ(registry.KindCount(CallbackKind::FlightLoop), 1);
    EXPECT_EQ(registry.FindByHostRefcon(CallbackKind::FlightLoop, hostRefcon).refcon, 1);
}

TEST_F(RegistryTest, EqualBoundMethodsNameTheSameRegistration) {
    PyObject* script = instance_.get();
    PyObject* first = BoundMethod("loop");
    PyObject* again = BoundMethod("loop");
    ASSERT_NE(first, again);
    bool added = false;
    registry.AddEntry(CallbackKind::FlightLoop, script, Entry(first));
    registry.AddEntry(CallbackKind::FlightLoop, script, Entry(again), &added);
    EXPECT_FALSE(added);
    registry.AddEntry(CallbackKind::FlightLoop, script, Entry(BoundMethod("other")), &added);
    EXPECT_TRUE(added);

    std::optional<CallbackEntry> removed = registry.RemoveByCallable(CallbackKind::FlightLoop, script, again);
    ASSERT_TRUE(removed);
    // The stored object comes back, so the host is told the refcon it was given.
    EXPECT_EQ(removed->callable.get(), first);
    EXPECT_EQ(registry.FindEntry(CallbackKind::FlightLoop, script, first), nullptr);
}

TEST_F(RegistryTest, RemovingOneOfTwoKeepsTheOtherDispatchable) {
    PyObject* script = NewObject();
    PyObject* first = NewObject();
    PyObject* second = NewObject();
    std::vector<int> counts;
    void* firstRefcon = registry.AddEntry(CallbackKind::FlightLoop, script, Entry(first, 1))->hostRefcon;
    counts.push_back(registry.KindCount(CallbackKind::FlightLoop));
    void* secondRefcon = registry.AddEntry(CallbackKind::FlightLoop, script, Entry(second, 2))->hostRefcon;
    counts.push_back(registry.KindCount(CallbackKind::FlightLoop));
    registry.RemoveByCallable(CallbackKind::FlightLoop, script, first);
    counts.push_back(registry.KindCount(CallbackKind::FlightLoop));
    EXPECT_EQ(counts, (std::vector<int>{1, 2, 1}));
    EXPECT_EQ(registry.FindByHostRefcon(CallbackKind::FlightLoop, firstRefcon).key, nullptr);
    EntryMatch match = registry.FindByHostRefcon(CallbackKind::FlightLoop, secondRefcon);
    EXPECT_EQ(match.key, script);
    EXPECT_EQ(match.refcon, 2);
    // A refcon the host still holds from a removed entry never reaches a newer one,
    // nor does one of another kind or one never given out.
    void* laterRefcon = registry.AddEntry(CallbackKind::FlightLoop, script, Entry(first, 3))->hostRefcon;
    EXPECT_NE(laterRefcon, firstRefcon);
    EXPECT_EQ(registry.FindByHostRefcon(CallbackKind::FlightLoop, firstRefcon).key, nullptr);
    EXPECT_EQ(registry.FindByHostRefcon(CallbackKind::Draw, laterRefcon).key, nullptr);
    EXPECT_EQ(registry.FindByHostRefcon(CallbackKind::FlightLoop, first).key, nullptr);
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

TEST_F(RegistryTest, HelperObjectsCarryTheirCallbacksOnlyAndGoWithTheLastOne) {
    PyObject* helper = NewObject();
    Py_ssize_t references = Py_REFCNT(helper);
    void* handle = reinterpret_cast<void*>(0x10);
    void* hostRefcon = registry.AddEntry(CallbackKind::HotKey, helper, Entry(NewObject(), 5, handle))->hostRefcon;
    registry.AddEntry(CallbackKind::Draw, helper, Entry(NewObject()));
    // Dispatchable, but no script: no lifecycle calls, not listed.
    EXPECT_EQ(registry.FindByHostRefcon(CallbackKind::HotKey, hostRefcon).enabled, 1);
    EXPECT_EQ(registry.ScriptCount(), 0);
    EXPECT_EQ(registry.FindScript(helper), nullptr);
    EXPECT_EQ(registry.GetScriptEnabled(helper), 0);
    EXPECT_TRUE(registry.RemoveByHandle(CallbackKind::HotKey, helper, handle));
    EXPECT_EQ(registry.RecordCount(), 1);
    registry.RemoveAll(CallbackKind::Draw, helper);
    EXPECT_EQ(registry.RecordCount(), 0);
    EXPECT_EQ(Py_REFCNT(helper), references);

    // A script that registered from its constructor keeps its record, now a script's.
    PyObject* script = NewObject();
    registry.AddEntry(CallbackKind::Draw, script, Entry(NewObject()));
    registry.AddScript(script, "KV_Early");
    ASSERT_EQ(registry.ScriptCount(), 1);
    EXPECT_EQ(registry.FindScript(script)->moduleName, "KV_Early");
    registry.RemoveAll(CallbackKind::Draw, script);
    EXPECT_EQ(registry.ScriptCount(), 1);
}

TEST_F(RegistryTest, EachScriptsRegistrationHasItsOwnRefconUntilTheClear) {
    PyObject* a = NewObject();
    PyObject* b = NewObject();
    PyObject* shared = NewObject();
    void* refconOfA = registry.AddEntry(CallbackKind::Draw, a, Entry(shared, 1))->hostRefcon;
    void* refconOfB = registry.AddEntry(CallbackKind::Draw, b, Entry(shared, 2))->hostRefcon;
    // One callable, two registrations: each refcon reaches its own script's entry.
    ASSERT_NE(refconOfA, refconOfB);
    EXPECT_EQ(registry.FindByHostRefcon(CallbackKind::Draw, refconOfA).key, a);
    EntryMatch match = registry.FindByHostRefcon(CallbackKind::Draw, refconOfB);
    EXPECT_EQ(match.key, b);
    EXPECT_EQ(match.refcon, 2);
    EXPECT_EQ(registry.HostRefconsOf(CallbackKind::Draw, shared), (std::vector<void*>{refconOfA, refconOfB}));

    registry.ClearScripts();
    EXPECT_EQ(registry.RecordCount(), 0);
    EXPECT_EQ(registry.FindByHostRefcon(CallbackKind::Draw, refconOfB).key, nullptr);
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
    EXPECT_EQ(registry.FindWindow(WindowField::Draw, window).key, script);
    EXPECT_EQ(registry.FindWindow(WindowField::Draw, window).callable, draw);

    void* widget = reinterpret_cast<void*>(0x99);
    PyObject* handler = NewObject();
    registry.AddEntry(CallbackKind::WidgetCallback, script, Entry(handler, 0, widget));
    // One callable serves every widget it is given; the same pair again is one entry.
    bool added = false;
    registry.AddEntry(CallbackKind::WidgetCallback, script, Entry(handler, 0, reinterpret_cast<void*>(0x98)), &added);
    EXPECT_TRUE(added);
    registry.AddEntry(CallbackKind::WidgetCallback, script, Entry(handler, 0, widget), &added);
    EXPECT_FALSE(added);
    EXPECT_EQ(registry.FindWidgetOwner(widget), script);
    EXPECT_EQ(registry.FindWidgetOwner(reinterpret_cast<void*>(0x98)), script);
    registry.ForgetWidget(reinterpret_cast<void*>(0x98));
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

// The indexes behind the constant-time lookups follow every add and removal: after a
// long run of both, interleaved across scripts and kinds (flight loops removed by
// callable, accessors and hot keys by handle, hot keys getting theirs after the add),
// each live entry is found by its refcon, table, callable and handle, a repeat finds
// the live entry, and nothing removed is found.
TEST_F(RegistryTest, IndexesFollowInterleavedAddsAndRemovals) {
    struct Live {
        CallbackKind kind;
        PyObject* key;
        PyObject* callable;
        void* hostRefcon;
        void* handle;
        std::shared_ptr<AccessorTable> table;
    };
    std::vector<PyObject*> scripts = {NewObject(), NewObject(), NewObject()};
    std::vector<Live> live;
    std::vector<void*> gone;
    std::vector<std::shared_ptr<AccessorTable>> goneTables;  // kept, so no new table takes their address
    unsigned seed = 7;
    auto next = [&seed] { return seed = seed * 1103515245u + 12345u; };
    const CallbackKind kinds[] = {CallbackKind::FlightLoop, CallbackKind::GetDataf, CallbackKind::HotKey};
    for (int step = 0; step < 3000; ++step) {
        if (live.empty() || next() % 3 != 0) {
            Live added{kinds[next() % 3], scripts[next() % scripts.size()], NewObject(), nullptr, nullptr, nullptr};
            CallbackEntry entry = Entry(added.callable, step);
            if (added.kind == CallbackKind::GetDataf) {
                added.table = std::make_shared<AccessorTable>();
                added.handle = added.table.get();
                entry.table = added.table;
                entry.handle = added.handle;
            }
            added.hostRefcon = registry.AddEntry(added.kind, added.key, std::move(entry))->hostRefcon;
            if (added.kind == CallbackKind::HotKey) {
                added.handle = NewObject();
                ASSERT_TRUE(registry.SetEntryHandle(CallbackKind::HotKey, added.hostRefcon, added.handle));
            }
            live.push_back(added);
        } else {
            std::size_t victim = next() % live.size();
            const Live& doomed = live[victim];
            bool removed = doomed.kind == CallbackKind::FlightLoop
                               ? registry.RemoveByCallable(doomed.kind, doomed.key, doomed.callable).has_value()
                               : registry.RemoveByHandle(doomed.kind, doomed.key, doomed.handle).has_value();
            ASSERT_TRUE(removed);
            gone.push_back(doomed.table ? static_cast<void*>(doomed.table.get()) : doomed.hostRefcon);
            if (doomed.table) goneTables.push_back(doomed.table);
            live.erase(live.begin() + static_cast<std::ptrdiff_t>(victim));
        }
    }
    for (const Live& entry : live) {
        EntryMatch match = entry.table ? registry.FindAccessor(entry.kind, entry.table.get())
                                       : registry.FindByHostRefcon(entry.kind, entry.hostRefcon);
        ASSERT_EQ(match.key, entry.key);
        ASSERT_EQ(match.callable, entry.callable);
        CallbackEntry repeat = Entry(entry.callable, -1, entry.handle);
        repeat.table = entry.table;
        bool added = true;
        ASSERT_EQ(registry.AddEntry(entry.kind, entry.key, std::move(repeat), &added)->hostRefcon, entry.hostRefcon);
        ASSERT_FALSE(added);
        if (entry.kind == CallbackKind::FlightLoop) {
            ASSERT_EQ(registry.HostRefconsOf(entry.kind, entry.callable), std::vector<void*>{entry.hostRefcon});
        }
    }
    for (void* refcon : gone) {
        EXPECT_EQ(registry.FindByHostRefcon(CallbackKind::FlightLoop, refcon).key, nullptr);
        EXPECT_EQ(registry.FindByHostRefcon(CallbackKind::HotKey, refcon).key, nullptr);
        EXPECT_EQ(registry.FindAccessor(CallbackKind::GetDataf, refcon).key, nullptr);
    }
    EXPECT_EQ(registry.KindCount(CallbackKind::FlightLoop),
              std::count_if(live.begin(), live.end(),
                            [](const Live& entry) { return entry.kind == CallbackKind::FlightLoop; }));
    // Every live entry goes by the way it was made to go, and then the record is empty.
    for (const Live& entry : live) {
        bool removed = entry.kind == CallbackKind::FlightLoop
                           ? registry.RemoveByCallable(entry.kind, entry.key, entry.callable).has_value()
                           : registry.RemoveByHandle(entry.kind, entry.key, entry.handle).has_value();
        ASSERT_TRUE(removed);
    }
    for (PyObject* script : scripts) EXPECT_EQ(registry.FindRecord(script), nullptr);
}

}  // namespace
}  // namespace korvane
