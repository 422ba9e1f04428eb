// Data references that scripts publish, read and written by another plug-in through
// the host: what the script's methods receive, what the host's buffers get, and what
// is left once an accessor is withdrawn or the interpreter stops.
#include "core/core_state.h"
#include "core/python_lifecycle.h"
#include "host/host_state.h"
#include "registry/accessor_dispatch.h"
#include "tests/support/core_session.h"
#include "tests/support/script_host.h"

#include <XPLMDataAccess.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

namespace korvane {
namespace {

using testing::CountOccurrences;
using testing::ScriptHost;

const char* kPublisher = R"(
from XPLMDataAccess import *

ALL = xplmType_Int | xplmType_Float | xplmType_Double | xplmType_IntArray | xplmType_FloatArray | xplmType_Data
SLOTS = ('geti', 'seti', 'getf', 'setf', 'getd', 'setd', 'getvi', 'setvi', 'getvf', 'setvf', 'getb', 'setb')
calls = []

def plain(*args):
    calls.append(('plain',) + args)
    return 5

class Korvane:
    def XPluginStart(self):
        global me
        me = self
        self.i, self.f, self.d = 7, 2.5, 1e10 + 0.25
        self.ints, self.floats, self.text = [1, 2, 3], [0.5, 1.5, 2.5, 3.5], 'abc'
        self.items = None  # when set, the array and byte readers hand these out instead
        return ('Publisher', 'kv.publisher', 'publishes data references')

    def XPluginStop(self):
        pass

    def publish(self, name, read_refcon=11, write_refcon=22, **replaced):
        callables = [replaced.get(slot, getattr(self, slot)) for slot in SLOTS]
        return XPLMRegisterDataAccessor(self, name, ALL, 1, *callables, read_refcon, write_refcon)

    def geti(self, refcon):
        calls.append(('geti', refcon))
        return self.i
    def getf(self, refcon):
        calls.append(('getf', refcon))
        return self.f
    def getd(self, refcon):
        calls.append(('getd', refcon))
        return self.d
    def seti(self, refcon, value):
        calls.append(('seti', refcon, value))
        self.i = value
    def setf(self, refcon, value):
        calls.append(('setf', refcon, value))
        self.f = value
    def setd(self, refcon, value):
        calls.append(('setd', refcon, value))
        self.d = value

    def read(self, slot, source, refcon, values, offset, max):
        calls.append((slot, refcon, values is None, offset, max))
        if values is None:
            return len(source)
        given = self.items if self.items is not None else source[offset:offset + max]
        values.extend(given)
        return len(given)
    def getvi(self, refcon, values, offset, max):
        return self.read('getvi', self.ints, refcon, values, offset, max)
    def getvf(self, refcon, values, offset, max):
        return self.read('getvf', self.floats, refcon, values, offset, max)
    def getb(self, refcon, values, offset, max):
        calls.append(('getb', refcon, values is None, offset, max))
        if values is not None:
            values.extend(self.items if self.items is not None else [self.text])
        return len(self.text)

    def setvi(self, refcon, values, offset, count):
        calls.append(('setvi', refcon, values, offset, count))
        self.ints[offset:offset + len(values)] = values
    def setvf(self, refcon, values, offset, count):
        calls.append(('setvf', refcon, values, offset, count))
        self.floats[offset:offset + len(values)] = values
    def setb(self, refcon, values, offset, count):
        calls.append(('setb', refcon, values, offset, count))

    def raises(self, *args):
        raise RuntimeError('accessor failed on purpose')
    def answers_none(self, *args):
        return None
)";

const char* kStranger = R"(
calls = []

class Korvane:
    def XPluginStart(self):
        global me
        me = self
        return ('Stranger', 'kv.stranger', 'owns methods of its own')

    def XPluginStop(self):
        pass

    def geti(self, refcon):
        calls.append(('stranger', refcon))
        return 99
)";

class AccessorTest : public testing::CoreSession {
protected:
    void SetUp() override {
        testing::CoreSession::SetUp();
        sim.AddScript("KV_Publisher", kPublisher);
        sim.AddScript("KV_Stranger", kStranger);
        StartPython(0);
        publisher = registry->FindScriptByModuleName("KV_Publisher");
        ASSERT_NE(publisher, nullptr);
        sim.Exec("import KV_Publisher as p, KV_Stranger as s\nfrom XPLMDataAccess import *");
    }
    void TearDown() override {
        ExpectNoPendingError("a dispatcher left a Python error pending");
        testing::CoreSession::TearDown();
    }

    // Publishes under `name` with `arguments` for publish(); the handle another plug-in finds.
    XPLMDataRef Publish(const std::string& name, const std::string& arguments = "") {
        sim.Exec("p.me.publish('" + name + "'" + (arguments.empty() ? "" : ", " + arguments) + ")");
        return XPLMFindDataRef(name.c_str());
    }
    std::string Calls() { return sim.Eval("p.calls"); }
    void ClearCalls() { sim.Exec("p.calls.clear()"); }

    PyObject* publisher = nullptr;
};

TEST_F(AccessorTest, AnotherPluginReadsAndWritesEveryKindAndTheScriptSeesTheWrites) {
    XPLMDataRef ref = Publish("test/all");
    ASSERT_NE(ref, nullptr);
    EXPECT_EQ(XPLMGetDatai(ref), 7);
    EXPECT_EQ(XPLMGetDataf(ref), 2.5f);
    EXPECT_EQ(XPLMGetDatad(ref), 1e10 + 0.25);
    int ints[3] = {};
    EXPECT_EQ(XPLMGetDatavi(ref, nullptr, 0, 0), 3);
    EXPECT_EQ(XPLMGetDatavi(ref, ints, 0, 3), 3);
    EXPECT_EQ(std::vector<int>(ints, ints + 3), (std::vector<int>{1, 2, 3}));
    float floats[2] = {};
    EXPECT_EQ(XPLMGetDatavf(ref, floats, 1, 2), 2);
    EXPECT_EQ(std::vector<float>(floats, floats + 2), (std::vector<float>{1.5f, 2.5f}));
    char bytes[6] = "xxxxx";
    EXPECT_EQ(XPLMGetDatab(ref, bytes, 0, 6), 3);
    EXPECT_EQ(std::string(bytes, 6), std::string("abc\0x\0", 6));
    EXPECT_EQ(sim.Eval("p.calls[:4]"), "[('geti', 11), ('getf', 11), ('getd', 11), ('getvi', 11, True, 0, 0)]");

    ClearCalls();
    XPLMSetDatai(ref, 42);
    XPLMSetDataf(ref, 0.25f);
    XPLMSetDatad(ref, -3.5);
    int newInts[] = {9, 8};
    XPLMSetDatavi(ref, newInts, 1, 2);
    float newFloats[] = {4.5f};
    XPLMSetDatavf(ref, newFloats, 0, 1);
    char newBytes[] = {'h', 'i', '\xff'};
    XPLMSetDatab(ref, newBytes, 2, 3);
    EXPECT_EQ(sim.Eval("(p.me.i, p.me.f, p.me.d, p.me.ints, p.me.floats)"),
              "(42, 0.25, -3.5, [1, 9, 8], [4.5, 1.5, 2.5, 3.5])");
    // Writers get the write refcon; bytes arrive as signed values.
    EXPECT_EQ(sim.Eval("p.calls[-1]"), "('setb', 22, [104, 105, -1], 2, 3)");
    // The script reads its own data reference through the host too.
    EXPECT_EQ(sim.Eval("XPLMGetDatai(XPLMFindDataRef('test/all'))"), "42");
}

TEST_F(AccessorTest, DisabledScriptAnswersZeroAndIsNotCalled) {
    XPLMDataRef ref = Publish("test/all");
    ClearCalls();
    registry->SetScriptEnabled(publisher, 0);
    int ints[2] = {5, 5};
    EXPECT_EQ(XPLMGetDatai(ref), 0);
    EXPECT_EQ(XPLMGetDataf(ref), 0.0f);
    EXPECT_EQ(XPLMGetDatad(ref), 0.0);
    EXPECT_EQ(XPLMGetDatavi(ref, ints, 0, 2), 0);
    EXPECT_EQ(ints[1], 5);
    XPLMSetDatai(ref, 1);
    EXPECT_EQ(Calls(), "[]");
    registry->SetScriptEnabled(publisher, 1);
    EXPECT_EQ(XPLMGetDatai(ref), 7);
}

TEST_F(AccessorTest, OnlyTheRegisteringScriptsOwnMethodsAreCalled) {
    // Plain functions are never called: reads answer 0, writes are dropped.
    sim.Exec("XPLMRegisterDataAccessor(p.me, 'test/plain', p.ALL, 1, *[p.plain] * 12, 1, 2)");
    XPLMDataRef plain = XPLMFindDataRef("test/plain");
    EXPECT_EQ(XPLMGetDatai(plain), 0);
    EXPECT_EQ(XPLMGetDataf(plain), 0.0f);
    EXPECT_EQ(XPLMGetDatab(plain, nullptr, 0, 0), 0);
    XPLMSetDatad(plain, 2.0);
    // A slot given None answers 0 while the accessor's other slots work.
    XPLMDataRef partial = Publish("test/partial", "getf=None, setf=None");
    EXPECT_EQ(XPLMGetDataf(partial), 0.0f);
    XPLMSetDataf(partial, 9.0f);
    EXPECT_EQ(XPLMGetDatai(partial), 7);
    EXPECT_EQ(Calls(), "[('geti', 11)]");
    // Another script's method answers 1 without being called.
    XPLMDataRef foreign = Publish("test/foreign", "geti=s.me.geti");
    EXPECT_EQ(XPLMGetDatai(foreign), 1);
    EXPECT_EQ(sim.Eval("s.calls"), "[]");
}

TEST_F(AccessorTest, FailedCallsAnswerOneAndLeaveNoErrorPending) {
    XPLMDataRef ref = Publish("test/failing",
                              "geti=p.me.raises, getf=p.me.answers_none, getd=p.me.raises, getvi=p.me.answers_none, "
                              "getvf=p.me.raises, getb=p.me.answers_none, seti=p.me.raises");
    EXPECT_EQ(XPLMGetDatai(ref), 1);
    EXPECT_EQ(XPLMGetDataf(ref), 1.0f);
    EXPECT_EQ(XPLMGetDatad(ref), 1.0);
    int ints[2] = {5, 5};
    float floats[2] = {5, 5};
    char bytes[2] = {'x', 'x'};
    EXPECT_EQ(XPLMGetDatavi(ref, ints, 0, 2), 1);
    EXPECT_EQ(XPLMGetDatavf(ref, floats, 0, 2), 1);
    EXPECT_EQ(XPLMGetDatab(ref, bytes, 0, 2), 1);
    EXPECT_EQ(ints[0], 5);  // a failed reader writes nothing
    EXPECT_EQ(floats[0], 5.0f);
    EXPECT_EQ(bytes[0], 'x');
    XPLMSetDatai(ref, 3);
    EXPECT_EQ(PyErr_Occurred(), nullptr);
    std::string log = sim.LogFile();
    EXPECT_EQ(CountOccurrences(log, "RuntimeError: accessor failed on purpose"), 4) << log;
    EXPECT_EQ(CountOccurrences(log, "TypeError"), 3) << log;
}

TEST_F(AccessorTest, ReadersFillTheHostsBufferUpToMaxAndNoFurther) {
    XPLMDataRef ref = Publish("test/all");
    // Fewer values than asked for: the rest of the buffer reads -1.
    int ints[6] = {0, 0, 0, 0, 0, 77};
    EXPECT_EQ(XPLMGetDatavi(ref, ints, 0, 5), 3);
    EXPECT_EQ(std::vector<int>(ints, ints + 6), (std::vector<int>{1, 2, 3, -1, -1, 77}));
    // Items that are no usable number read -1; floats are cut to whole numbers.
    sim.Exec("p.me.items = ['x', 2**40, 7.9, True, None]");
    EXPECT_EQ(XPLMGetDatavi(ref, ints, 0, 5), 5);
    EXPECT_EQ(std::vector<int>(ints, ints + 6), (std::vector<int>{-1, -1, 7, 1, -1, 77}));
    float floats[3] = {};
    sim.Exec("p.me.items = [0.5, 3, 'x']");
    EXPECT_EQ(XPLMGetDatavf(ref, floats, 0, 3), 3);
    EXPECT_EQ(std::vector<float>(floats, floats + 3), (std::vector<float>{0.5f, 3.0f, -1.0f}));
    // A number too large for any float reads -1 and leaves nothing for the next Python call to trip on.
    sim.Exec("p.me.items = [10**400, 1.5]");
    EXPECT_EQ(XPLMGetDatavf(ref, floats, 0, 2), 2);
    EXPECT_EQ(std::vector<float>(floats, floats + 2), (std::vector<float>{-1.0f, 1.5f}));
    ASSERT_EQ(PyErr_Occurred(), nullptr);
    EXPECT_EQ(sim.Eval("len(p.calls) > 0"), "True");

    // Text: its bytes and a zero byte, cut to max when longer; bytes objects too.
    char bytes[8];
    auto readBytes = [&](const std::string& items, int max) {
        std::memset(bytes, 'x', sizeof bytes);
        sim.Exec("p.me.items = " + items);
        XPLMGetDatab(ref, bytes, 0, max);
        return std::string(bytes, sizeof bytes);
    };
    EXPECT_EQ(readBytes("None", 8), std::string("abc\0xxxx", 8));
    EXPECT_EQ(readBytes("['abcdefgh']", 4), "abcdxxxx");
    EXPECT_EQ(readBytes("[b'\\xff\\x01']", 8), std::string("\xff\x01\0xxxxx", 8));
    EXPECT_EQ(readBytes("['\\u00e9\\udcff']", 8), std::string("\xc3\xa9\xff\0xxxx", 8));
    // Numbers: one byte each (low 8 bits), 0xFF past the list's end; an empty list writes nothing.
    EXPECT_EQ(readBytes("[72, 300, -2]", 5), "H,\xfe\xff\xffxxx");
    EXPECT_EQ(readBytes("[]", 8), "xxxxxxxx");
}

TEST_F(AccessorTest, WritersGetAListEvenForANullBuffer) {
    XPLMDataRef ref = Publish("test/all");
    XPLMSetDatavi(ref, nullptr, 0, 3);
    XPLMSetDatavf(ref, nullptr, 1, 2);
    XPLMSetDatab(ref, nullptr, 0, 4);
    EXPECT_EQ(Calls(), "[('setvi', 22, [], 0, 3), ('setvf', 22, [], 1, 2), ('setb', 22, [], 0, 4)]");
}

TEST_F(AccessorTest, OneMethodServesTwoAccessorsAndBothTablesGoWhenTheyAreWithdrawn) {
    sim.Exec("a = p.me.publish('test/a', 1, 2)\nb = p.me.publish('test/b', 3, 4)");
    XPLMDataRef a = XPLMFindDataRef("test/a");
    XPLMDataRef b = XPLMFindDataRef("test/b");
    EXPECT_EQ(XPLMGetDatai(a), 7);
    EXPECT_EQ(XPLMGetDatai(b), 7);
    XPLMSetDatai(b, 8);
    EXPECT_EQ(Calls(), "[('geti', 1), ('geti', 3), ('seti', 4, 8)]");

    std::vector<std::weak_ptr<AccessorTable>> tables;
    for (CallbackKind side : {CallbackKind::GetDatai, CallbackKind::SetDatab})
        for (const CallbackEntry& entry : registry->FindScript(publisher)->List(side)) tables.push_back(entry.table);
    ASSERT_EQ(tables.size(), 4u);

    // Another script cannot withdraw them.
    sim.Exec("XPLMUnregisterDataAccessor(s.me, a)");
    EXPECT_EQ(sim.Host().CountCalls("XPLMUnregisterDataAccessor"), 0);
    EXPECT_EQ(XPLMGetDatai(a), 8);

    host::Accessors stale = host::FindDataRefRecord("test/a")->accessors;
    sim.Exec("XPLMUnregisterDataAccessor(p.me, a)\nXPLMUnregisterDataAccessor(p.me, b)");
    EXPECT_EQ(sim.Host().CountCalls("XPLMUnregisterDataAccessor"), 2);
    for (const auto& table : tables) EXPECT_TRUE(table.expired());
    for (const auto& list : registry->FindScript(publisher)->entries) EXPECT_TRUE(list.empty());
    EXPECT_EQ(XPLMGetDatai(a), 0);
    // A host that still called with the freed table would be answered without touching it.
    EXPECT_EQ(stale.getInt(stale.readRefcon), 0);
    int ints[1] = {5};
    EXPECT_EQ(stale.getInts(stale.readRefcon, ints, 0, 1), 0);
    EXPECT_EQ(ints[0], 5);
}

TEST_F(AccessorTest, ANameThatExistsStaysWithItsOwner) {
    XPLMDataRef owned = Publish("test/owned");
    XPLMDataRef zulu = XPLMFindDataRef("sim/time/zulu_time_sec");
    sim.Exec("XPLMShareData(s.me, 'test/shared', xplmType_Int, s.me.geti, 0)");
    // Another script's accessor, the simulator's own name and shared data are all refused.
    EXPECT_EQ(sim.Eval("XPLMRegisterDataAccessor(s.me, 'test/owned', p.ALL, 1, *[s.me.geti] * 12, 1, 2)"), "None");
    EXPECT_EQ(sim.Eval("p.me.publish('sim/time/zulu_time_sec')"), "None");
    EXPECT_EQ(sim.Eval("p.me.publish('test/shared')"), "None");
    EXPECT_EQ(CountOccurrences(sim.Host().Log(), "is already registered"), 3) << sim.Host().Log();
    EXPECT_EQ(registry->FindScript(publisher)->List(CallbackKind::GetDatai).size(), 1u);
    EXPECT_EQ(XPLMGetDatai(owned), 7);
    EXPECT_EQ(XPLMGetDataf(zulu), 43200.0f);
    EXPECT_EQ(sim.Eval("s.calls"), "[]");

    // Nobody withdraws what is not theirs: not through the binding, and the host keeps
    // the simulator's own reference whoever asks.
    sim.Host().ClearCalls();
    sim.Exec("XPLMUnregisterDataAccessor(s.me, XPLMFindDataRef('test/owned'))\n"
             "XPLMUnregisterDataAccessor(p.me, XPLMFindDataRef('sim/time/zulu_time_sec'))");
    EXPECT_EQ(sim.Host().CountCalls("XPLMUnregisterDataAccessor"), 0);
    XPLMUnregisterDataAccessor(zulu);
    EXPECT_EQ(XPLMFindDataRef("sim/time/zulu_time_sec"), zulu);
    EXPECT_EQ(XPLMGetDataf(zulu), 43200.0f);
    EXPECT_EQ(XPLMGetDatai(owned), 7);

    // Once its publisher withdrew it, the name is free again under its old handle.
    sim.Exec("XPLMUnregisterDataAccessor(p.me, XPLMFindDataRef('test/owned'))");
    EXPECT_EQ(sim.Eval("XPLMRegisterDataAccessor(s.me, 'test/owned', p.ALL, 1, *[s.me.geti] * 12, 1, 2)"),
              std::to_string(reinterpret_cast<std::uintptr_t>(owned)));
    EXPECT_EQ(XPLMGetDatai(owned), 99);
    EXPECT_EQ(sim.Eval("s.calls"), "[('stranger', 1)]");
}

TEST_F(AccessorTest, EntryWithoutACallableIsLoggedAndAnswersOne) {
    auto table = std::make_shared<AccessorTable>();
    CallbackEntry entry;
    entry.table = table;
    registry->AddEntry(CallbackKind::GetDatad, publisher, std::move(entry));
    EXPECT_EQ(dispatch::GetDatad(table.get()), 1.0);
    EXPECT_EQ(CountOccurrences(sim.LogFile(), "Cannot find method UserGetDatad_Callback\n"), 1);
}

TEST_F(AccessorTest, StopWithdrawsWhatTheScriptLeftAndLaterCallsAnswerZero) {
    XPLMDataRef ref = Publish("test/left");
    host::Accessors stale = host::FindDataRefRecord("test/left")->accessors;
    StopPython(0);
    EXPECT_EQ(sim.Host().CountCalls("XPLMUnregisterDataAccessor"), 1);
    EXPECT_NE(sim.LogFile().find("'KV_Publisher' left 1 host registration(s) behind at stop"), std::string::npos);
    EXPECT_EQ(XPLMGetDatai(ref), 0);
    EXPECT_EQ(stale.getDouble(stale.readRefcon), 0.0);
    stale.setFloats(stale.writeRefcon, nullptr, 0, 2);
}

}  // namespace
}  // namespace korvane
