// The XPLMDataAccess module as scripts use it: the host's own data references, ones
// another plug-in publishes, argument and sequence checks made before the host hears
// anything, and shared data with its change notifications.
#include "core/core_state.h"
#include "core/python_lifecycle.h"
#include "host/host_state.h"
#include "tests/support/core_session.h"
#include "tests/support/script_host.h"

#include <XPLMDataAccess.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace korvane {
namespace {

using testing::ScriptHost;

std::string SharingScript(const std::string& label) {
    return R"(
from XPLMDataAccess import *

class Korvane:
    def XPluginStart(self):
        global me
        me = self
        self.seen = []
        return (')" + label + "', 'kv.sharer." + label + R"(', 'shares data')

    def XPluginStop(self):
        pass

    def changed(self, refcon):
        self.seen.append((refcon, XPLMGetDatai(XPLMFindDataRef('test/shared'))))

    def other(self, refcon):
        self.seen.append(('other', refcon))
)";
}

class DataAccessTest : public testing::CoreSession {
protected:
    void SetUp() override {
        testing::CoreSession::SetUp();
        sim.AddScript("KV_SharerA", SharingScript("A"));
        sim.AddScript("KV_SharerB", SharingScript("B"));
        StartPython(0);
        sim.Exec("import KV_SharerA as a, KV_SharerB as b\nfrom XPLMDataAccess import *");
        sim.Host().ClearCalls();
    }
    void TearDown() override {
        ExpectNoPendingError("a Python error was left pending");
        testing::CoreSession::TearDown();
    }

    // A data reference of the host's own, made for one test.
    host::DataRefRecord& HostRef(const std::string& name, XPLMDataTypeID type) {
        host::DataRefRecord& record = host::DataRefNamed(name);
        record.types = type;
        return record;
    }
};

TEST_F(DataAccessTest, ConstantsAndHandlesReachScriptsUnchanged) {
    EXPECT_EQ(Eval("[k for k in vars(__import__('XPLMDataAccess')) if k.startswith('xplmType_')]"),
              "['xplmType_Unknown', 'xplmType_Int', 'xplmType_Float', 'xplmType_Double', 'xplmType_FloatArray', "
              "'xplmType_IntArray', 'xplmType_Data']");
    EXPECT_EQ(Eval("(xplmType_Float, xplmType_IntArray, xplmType_Data)"), "(2, 16, 32)");
    // Handles are pointers, at their full width.
    auto address = reinterpret_cast<std::uintptr_t>(XPLMFindDataRef("sim/time/zulu_time_sec"));
    EXPECT_EQ(Eval("XPLMFindDataRef('sim/time/zulu_time_sec')"), std::to_string(address));
    EXPECT_EQ(Eval("XPLMFindDataRef('no/such/reference')"), "None");
    EXPECT_EQ(Eval("XPLMGetDataRefTypes(XPLMFindDataRef('sim/cockpit/radios/transponder_code'))"), "3");
}

TEST_F(DataAccessTest, ScalarsReadAndWriteTheHostsValues) {
    sim.Exec("lat = XPLMFindDataRef('sim/flightmodel/position/latitude')\n"
             "code = XPLMFindDataRef('sim/cockpit/radios/transponder_code')\n"
             "zulu = XPLMFindDataRef('sim/time/zulu_time_sec')");
    EXPECT_EQ(Eval("XPLMGetDatad(lat)"), "47.4502");
    EXPECT_EQ(Eval("(XPLMCanWriteDataRef(lat), XPLMCanWriteDataRef(code))"), "(0, 1)");
    EXPECT_EQ(Eval("(XPLMSetDatai(code, 7700), XPLMSetDataf(zulu, 60.5), XPLMSetDatad(lat, 1.0))"), "(1, 1, 1.0)");
    // An int that is also a float reads the same under both; a read-only value stays.
    EXPECT_EQ(XPLMGetDataf(XPLMFindDataRef("sim/cockpit/radios/transponder_code")), 7700.0f);
    EXPECT_EQ(Eval("(XPLMGetDataf(zulu), XPLMGetDatai(code), XPLMGetDatad(lat))"), "(60.5, 7700, 47.4502)");
}

TEST_F(DataAccessTest, ArgumentErrorsRaiseBeforeAnyHostCall) {
    sim.Exec("code = XPLMFindDataRef('sim/cockpit/radios/transponder_code')");
    EXPECT_EQ(Eval("XPLMSetDatai(code)"), "<error: XPLMSetDatai() takes exactly 2 arguments (1 given)>");
    EXPECT_EQ(Eval("XPLMSetDatai(code, value=1)").rfind("<error:", 0), 0u);
    EXPECT_EQ(Eval("XPLMSetDatai('code', 1)").rfind("<error: expected an integer handle", 0), 0u);
    EXPECT_EQ(HostCalls("XPLMSetDatai"), 0);
    // A made-up handle reaches the host, which answers it like a null one.
    EXPECT_EQ(Eval("(XPLMGetDatai(12345), XPLMSetDatai(12345, 1), XPLMGetDatavi(12345, None, 0, 8))"), "(0, 1, 0)");
    EXPECT_EQ(Eval("XPLMSetDatavi(code, [2 ** 40], 0, 1)"), "<error: expected sequence of integers>");
}

TEST_F(DataAccessTest, ArrayReadersAppendWhatTheHostCopied) {
    HostRef("test/floats", xplmType_FloatArray).floats = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    sim.Exec("floats = XPLMFindDataRef('test/floats')\n"
             "running = XPLMFindDataRef('sim/flightmodel/engine/ENGN_running')\n"
             "tail = XPLMFindDataRef('sim/aircraft/view/acf_tailnum')");
    // None asks for the whole array's size, whatever max says.
    EXPECT_EQ(Eval("XPLMGetDatavi(running, None, 0, 2)"), "8");
    // Items already in the list stay; the values follow them.
    EXPECT_EQ(Eval("(lambda out: (XPLMGetDatavf(floats, out, 2, 3), out))(['kept'])"), "(3, ['kept', 2.0, 3.0, 4.0])");
    EXPECT_EQ(Eval("(lambda out: (XPLMGetDatavi(running, out, 0, 100), out))([])"), "(8, [1, 1, 0, 0, 0, 0, 0, 0])");
    EXPECT_EQ(Eval("(lambda out: (XPLMGetDatab(tail, out, 0, 100), out))([])"), "(40, ['N172KV'])");
    EXPECT_EQ(Eval("(lambda out: (XPLMGetDatab(tail, out, 2, 3), out))([])"), "(3, ['72K'])");

    // A max far beyond the data costs no more than the data: the host is asked for what it holds.
    EXPECT_EQ(Eval("(lambda out: (XPLMGetDatavi(running, out, 0, 500000000), len(out)))([])"), "(8, 8)");
    EXPECT_EQ(sim.Host().Calls().back().detail, "sim/flightmodel/engine/ENGN_running offset=0 count=8");
    EXPECT_EQ(Eval("(lambda out: (XPLMGetDatab(tail, out, 0, 2000000000), out))([])"), "(40, ['N172KV'])");
    EXPECT_EQ(sim.Host().Calls().back().detail, "sim/aircraft/view/acf_tailnum offset=0 count=40");

    // A result list of the wrong kind, a negative max or offset, is refused before the host hears of it.
    sim.Host().ClearCalls();
    EXPECT_EQ(Eval("XPLMGetDatavi(running, (), 0, 8)").rfind("<error: XPLMGetDatavi() expects a list or None", 0), 0u);
    EXPECT_EQ(Eval("XPLMGetDatab(tail, [], 0, -1)"), "<error: XPLMGetDatab() max must not be negative, not -1>");
    EXPECT_EQ(Eval("XPLMGetDatavi(running, [], -1, 8)"),
              "<error: XPLMGetDatavi() offset must not be negative, not -1>");
    EXPECT_EQ(Eval("XPLMGetDatavf(floats, None, -2, 8)"),
              "<error: XPLMGetDatavf() offset must not be negative, not -2>");
    EXPECT_EQ(HostCalls("XPLMGetDatavi") + HostCalls("XPLMGetDatavf") + HostCalls("XPLMGetDatab"), 0);
}

// Another plug-in's accessors that report a small size but fill every position the
// reader allows, and claim more than that.
int EagerInts(void*, int* values, int, int max) {
    if (!values) return 2;
    for (int i = 0; i < max; ++i) values[i] = 100 + i;
    return 100;
}
int EagerBytes(void*, void* bytes, int, int max) {
    if (!bytes) return 3;
    std::memset(bytes, 'z', static_cast<std::size_t>(max));
    return max;
}

TEST_F(DataAccessTest, ReadersGiveAnotherPluginsAccessorRoomForAllItMayWrite) {
    XPLMRegisterDataAccessor("other/eager", xplmType_IntArray | xplmType_Data, 0, nullptr, nullptr, nullptr, nullptr,
                             nullptr, nullptr, EagerInts, nullptr, nullptr, nullptr, EagerBytes, nullptr, nullptr,
                             nullptr);
    sim.Exec("eager = XPLMFindDataRef('other/eager')");
    // The accessor is asked for no more than the size it reported, and may fill all of that.
    EXPECT_EQ(Eval("(lambda out: (XPLMGetDatavi(eager, out, 0, 4), out))([])"), "(100, [100, 101])");
    EXPECT_EQ(Eval("(lambda out: (XPLMGetDatab(eager, out, 0, 6), out))([])"), "(3, ['zzz'])");
    EXPECT_EQ(Eval("(lambda out: (XPLMGetDatavi(eager, out, 0, 1), out))([])"), "(100, [100])");
}

TEST_F(DataAccessTest, ArraySettersSendOnlyTheValuesGiven) {
    HostRef("test/ints", xplmType_IntArray).ints = {0, 0, 0, 0, 0};
    HostRef("test/floats", xplmType_FloatArray).floats = {0, 0};
    sim.Exec("ints = XPLMFindDataRef('test/ints')\nfloats = XPLMFindDataRef('test/floats')");
    EXPECT_EQ(Eval("XPLMSetDatavi(ints, [1, 2], 0, 10)"), "1");
    EXPECT_EQ(sim.Host().Calls().back().detail, "test/ints offset=0 count=2");
    EXPECT_EQ(Eval("XPLMSetDatavi(ints, (7, 8), 3, -4)"), "1");
    EXPECT_EQ(host::FindDataRefRecord("test/ints")->ints, (std::vector<int>{1, 2, 0, 0, 0}));
    EXPECT_EQ(Eval("(XPLMSetDatavf(floats, [0.5, 1.5, 2.5], 0, 2), XPLMGetDatavf(floats, [], 0, 9))"), "(1, 2)");
    EXPECT_EQ(host::FindDataRefRecord("test/floats")->floats, (std::vector<float>{0.5f, 1.5f}));

    sim.Host().ClearCalls();
    EXPECT_EQ(Eval("XPLMSetDatavf(floats, [1, 2.5], 0, 2)"), "<error: expected sequence of floats>");
    EXPECT_EQ(Eval("XPLMSetDatavi(ints, [1, 2.5], 0, 2)"), "<error: expected sequence of integers>");
    EXPECT_EQ(Eval("XPLMSetDatavi(ints, 5, 0, 1)"), "<error: expected sequence>");
    EXPECT_EQ(Eval("XPLMSetDatavi(ints, [1], -1, 1)"), "<error: XPLMSetDatavi() offset must not be negative, not -1>");
    EXPECT_EQ(Eval("XPLMSetDatavf(floats, [1.0], -3, 1)"),
              "<error: XPLMSetDatavf() offset must not be negative, not -3>");
    EXPECT_EQ(HostCalls("XPLMSetDatavf") + HostCalls("XPLMSetDatavi"), 0);
}

TEST_F(DataAccessTest, SettersReadNoMoreItemsThanTheCountWhateverLengthASequenceClaims) {
    HostRef("test/ints", xplmType_IntArray).ints = {0, 0, 0, 0, 0};
    HostRef("test/floats", xplmType_FloatArray).floats = {0, 0};
    HostRef("test/bytes", xplmType_Data);
    sim.Exec(R"(
class Liar(list):
    def __len__(self):
        return 2 ** 40

class Endless:
    """Claims a huge length and has an item at every index."""
    def __len__(self):
        return 2 ** 40
    def __getitem__(self, index):
        return 7

ints = XPLMFindDataRef('test/ints')
floats = XPLMFindDataRef('test/floats')
data = XPLMFindDataRef('test/bytes'))");
    EXPECT_EQ(Eval("XPLMSetDatavi(ints, Liar([1, 2]), 0, 5)"), "1");
    EXPECT_EQ(sim.Host().Calls().back().detail, "test/ints offset=0 count=2");
    EXPECT_EQ(Eval("XPLMSetDatavi(ints, Endless(), 1, 3)"), "1");
    EXPECT_EQ(host::FindDataRefRecord("test/ints")->ints, (std::vector<int>{1, 7, 7, 7, 0}));
    EXPECT_EQ(Eval("XPLMSetDatavf(floats, Liar([0.5]), 0, 2 ** 31 - 1)"), "1");
    EXPECT_EQ(sim.Host().Calls().back().detail, "test/floats offset=0 count=1");
    EXPECT_EQ(Eval("XPLMSetDatab(data, Liar([65, 66]), 0, 2)"), "1");
    EXPECT_EQ(Eval("XPLMSetDatab(data, Endless(), 0, 3)"), "1");
    const std::vector<std::uint8_t>& bytes = host::FindDataRefRecord("test/bytes")->bytes;
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "\x07\x07\x07");
    // A length that cannot even be told is the script's error, raised as it is.
    EXPECT_EQ(Eval("XPLMSetDatavi(ints, type('Huge', (list,), {'__len__': lambda self: 2 ** 70})(), 0, 1)"),
              "<error: cannot fit 'int' into an index-sized integer>");
}

TEST_F(DataAccessTest, ByteSetterTakesOneTextOrBytesAsInts) {
    HostRef("test/bytes", xplmType_Data);
    sim.Exec("ref = XPLMFindDataRef('test/bytes')");
    // Runs `call` on `size` bytes of 'q' and shows what the host then holds.
    auto bytes = [&](const std::string& call, std::size_t size = 0) {
        host::FindDataRefRecord("test/bytes")->bytes.assign(size, 'q');
        std::string result = Eval(call);
        const std::vector<std::uint8_t>& stored = host::FindDataRefRecord("test/bytes")->bytes;
        return result + ":" + std::string(stored.begin(), stored.end());
    };
    EXPECT_EQ(bytes("XPLMSetDatab(ref, ['abc'], 0, 3)"), "1:abc");
    EXPECT_EQ(bytes("XPLMSetDatab(ref, [65, 66], 0, 2)"), "1:AB");
    EXPECT_EQ(bytes("XPLMSetDatab(ref, [b'\\xff\\x00A'], 0, 3)"), std::string("1:\xff\0A", 5));
    EXPECT_EQ(bytes("XPLMSetDatab(ref, ['N1\\udcff'], 0, 3)"), "1:N1\xff");  // back to the host's own byte
    EXPECT_EQ(bytes("XPLMSetDatab(ref, [300, -1], 0, 2)"), "1:,\xff");
    EXPECT_EQ(bytes("XPLMSetDatab(ref, ['abcdef'], 0, 2)"), "1:ab");
    // Zero-padded up to the count, far past any fixed buffer, but never past what the data holds.
    EXPECT_EQ(bytes("XPLMSetDatab(ref, ['xy'], 0, 2000)", 2000), "1:xy" + std::string(1998, '\0'));
    EXPECT_EQ(bytes("XPLMSetDatab(ref, ['xy'], 0, 2000000000)", 2000), "1:xy" + std::string(1998, '\0'));
    EXPECT_EQ(sim.Host().Calls().back().detail, "test/bytes offset=0 count=2000");
    EXPECT_EQ(bytes("XPLMSetDatab(ref, ['xy'], 1990, 2000000000)", 2000),
              "1:" + std::string(1990, 'q') + "xy" + std::string(8, '\0'));
    EXPECT_EQ(bytes("XPLMSetDatab(ref, ['xyz'], 0, 2000000000)"), "1:xyz");

    sim.Host().ClearCalls();
    EXPECT_EQ(bytes("XPLMSetDatab(ref, [], 0, 1)"), "<error: expected sequence of bytes>:");
    EXPECT_EQ(bytes("XPLMSetDatab(ref, [65, 'B'], 0, 2)"), "<error: expected sequence of bytes>:");
    EXPECT_EQ(bytes("XPLMSetDatab(ref, [None], 0, 1)"), "<error: expected sequence of bytes>:");
    EXPECT_EQ(bytes("XPLMSetDatab(ref, 7, 0, 1)"), "<error: expected sequence>:");
    EXPECT_EQ(bytes("XPLMSetDatab(ref, ['a'], -1, 1)"),
              "<error: XPLMSetDatab() offset must not be negative, not -1>:");
    EXPECT_EQ(HostCalls("XPLMSetDatab"), 0);
}

TEST_F(DataAccessTest, HostArraysTakeOffsetsNearTheIntLimit) {
    HostRef("test/bytes", xplmType_Data).bytes = {'a', 'b'};
    XPLMDataRef running = XPLMFindDataRef("sim/flightmodel/engine/ENGN_running");
    XPLMDataRef throttle = XPLMFindDataRef("sim/flightmodel/engine/ENGN_thro");
    XPLMDataRef bytes = XPLMFindDataRef("test/bytes");
    std::vector<int> ints(100, 9);
    std::vector<float> floats(100, 9.0f);
    std::vector<char> chars(100, 'z');
    const int nearLimit = 2147483640;
    XPLMSetDatavi(running, ints.data(), nearLimit, 100);
    XPLMSetDatavf(throttle, floats.data(), nearLimit, 100);
    XPLMSetDatab(bytes, chars.data(), nearLimit, 100);
    EXPECT_EQ(XPLMGetDatavi(running, ints.data(), nearLimit, 100), 0);
    EXPECT_EQ(XPLMGetDatavf(throttle, floats.data(), nearLimit, 100), 0);
    EXPECT_EQ(XPLMGetDatab(bytes, chars.data(), nearLimit, 100), 0);
    // Nothing landed anywhere, and the arrays kept their sizes.
    EXPECT_EQ(host::FindDataRefRecord("sim/flightmodel/engine/ENGN_running")->ints,
              (std::vector<int>{1, 1, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(XPLMGetDatavf(throttle, nullptr, 0, 0), 8);
    EXPECT_EQ(XPLMGetDatab(bytes, nullptr, 0, 0), 2);
    // The same from a script.
    EXPECT_EQ(Eval("XPLMSetDatavi(XPLMFindDataRef('sim/flightmodel/engine/ENGN_running'), [5] * 100, 2147483640, 100)"),
              "1");
    EXPECT_EQ(XPLMGetDatavi(running, nullptr, 0, 0), 8);
}

TEST(HeadlessHostCalls, RecordKeepsTheRecentCallsAndExactCountsOverALongRun) {
    host::HeadlessHost host(std::filesystem::temp_directory_path());
    const int total = 250000;
    for (int i = 0; i < total; ++i) host::RecordCall(i % 2 ? "XPLMGetDatavi" : "XPLMSetDatavi", std::to_string(i));
    EXPECT_LE(host.Calls().size(), 100000u);
    EXPECT_GE(host.Calls().size(), 10000u);
    EXPECT_EQ(host.Calls().back().detail, std::to_string(total - 1));
    EXPECT_EQ(host.CountCalls("XPLMGetDatavi"), total / 2);
    EXPECT_EQ(host.CountCalls("XPLMSetDatavi"), total / 2);
    host.ClearCalls();
    EXPECT_TRUE(host.Calls().empty());
    EXPECT_EQ(host.CountCalls("XPLMGetDatavi"), 0);
}

TEST_F(DataAccessTest, SharedDataNotifiesEverySharerUntilItUnshares) {
    EXPECT_EQ(Eval("(XPLMShareData(a.me, 'test/shared', xplmType_Int, a.me.changed, 1),"
                   " XPLMShareData(b.me, 'test/shared', xplmType_Int, b.me.changed, 2))"),
              "(1, 1)");
    XPLMDataRef ref = XPLMFindDataRef("test/shared");
    XPLMSetDatai(ref, 5);
    sim.Exec("XPLMSetDatai(XPLMFindDataRef('test/shared'), 6)");
    EXPECT_EQ(Eval("(a.me.seen, b.me.seen)"), "([(1, 5), (1, 6)], [(2, 5), (2, 6)])");

    // Unsharing hands the host the refcon the share used, so it takes effect.
    EXPECT_EQ(Eval("XPLMUnshareData(a.me, 'test/shared', xplmType_Int, a.me.changed, 1)"), "1");
    ASSERT_EQ(host::FindDataRefRecord("test/shared")->sharers.size(), 1u);
    XPLMSetDatai(ref, 7);
    EXPECT_EQ(Eval("(len(a.me.seen), b.me.seen[-1])"), "(2, (2, 7))");
    // A share the script does not hold is not sent to the host.
    EXPECT_EQ(Eval("XPLMUnshareData(a.me, 'test/shared', xplmType_Int, a.me.changed, 1)"), "0");
    EXPECT_EQ(HostCalls("XPLMUnshareData"), 1);
}

TEST_F(DataAccessTest, OneCallableSharesSeveralNamesEachWithTheHost) {
    EXPECT_EQ(Eval("(XPLMShareData(a.me, 'test/one', xplmType_Int, a.me.other, 1),"
                   " XPLMShareData(a.me, 'test/two', xplmType_Float, a.me.other, 2))"),
              "(1, 1)");
    EXPECT_EQ(HostCalls("XPLMShareData"), 2);
    EXPECT_EQ(Eval("XPLMUnshareData(a.me, 'test/one', xplmType_Int, a.me.other, 1)"), "1");
    XPLMSetDataf(XPLMFindDataRef("test/two"), 1.5f);
    // One entry per callable: it keeps its first refcon.
    EXPECT_EQ(Eval("a.me.seen"), "[('other', 1)]");
    EXPECT_EQ(registry->KindCount(CallbackKind::SharedData), 1);
    EXPECT_EQ(Eval("XPLMUnshareData(a.me, 'test/two', xplmType_Float, a.me.other, 2)"), "1");
    EXPECT_EQ(registry->KindCount(CallbackKind::SharedData), 0);
    EXPECT_TRUE(host::FindDataRefRecord("test/two")->sharers.empty());

    // A refused share (the name holds another type) leaves nothing for the host to undo.
    EXPECT_EQ(Eval("XPLMShareData(a.me, 'test/one', xplmType_Float, a.me.other, 3)"), "0");
    EXPECT_EQ(Eval("XPLMUnshareData(a.me, 'test/one', xplmType_Float, a.me.other, 3)"), "0");
    EXPECT_EQ(HostCalls("XPLMUnshareData"), 2);
    EXPECT_EQ(registry->KindCount(CallbackKind::SharedData), 0);
}

TEST_F(DataAccessTest, StopUnsharesWhatScriptsLeftShared) {
    sim.Exec("XPLMShareData(a.me, 'test/one', xplmType_Int, a.me.other, 1)\n"
             "XPLMShareData(a.me, 'test/two', xplmType_Int, a.me.other, 1)\n"
             "XPLMShareData(b.me, 'test/one', xplmType_Int, b.me.changed, 2)");
    StopPython(0);
    EXPECT_TRUE(host::FindDataRefRecord("test/one")->sharers.empty());
    EXPECT_TRUE(host::FindDataRefRecord("test/two")->sharers.empty());
    std::string log = sim.LogFile();
    EXPECT_NE(log.find("'KV_SharerA' left 1 host registration(s) behind at stop"), std::string::npos) << log;
    EXPECT_NE(log.find("'KV_SharerB' left 1 host registration(s) behind at stop"), std::string::npos) << log;
}

}  // namespace
}  // namespace korvane
