// The in-process server: class factories, unloading, IObjectSafety, registration and
// controls on several threads.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <thread>

#include "com/basSafeCtl.h"
#include "com/dispatch.h"
#include "com/registry.h"
#include "platform/win/win.h"
#include "support/test_env.h"

using namespace com;

namespace {

const CLSID& twain_clsid() {
    return type_library().find_prog_id("LumTwainPro.twain")->clsid;
}

std::string read_file(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

ComPtr<IObjectSafety> safety_of_new_control() {
    ComPtr<IDispatch> obj;
    EXPECT_EQ(create_object("LumTwainPro.twain", &obj), S_OK);
    return obj.query<IObjectSafety>(IID_IObjectSafety);
}

}  // namespace

TEST(ClassFactory, ByClsidAndProgId) {
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(DllGetClassObject(twain_clsid(), IID_IClassFactory,
                                reinterpret_cast<void**>(factory.put())),
              S_OK);
    ComPtr<IUnknown> unk;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(unk.put())),
              S_OK);
    EXPECT_TRUE(unk.query<IDispatch>(IID_IDispatch));
    EXPECT_TRUE(unk.query<IObjectSafety>(IID_IObjectSafety));
    EXPECT_FALSE(unk.query<IStream>(IID_IStream));
    ComPtr<IUnknown> aggregated;
    EXPECT_EQ(factory->CreateInstance(unk.get(), IID_IUnknown,
                                      reinterpret_cast<void**>(aggregated.put())),
              CLASS_E_NOAGGREGATION);

    ComPtr<IDispatch> by_text;
    EXPECT_EQ(create_object(ole::GuidToString(twain_clsid()), &by_text), S_OK);
    EXPECT_EQ(create_object("lumtwainpro.twain", &by_text), S_OK);
    EXPECT_EQ(by_text->GetInterfaceInfo()->name, "_twain");
}

TEST(ClassFactory, ClassesThatCannotBeCreated) {
    void* out = reinterpret_cast<void*>(1);
    const TypeLibrary& lib = type_library();
    EXPECT_EQ(DllGetClassObject(lib.coclasses[2].clsid, IID_IClassFactory, &out),
              CLASS_E_CLASSNOTAVAILABLE)
        << "dummy";
    EXPECT_EQ(DllGetClassObject(GUID{}, IID_IClassFactory, &out), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(DllGetClassObject(twain_clsid(), IID_IClassFactory, nullptr), E_POINTER);
    EXPECT_EQ(DllGetClassObject(twain_clsid(), IID_IStream, &out), E_NOINTERFACE);
    ComPtr<IDispatch> obj;
    EXPECT_EQ(create_object("LumTwainPro.Nothing", &obj), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(create_object("LumTwainPro.LumViewer", &obj), S_OK) << "the viewer is creatable";
}

TEST(Server, CanUnloadOnlyWithoutObjectsOrLocks) {
    ASSERT_EQ(DllCanUnloadNow(), S_OK);
    {
        ComPtr<IDispatch> obj;
        ASSERT_EQ(create_object("LumTwainPro.twain", &obj), S_OK);
        EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
    }
    EXPECT_EQ(DllCanUnloadNow(), S_OK);
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(DllGetClassObject(twain_clsid(), IID_IClassFactory,
                                reinterpret_cast<void**>(factory.put())),
              S_OK);
    factory->LockServer(TRUE);
    factory = nullptr;
    EXPECT_EQ(DllCanUnloadNow(), S_FALSE) << "locked";
    ComPtr<IClassFactory> again;
    DllGetClassObject(twain_clsid(), IID_IClassFactory, reinterpret_cast<void**>(again.put()));
    again->LockServer(FALSE);
    again->LockServer(FALSE);  // unbalanced: ignored
    again = nullptr;
    EXPECT_EQ(DllCanUnloadNow(), S_OK);
}

TEST(ObjectSafety, MarksAreSet) {
    EXPECT_TRUE(basSafeCtl::IsSafeForScripting());
    EXPECT_TRUE(basSafeCtl::IsSafeForInitializing());
}

TEST(ObjectSafety, GetOptions) {
    ComPtr<IObjectSafety> safety = safety_of_new_control();
    ASSERT_TRUE(safety);
    DWORD supported = 0, enabled = 99;
    EXPECT_EQ(safety->GetInterfaceSafetyOptions(&IID_IDispatch, &supported, &enabled), S_OK);
    EXPECT_EQ(supported, 3u);
    EXPECT_EQ(enabled, 1u);
    for (const IID* persist :
         {&IID_IPersistStorage, &IID_IPersistStream, &IID_IPersistPropertyBag}) {
        enabled = 99;
        EXPECT_EQ(safety->GetInterfaceSafetyOptions(persist, &supported, &enabled), S_OK);
        EXPECT_EQ(enabled, 2u);
    }
    supported = 0;
    enabled = 99;
    EXPECT_EQ(safety->GetInterfaceSafetyOptions(nullptr, &supported, &enabled), S_OK);
    EXPECT_EQ(supported, 3u);
    EXPECT_EQ(enabled, 99u) << "null interface: nothing else happens";
    EXPECT_EQ(safety->GetInterfaceSafetyOptions(&IID_IStream, &supported, &enabled), E_NOINTERFACE);
    EXPECT_EQ(uint32_t(E_NOINTERFACE), 0x80004002u);
    EXPECT_EQ(safety->GetInterfaceSafetyOptions(&IID_IDispatch, nullptr, &enabled), E_POINTER);
}

TEST(ObjectSafety, SetOptions) {
    ComPtr<IObjectSafety> safety = safety_of_new_control();
    ASSERT_TRUE(safety);
    EXPECT_EQ(safety->SetInterfaceSafetyOptions(&IID_IDispatch, 1, 1), S_OK);
    EXPECT_EQ(safety->SetInterfaceSafetyOptions(&IID_IDispatch, 3, 1), S_OK);
    EXPECT_EQ(safety->SetInterfaceSafetyOptions(&IID_IDispatch, 3, 3), E_FAIL);
    EXPECT_EQ(uint32_t(E_FAIL), 0x80004005u);
    EXPECT_EQ(safety->SetInterfaceSafetyOptions(&IID_IDispatch, 2, 2), E_FAIL);
    EXPECT_EQ(safety->SetInterfaceSafetyOptions(&IID_IDispatch, 0, 0), E_FAIL);
    EXPECT_EQ(safety->SetInterfaceSafetyOptions(&IID_IPersistPropertyBag, 2, 2), S_OK);
    EXPECT_EQ(safety->SetInterfaceSafetyOptions(&IID_IPersistStream, 3, 2), S_OK);
    EXPECT_EQ(safety->SetInterfaceSafetyOptions(&IID_IPersistStorage, 1, 1), E_FAIL);
    EXPECT_EQ(safety->SetInterfaceSafetyOptions(&IID_IStream, 1, 1), E_NOINTERFACE);
    EXPECT_EQ(safety->SetInterfaceSafetyOptions(nullptr, 3, 3), S_OK);
}

class Registration : public ::testing::Test {
  protected:
    lumtest::TempDir m_dir;
    std::string m_file = m_dir.file("sub/registry.ini");
    lumtest::ScopedEnv m_env{"LUMTWAIN_REGISTRY", m_file};
};

TEST_F(Registration, RoundTripKeepsOtherEntries) {
    EXPECT_EQ(registry_path(), m_file);
    EXPECT_EQ(DllUnregisterServer(), S_OK) << "nothing registered yet";
    ASSERT_EQ(DllRegisterServer(), S_OK);
    std::string text = read_file(m_file);
    std::string clsid = ole::GuidToString(twain_clsid());
    EXPECT_NE(text.find("[CLSID\\" + clsid + "]"), std::string::npos) << text;
    EXPECT_NE(text.find("[ProgID\\LumTwainPro.twain]\nCLSID=" + clsid), std::string::npos);
    EXPECT_NE(text.find("InprocServer32=" + library_path()), std::string::npos);
    EXPECT_EQ(library_path().front(), '/') << "the module holding the server, by absolute path";
    EXPECT_TRUE(std::ifstream(library_path()).good());
    EXPECT_NE(text.find("help=LumTwain Pro OCX - TWAIN ActiveX"), std::string::npos);
    EXPECT_NE(text.find("\\1.4]"), std::string::npos);
    EXPECT_EQ(text.find("dummy"), std::string::npos) << "not creatable, not registered";

    // Another server's entries survive both directions; registering twice adds nothing.
    {
        std::ofstream add(m_file, std::ios::app);
        add << "[CLSID\\{11111111-2222-3333-4444-555555555555}]\nname=other\n";
    }
    ASSERT_EQ(DllRegisterServer(), S_OK);
    text = read_file(m_file);
    EXPECT_EQ(text.find("[CLSID\\" + clsid + "]"), text.rfind("[CLSID\\" + clsid + "]"));
    ASSERT_EQ(DllUnregisterServer(), S_OK);
    text = read_file(m_file);
    EXPECT_EQ(text.find(clsid), std::string::npos);
    EXPECT_EQ(text.find("LumTwainPro"), std::string::npos);
    EXPECT_NE(text.find("[CLSID\\{11111111-2222-3333-4444-555555555555}]\nname=other"),
              std::string::npos);
}

TEST_F(Registration, NoPredictableTemporaryFileIsFollowed) {
    ASSERT_EQ(DllRegisterServer(), S_OK);
    // Whatever an attacker plants beside the file, as a link to a file of the user's, is
    // neither followed nor overwritten.
    std::string victim = m_dir.file("victim.txt");
    std::ofstream(victim) << "precious";
    for (const std::string& name :
         {m_file + ".tmp" + std::to_string(getpid()), m_file + ".tmp", m_file + "~"})
        ASSERT_EQ(symlink(victim.c_str(), name.c_str()), 0);
    ASSERT_EQ(DllUnregisterServer(), S_OK);
    EXPECT_EQ(read_file(victim), "precious");
    EXPECT_EQ(read_file(m_file).find("LumTwainPro"), std::string::npos);
}

TEST_F(Registration, UnwritableLocationFails) {
    lumtest::ScopedEnv env("LUMTWAIN_REGISTRY", "/proc/lumtwainpro/registry.ini");
    EXPECT_TRUE(FAILED(DllRegisterServer()));
}

TEST(Threads, EachThreadHasItsOwnControls) {
    win::SetMessageBoxEcho(false);
    auto work = [](int32_t image, bool* ok) {
        ComPtr<IDispatch> a, b;
        *ok = SUCCEEDED(create_object("LumTwainPro.twain", &a)) &&
              SUCCEEDED(create_object("LumTwainPro.twain", &b));
        for (int i = 0; *ok && i < 50; ++i) {
            VARIANT r;
            *ok = SUCCEEDED(call(a.get(), "SetNativeImage", {VARIANT::I4(image + i)})) &&
                  SUCCEEDED(call(b.get(), "GetWidth", {}, &r)) && r.lVal == 0 &&
                  SUCCEEDED(call(a.get(), "GetNativeImage", {}, &r)) && r.lVal == image + i &&
                  SUCCEEDED(call(b.get(), "GetStat", {}, &r)) && r.lVal == 2;
        }
    };
    bool ok1 = false, ok2 = false;
    std::thread t1(work, 1000, &ok1), t2(work, 2000, &ok2);
    t1.join();
    t2.join();
    EXPECT_TRUE(ok1);
    EXPECT_TRUE(ok2);
    EXPECT_EQ(DllCanUnloadNow(), S_OK);
}
