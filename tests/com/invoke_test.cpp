// Invoke: argument placement, defaults, by-reference outputs, coercion and run-time errors,
// first on a probe class with rows of its own, then on the scanning control.
#include <gtest/gtest.h>

#include "com/dispatch.h"
#include "com/dispatch_traits.h"
#include "platform/win/win.h"
#include "support/test_env.h"

using namespace com;

namespace {

struct Probe {
    int32_t calls = 0;
    int32_t Add(int32_t nA, int32_t nB) { return ++calls, nA + nB; }
    std::string Join(const std::string& sA, const std::string& sB, bool bUpper) {
        return bUpper ? "UP:" + sA + sB : sA + sB;
    }
    bool Range(int32_t nCap, double& nMinValue, double& nMaxValue, double& nStepValue) {
        nMinValue = nCap - 1.5;
        nMaxValue = nCap + 1.5;
        nStepValue = 0.5;
        return true;
    }
    int32_t Bytes(SafeArray<uint8_t>& arBytes, int32_t& nBitsRead, int32_t nFill) {
        arBytes.redim(0, 3);
        for (LONG i = 0; i < 3; ++i) arBytes.at(i) = uint8_t(nFill + i);
        nBitsRead = 3;
        return 0;
    }
    void Fail(int32_t nNumber) { throw ComError(nNumber, "probe failure"); }
    int16_t Small(int16_t nValue, uint8_t nByte, float nReal) { return int16_t(nValue + nByte); }
    int32_t Crash() { return SafeArray<int32_t>().at(4); }
};

const InterfaceInfo& probe_interface() {
    static const InterfaceInfo iface{
        "_probe",
        guid_of("00000000-0000-0000-0000-00000000abcd"),
        {row<&Probe::Add>(1, "Add", "nA, nB = 10"),
         row<&Probe::Join>(2, "Join", "sA, sB = \"-\", bUpper = False"),
         row<&Probe::Range>(3, "Range", "nCap:TwainCapabilities, nMinValue, nMaxValue, nStepValue"),
         row<&Probe::Bytes>(4, "Bytes", "arBytes, nBitsRead, nFill = 7"),
         row<&Probe::Fail>(5, "Fail", "nNumber"),
         row<&Probe::Small>(6, "Small", "nValue, nByte, nReal"), row<&Probe::Crash>(7, "Crash")}};
    return iface;
}

class ProbeInvoke : public ::testing::Test {
  protected:
    // Arguments in natural order; `named` gives parameter indexes for the last ones.
    HRESULT call(DISPID id, std::vector<VARIANT> args, std::vector<DISPID> named = {}) {
        std::vector<VARIANT> rev(args.rbegin(), args.rend());
        std::vector<DISPID> ids(named.rbegin(), named.rend());
        DISPPARAMS p{rev.data(), ids.data(), UINT(rev.size()), UINT(ids.size())};
        m_excep = EXCEPINFO{};
        m_arg_err = 999;
        m_result = VARIANT{};
        return invoke_member(probe_interface(), &m_probe, id, DISPATCH_METHOD, &p, &m_result,
                             &m_excep, &m_arg_err);
    }
    Probe m_probe;
    VARIANT m_result;
    EXCEPINFO m_excep;
    UINT m_arg_err = 0;
};

}  // namespace

TEST_F(ProbeInvoke, PositionalAndDefault) {
    ASSERT_EQ(call(1, {VARIANT::I4(2), VARIANT::I4(3)}), S_OK);
    EXPECT_EQ(m_result.vt, VT_I4);
    EXPECT_EQ(m_result.lVal, 5);
    ASSERT_EQ(call(1, {VARIANT::I4(2)}), S_OK);
    EXPECT_EQ(m_result.lVal, 12);
    ASSERT_EQ(call(1, {VARIANT::I4(2), VARIANT::Missing()}), S_OK);
    EXPECT_EQ(m_result.lVal, 12);
}

TEST_F(ProbeInvoke, NamedArguments) {
    // Join("a", bUpper:=True) keeps the default of sB.
    ASSERT_EQ(call(2, {VARIANT::Str("a"), VARIANT::Bool(true)}, {2}), S_OK);
    EXPECT_EQ(m_result.bstrVal, "UP:a-");
    // Everything named, in another order.
    ASSERT_EQ(call(2, {VARIANT::Str("y"), VARIANT::Str("x")}, {1, 0}), S_OK);
    EXPECT_EQ(m_result.bstrVal, "xy");
    EXPECT_EQ(call(2, {VARIANT::Str("a"), VARIANT::Str("b")}, {0}), E_INVALIDARG)
        << "sA given twice";
    EXPECT_EQ(call(2, {VARIANT::Str("a"), VARIANT::Str("b")}, {7}), DISP_E_PARAMNOTFOUND);
}

TEST_F(ProbeInvoke, CountsAndRequiredArguments) {
    EXPECT_EQ(call(1, {}), DISP_E_PARAMNOTOPTIONAL);
    EXPECT_EQ(m_arg_err, 0u);
    EXPECT_EQ(call(1, {VARIANT::Missing()}), DISP_E_PARAMNOTOPTIONAL);
    EXPECT_EQ(call(1, {VARIANT::I4(1), VARIANT::I4(2), VARIANT::I4(3)}), DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(call(99, {}), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(m_probe.calls, 0) << "no bad call reached the member";
    DISPPARAMS broken{nullptr, nullptr, 2, 0};
    EXPECT_EQ(invoke_member(probe_interface(), &m_probe, 1, DISPATCH_METHOD, &broken, nullptr,
                            nullptr, nullptr),
              E_INVALIDARG);
    EXPECT_EQ(invoke_member(probe_interface(), &m_probe, 1, DISPATCH_PROPERTYPUT, nullptr, nullptr,
                            nullptr, nullptr),
              DISP_E_MEMBERNOTFOUND);
}

TEST_F(ProbeInvoke, ByReferenceOutputsAreWrittenBack) {
    VARIANT lo, hi, step = VARIANT::Str("ignored");
    ASSERT_EQ(
        call(3, {VARIANT::I4(10), VARIANT::ByRef(&lo), VARIANT::ByRef(&hi), VARIANT::ByRef(&step)}),
        DISP_E_EXCEPTION)
        << "a text that is no number does not fit a Double";
    EXPECT_EQ(m_excep.number, 13);
    EXPECT_EQ(m_arg_err, 3u);
    EXPECT_EQ(lo.vt, VT_EMPTY) << "outputs untouched when the call failed";
    step = VARIANT{};
    ASSERT_EQ(
        call(3, {VARIANT::I4(10), VARIANT::ByRef(&lo), VARIANT::ByRef(&hi), VARIANT::ByRef(&step)}),
        S_OK);
    EXPECT_EQ(m_result.vt, VT_BOOL);
    EXPECT_EQ(m_result.lVal, -1);
    EXPECT_EQ(lo.vt, VT_R8);
    EXPECT_DOUBLE_EQ(lo.dblVal, 8.5);
    EXPECT_DOUBLE_EQ(hi.dblVal, 11.5);
    EXPECT_DOUBLE_EQ(step.dblVal, 0.5);
    // Outputs left out are computed and dropped.
    ASSERT_EQ(call(3, {VARIANT::I4(10)}), S_OK);
}

TEST_F(ProbeInvoke, ByteArrayOutputKeepsItsBounds) {
    VARIANT bytes, count;
    ASSERT_EQ(call(4, {VARIANT::ByRef(&bytes), VARIANT::ByRef(&count)}), S_OK);
    ASSERT_EQ(bytes.vt, VT_ARRAY | VT_UI1);
    auto& a = std::get<SafeArray<uint8_t>>(bytes.parray);
    EXPECT_EQ(a.lbound(), 0);
    EXPECT_EQ(a.values(), (std::vector<uint8_t>{7, 8, 9}));
    EXPECT_EQ(count.vt, VT_I4);
    EXPECT_EQ(count.lVal, 3);
}

TEST_F(ProbeInvoke, ByValueArgumentsAreNotChanged) {
    VARIANT n = VARIANT::Str("4");
    ASSERT_EQ(call(1, {VARIANT::ByRef(&n), VARIANT::R8(2.5)}), S_OK);
    EXPECT_EQ(m_result.lVal, 6) << "2.5 rounds half to even";
    EXPECT_EQ(n.vt, VT_BSTR);
    EXPECT_EQ(n.bstrVal, "4");
}

TEST_F(ProbeInvoke, CoercionOverflowAndMismatch) {
    EXPECT_EQ(call(1, {VARIANT::R8(3e10)}), DISP_E_EXCEPTION);
    EXPECT_EQ(m_excep.number, 6);
    EXPECT_EQ(uint32_t(m_excep.scode), 0x800A0006u);
    EXPECT_EQ(m_arg_err, 0u);
    EXPECT_EQ(call(1, {VARIANT::I4(1), VARIANT::Str("twelve")}), DISP_E_EXCEPTION);
    EXPECT_EQ(m_excep.number, 13);
    EXPECT_EQ(m_arg_err, 1u);
    EXPECT_EQ(call(6, {VARIANT::I4(40000), VARIANT::I4(1), VARIANT::R4(1)}), DISP_E_EXCEPTION);
    EXPECT_EQ(m_excep.number, 6) << "Integer overflow";
    EXPECT_EQ(call(6, {VARIANT::I4(1), VARIANT::I4(256), VARIANT::R4(1)}), DISP_E_EXCEPTION);
    EXPECT_EQ(m_excep.number, 6) << "Byte overflow";
    EXPECT_EQ(call(6, {VARIANT::I4(1), VARIANT::I4(-1), VARIANT::R4(1)}), DISP_E_EXCEPTION);
    EXPECT_EQ(call(6, {VARIANT::I4(1), VARIANT::I4(1), VARIANT::R8(1e300)}), DISP_E_EXCEPTION);
    EXPECT_EQ(m_excep.number, 6) << "Single overflow";
    ASSERT_EQ(call(6, {VARIANT::Str(" 7 "), VARIANT::Str("255"), VARIANT::Str("1.5")}), S_OK);
    EXPECT_EQ(m_result.vt, VT_I2);
    EXPECT_EQ(m_result.lVal, 262);
    EXPECT_EQ(call(1, {VARIANT::Unknown(nullptr)}), DISP_E_EXCEPTION);
    EXPECT_EQ(m_excep.number, 13);
    VARIANT arr = VARIANT::FromArray(VT_I4, SafeArray<int32_t>::from({1}));
    EXPECT_EQ(call(1, {arr}), DISP_E_EXCEPTION);
    EXPECT_EQ(call(4, {VARIANT::I4(3)}), DISP_E_EXCEPTION) << "a number is no byte array";
    EXPECT_EQ(m_probe.calls, 0);
}

TEST_F(ProbeInvoke, MemberErrorsBecomeExceptionInfo) {
    m_result = VARIANT::I4(77);
    EXPECT_EQ(call(5, {VARIANT::I4(53)}), DISP_E_EXCEPTION);
    EXPECT_EQ(m_excep.number, 53);
    EXPECT_EQ(uint32_t(m_excep.scode), 0x800A0035u);
    EXPECT_EQ(m_excep.bstrDescription, "probe failure");
    EXPECT_EQ(m_excep.bstrSource, "_probe");
    // Anything else a member lets escape still ends as a run-time error, not a crash.
    EXPECT_EQ(call(7, {}), DISP_E_EXCEPTION);
    EXPECT_EQ(m_excep.number, 9);
}

// ---- The scanning control through its COM object ----------------------------------------

class TwainInvoke : public ::testing::Test {
  protected:
    void SetUp() override {
        win::SetMessageBoxEcho(false);
        ASSERT_EQ(create_object("LumTwainPro.twain", &m_obj), S_OK);
    }
    VARIANT call0(const char* name, std::vector<VARIANT> args = {}) {
        VARIANT r;
        EXPECT_EQ(com::call(m_obj.get(), name, std::move(args), &r), S_OK) << name;
        return r;
    }
    ComPtr<IDispatch> m_obj;
};

TEST_F(TwainInvoke, NewControlByNameAndDispid) {
    EXPECT_EQ(call0("GetStat").lVal, 0);
    EXPECT_EQ(call0("getnativeimage").lVal, 0);
    EXPECT_EQ(call0("GetWidth").lVal, 0);
    EXPECT_EQ(call0("GetStat").lVal, 2) << "GetWidth without an image stores InvalidParameter";
    std::string names[] = {"GETSTAT"};
    DISPID id = 0;
    ASSERT_EQ(m_obj->GetIDsOfNames(names, 1, &id), S_OK);
    VARIANT r;
    DISPPARAMS none;
    ASSERT_EQ(
        m_obj->Invoke(id, DISPATCH_METHOD | DISPATCH_PROPERTYGET, &none, &r, nullptr, nullptr),
        S_OK);
    EXPECT_EQ(r.vt, VT_I4);
    EXPECT_EQ(r.lVal, 2);
}

TEST_F(TwainInvoke, NativeImageRoundTrip) {
    call0("SetNativeImage", {VARIANT::R8(41.6)});
    EXPECT_EQ(call0("GetNativeImage").lVal, 42);
    EXPECT_EQ(call0("CloseImage", {VARIANT::I4(0)}).lVal, 0) << "CloseImage(0) keeps the status";
    VARIANT r;
    EXCEPINFO e;
    EXPECT_EQ(com::call(m_obj.get(), "SetNativeImage", {VARIANT::R8(3e10)}, &r, &e),
              DISP_E_EXCEPTION);
    EXPECT_EQ(e.number, 6);
    EXPECT_EQ(call0("GetNativeImage").lVal, 42) << "the failed call changed nothing";
}

TEST_F(TwainInvoke, NamesOfParameters) {
    std::string names[] = {"SaveAsTiff", "NCOLORDEPTH", "sFilename", "nope"};
    DISPID ids[4];
    EXPECT_EQ(m_obj->GetIDsOfNames(names, 4, ids), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(ids[1], 2);
    EXPECT_EQ(ids[2], 0);
    EXPECT_EQ(ids[3], DISPID_UNKNOWN);
    std::string unknown[] = {"NoSuchMember"};
    EXPECT_EQ(m_obj->GetIDsOfNames(unknown, 1, ids), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(ids[0], DISPID_UNKNOWN);
    EXPECT_EQ(m_obj->GetIDsOfNames(nullptr, 0, ids), E_INVALIDARG);
}

TEST_F(TwainInvoke, ByReferenceOutputsOfTheControl) {
    VARIANT bytes = VARIANT::I4(5), count = VARIANT::I4(5), r;
    EXCEPINFO e;
    EXPECT_EQ(
        com::call(m_obj.get(), "SaveAsByteArray",
                  {VARIANT::ByRef(&bytes), VARIANT::ByRef(&count), VARIANT::Str("bmp")}, &r, &e),
        DISP_E_EXCEPTION);
    EXPECT_EQ(e.number, 13) << "a number is not a byte array";
    EXPECT_EQ(bytes.lVal, 5);
    bytes = VARIANT{};
    r = call0("SaveAsByteArray",
              {VARIANT::ByRef(&bytes), VARIANT::ByRef(&count), VARIANT::Str("bmp")});
    EXPECT_EQ(bytes.vt, VT_ARRAY | VT_UI1);
    EXPECT_EQ(count.vt, VT_I4);
    VARIANT lo, hi, step;
    lumtest::ScopedEnv env("LUMTWAIN_ENGINE", "/nonexistent");
    r = call0("TwainGetCapRangeNumeric",
              {VARIANT::I4(4376), VARIANT::ByRef(&lo), VARIANT::ByRef(&hi), VARIANT::ByRef(&step)});
    EXPECT_EQ(r.vt, VT_BOOL);
    EXPECT_EQ(r.lVal, 0);
    EXPECT_EQ(lo.vt, VT_R8);
    EXPECT_EQ(step.vt, VT_R8);
    win::TakeMessageBoxes();
}

TEST_F(TwainInvoke, MissingEngineShowsTheVersionBox) {
    lumtest::ScopedEnv env("LUMTWAIN_ENGINE", "/nonexistent");
    win::TakeMessageBoxes();
    EXPECT_EQ(call0("TwainGetState").lVal, -1);
    auto boxes = win::TakeMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Bad LUMTWAIN.DLL version.");
    EXPECT_EQ(call0("GetStat").lVal, 31);
}
