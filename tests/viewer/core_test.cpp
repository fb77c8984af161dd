// The viewer's state, simple properties, persistence, life cycle and its COM object.
#include <fstream>
#include <set>
#include <sstream>

#include "com/dispatch.h"
#include "com/typelib.h"
#include "com/viewer_object.h"
#include "support/test_env.h"
#include "viewer/viewer_fixture.h"

namespace viewtest {
namespace {

class CoreTest : public ViewerTest {};

// The persisted values of a viewer, by the bag's names.
std::map<std::string, std::string> bag_lines(const std::string& path) {
    std::ifstream in(path);
    std::map<std::string, std::string> out;
    std::string line;
    while (std::getline(in, line)) {
        size_t eq = line.find('=');
        if (line.empty() || line[0] == '#' || eq == std::string::npos) continue;
        out[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return out;
}

std::vector<std::string> bag_names(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> out;
    std::string line;
    while (std::getline(in, line))
        if (!line.empty() && line[0] != '#') out.push_back(line.substr(0, line.find('=')));
    return out;
}

ComPtr<IPropertyBag> open_bag(const std::string& path) {
    ComPtr<IPropertyBag> bag;
    EXPECT_EQ(ole::CreateFilePropertyBag(path, bag.put()), S_OK);
    return bag;
}

TEST_F(CoreTest, NewInstanceDefaults) {
    LumViewer& v = make(320, 240);
    EXPECT_TRUE(v.get_ScrollBars());
    EXPECT_TRUE(v.get_EnableMenu());
    EXPECT_DOUBLE_EQ(v.get_Zoom(), 1.0);
    EXPECT_EQ(v.get_MouseMode(), 2);
    EXPECT_EQ(v.get_ZoomStep(), 10);
    EXPECT_EQ(v.get_ScrollSmallChange(), 1);
    EXPECT_EQ(v.get_ScrollLargeChange(), 50);
    EXPECT_EQ(v.get_PdfDpiRendering(), 110);
    EXPECT_EQ(v.get_ZoomMode(), 1);
    EXPECT_EQ(v.get_RectBorderStyle(), 1);
    EXPECT_EQ(v.get_RectDrawMode(), 13);
    EXPECT_TRUE(v.get_Enabled());
    EXPECT_TRUE(v.get_EnableMouseWheel());
    EXPECT_EQ(v.get_ImageAlignment(), 2);
    EXPECT_TRUE(v.get_ScrollOptimization());
    EXPECT_EQ(v.get_ViewerQuality(), 4);
    EXPECT_FALSE(v.get_ViewerQualityAuto());
    EXPECT_FALSE(v.get_ViewerDrop());
    EXPECT_EQ(v.get_BackColor(), 0);
    EXPECT_EQ(v.get_BackStyle(), 1);
    EXPECT_EQ(v.GetNativeImage(), 0);
    EXPECT_DOUBLE_EQ(v.GetVersion(), 4.511);
    EXPECT_EQ(bar("HScroll").large_change, 50) << "the bars carry the changes";
    EXPECT_FALSE(visible("HScroll"));
    EXPECT_FALSE(visible("shCorner"));
}

TEST_F(CoreTest, PutsRefuseWhatTheirRulesRefuse) {
    LumViewer& v = make(320, 240);
    v.put_PdfDpiRendering(401);
    v.put_PdfDpiRendering(0);
    EXPECT_EQ(v.get_PdfDpiRendering(), 110);
    v.put_PdfDpiRendering(400);
    EXPECT_EQ(v.get_PdfDpiRendering(), 400);
    v.put_ScrollSmallChange(0);
    v.put_ScrollSmallChange(-3);
    EXPECT_EQ(v.get_ScrollSmallChange(), 1);
    v.put_ScrollSmallChange(7);
    EXPECT_EQ(bar("VScroll").small_change, 7);
    v.put_ZoomStep(0);
    EXPECT_EQ(v.get_ZoomStep(), 10);
    v.put_PdfRenderingMode(2);
    EXPECT_EQ(v.get_PdfRenderingMode(), 0);
    v.put_MouseMode(4);
    EXPECT_EQ(v.get_MouseMode(), 2);
    v.put_ImageWidth(55);
    v.put_NumPages(3);
    EXPECT_EQ(v.get_ImageWidth(), 0);
    EXPECT_EQ(v.get_NumPages(), 0);
    v.put_RectBorderStyle(99);  // stored without a range check
    EXPECT_EQ(v.get_RectBorderStyle(), 99);
}

TEST_F(CoreTest, WindowPropertiesLiveOnTheWindow) {
    LumViewer& v = make(320, 240);
    v.put_Enabled(false);
    EXPECT_FALSE(IsWindowEnabled(v.hwnd()));
    v.put_Enabled(true);
    v.put_ViewerDrop(true);
    EXPECT_EQ(win::GetWindowProperty(v.hwnd(), win::WindowProperty::OleDropMode), 1);
    v.put_BackColor(0x00FF0000);  // OLE blue
    EXPECT_EQ(v.get_BackColor(), 0x00FF0000);
    v.put_RectBorderColor(0x0000FF);
    v.put_RectBorderSize(3);
    win::ShapeStyle st;
    ASSERT_TRUE(win::GetShapeStyle(v.part("shRect"), &st));
    EXPECT_EQ(st.border_color, 0x0000FFu);
    EXPECT_EQ(st.border_width, 3);
    EXPECT_EQ(int32_t(GetDC(v.hwnd())), v.get_hdc());
}

TEST_F(CoreTest, AnimateGifAgainWhileOnStopsTheAnimation) {
    LumViewer& v = make(320, 240);
    v.put_AnimateGIF(true);
    bool enabled = true;
    v.put_AnimateGIF(true);
    ASSERT_TRUE(v.menu_state("mnstopgif", nullptr, &enabled, nullptr));
    EXPECT_FALSE(enabled);
    EXPECT_TRUE(v.get_AnimateGIF());
}

TEST_F(CoreTest, TerminateRunsOnce) {
    LumViewer& v = make(320, 240);
    int32_t users = modGdiplus::SessionUsers();
    v.Terminate();
    EXPECT_EQ(modGdiplus::SessionUsers(), users - 1);
    v.Terminate();
    EXPECT_EQ(modGdiplus::SessionUsers(), users - 1) << "the second does nothing";
}

TEST_F(CoreTest, TerminationDisposesTheDisplayCopyButNotTheHostsImage) {
    LumViewer& v = make(320, 240);
    modGdiplus::EngineStartup();  // the host keeps the engine running
    size_t before = modGdiplus::ImageCount();
    ASSERT_EQ(v.DisplayFromFile(lumtest::source_dir() + "/tests/data/tiff_multipage.tif"), 0);
    ASSERT_GT(v.get_NumPages(), 1);
    GpImage shown = GpImage(v.GetNativeImage());
    v.Rotate90();  // a page of a multipage image is rotated in a display copy
    ASSERT_NE(v.display_copy(), 0);
    v.Terminate();
    EXPECT_TRUE(modGdiplus::IsImageAlive(shown)) << "the host owns the shown image";
    EXPECT_EQ(modGdiplus::ImageCount(), before + 1) << "only the display copy went";
    modGdiplus::DisposeImage(shown);
    modGdiplus::EngineShutdown();
}

TEST_F(CoreTest, PropertyBagRoundTrip) {
    lumtest::TempDir dir;
    std::string path = dir.file("viewer.bag");
    {
        LumViewer& v = make(320, 240);
        v.put_ZoomStep(25);
        v.put_SilentMode(true);
        v.put_ScrollLargeChange(80);
        v.put_RectDrawMode(7);
        v.put_RectBorderColor(0x00FF00);
        v.put_BackColor(0x123456);
        v.put_ViewerQualityAuto(true);
        v.put_KeepImagePosition(true);
        v.put_ZoomMode(3);
        v.put_ViewerDrop(true);
        v.put_Zoom(2.25);
        auto bag = open_bag(path);
        ASSERT_TRUE(v.WriteProperties(bag.get()));
        ASSERT_EQ(ole::SaveFilePropertyBag(bag.get()), S_OK);
    }
    LumViewer& w = make(320, 240);
    w.ReadProperties(open_bag(path).get());
    EXPECT_EQ(w.get_ZoomStep(), 25);
    EXPECT_TRUE(w.get_SilentMode());
    EXPECT_EQ(w.get_ScrollLargeChange(), 80);
    EXPECT_EQ(bar("HScroll").large_change, 80);
    EXPECT_EQ(w.get_RectDrawMode(), 7);
    EXPECT_EQ(w.get_RectBorderColor(), 0x00FF00);
    EXPECT_EQ(w.get_BackColor(), 0x123456);
    EXPECT_TRUE(w.get_ViewerQualityAuto());
    EXPECT_TRUE(w.get_KeepImagePosition());
    EXPECT_EQ(w.get_ZoomMode(), 4) << "Zoom put last switched it to custom";
    EXPECT_DOUBLE_EQ(w.get_Zoom(), 2.25);
    EXPECT_EQ(win::GetWindowProperty(w.hwnd(), win::WindowProperty::OleDropMode), 1);
}

TEST_F(CoreTest, SaveWritesEveryPropertyInTheControlsOrder) {
    lumtest::TempDir dir;
    std::string path = dir.file("order.bag");
    LumViewer& v = make(320, 240);
    auto bag = open_bag(path);
    ASSERT_TRUE(v.WriteProperties(bag.get()));
    ASSERT_EQ(ole::SaveFilePropertyBag(bag.get()), S_OK);
    std::vector<std::string> names = bag_names(path);
    ASSERT_EQ(names.size(), 43u);
    EXPECT_EQ(names[6], "ZoomStep");
    EXPECT_EQ(names[7], "ScrollSmallChange");
    EXPECT_EQ(names[21], "RectBorderStyle");
    EXPECT_EQ(names[29], "RectBorderColor");
    EXPECT_EQ(names.back(), "DisableAutoFocus");
    auto lines = bag_lines(path);
    EXPECT_EQ(lines["Zoom"], "R8:1");
    EXPECT_EQ(lines["ScrollSmallChange"], "I2:1");
    EXPECT_EQ(lines["MouseIcon"], "PIC:NONE");
}

TEST_F(CoreTest, ABagWrittenUnderADecimalCommaLocaleReadsBackAnywhere) {
    lumtest::TempDir dir;
    std::string path = dir.file("comma.bag");
    {
        lumtest::DecimalCommaLocale comma;
        ASSERT_TRUE(comma.active());
        LumViewer& v = make(320, 240);
        v.put_Zoom(2.25);
        auto bag = open_bag(path);
        ASSERT_TRUE(v.WriteProperties(bag.get()));
        ASSERT_EQ(ole::SaveFilePropertyBag(bag.get()), S_OK);
    }
    EXPECT_EQ(bag_lines(path)["Zoom"], "R8:2.25");
    LumViewer& w = make(320, 240);
    w.ReadProperties(open_bag(path).get());
    EXPECT_DOUBLE_EQ(w.get_Zoom(), 2.25);
}

TEST_F(CoreTest, AnEmptyBagGivesTheDefaults) {
    lumtest::TempDir dir;
    LumViewer& v = make(320, 240);
    v.put_ZoomStep(33);
    v.ReadProperties(open_bag(dir.file("missing.bag")).get());
    EXPECT_EQ(v.get_ZoomStep(), 33) << "a missing property keeps what it had";
    LumViewer& w = make(320, 240);
    w.ReadProperties(open_bag(dir.file("missing.bag")).get());
    EXPECT_EQ(w.get_ZoomStep(), 10);
    EXPECT_DOUBLE_EQ(w.get_Zoom(), 1.0);
    EXPECT_EQ(w.get_MouseMode(), 2);
    EXPECT_EQ(w.get_PdfDpiRendering(), 110);
    EXPECT_EQ(w.get_ViewerQuality(), 4);
    EXPECT_TRUE(w.get_ScrollOptimization());
}

TEST_F(CoreTest, DamagedBagValuesAreRefusedLikeTheirPuts) {
    lumtest::TempDir dir;
    std::string path = dir.file("damaged.bag");
    std::ofstream(path) << "Zoom=R8:-3\nZoomStep=I4:0\nPdfDpiRendering=I4:9999\n"
                           "ScrollSmallChange=I2:0\nMouseMode=I4:12\nZoomMode=I4:10\n"
                           "SilentMode=BOOL:maybe\nnot a line\nEnableMenu=BOOL:0\n";
    LumViewer& v = make(320, 240);
    v.ReadProperties(open_bag(path).get());
    EXPECT_DOUBLE_EQ(v.get_Zoom(), 1.0);
    EXPECT_EQ(v.get_ZoomStep(), 10);
    EXPECT_EQ(v.get_PdfDpiRendering(), 110);
    EXPECT_EQ(v.get_ScrollSmallChange(), 1);
    EXPECT_EQ(bar("HScroll").small_change, 1);
    EXPECT_EQ(v.get_MouseMode(), 2);
    EXPECT_EQ(v.get_ZoomMode(), 1) << "the transient mode 10 is never persisted";
    EXPECT_FALSE(v.get_EnableMenu()) << "a good line after bad ones still counts";
}

TEST_F(CoreTest, ObjectSafetyAndTheClassFactory) {
    ComPtr<IDispatch> obj;
    ASSERT_EQ(com::create_object("LumTwainPro.LumViewer", &obj), S_OK);
    ASSERT_NE(com::viewer_of(obj.get()), nullptr);
    auto safety = ComPtr<IDispatch>(obj).query<IObjectSafety>(IID_IObjectSafety);
    ASSERT_TRUE(safety);
    DWORD supported = 0, enabled = 0;
    EXPECT_EQ(safety->GetInterfaceSafetyOptions(&IID_IDispatch, &supported, &enabled), S_OK);
    EXPECT_EQ(supported, 3u);
    EXPECT_EQ(enabled, 1u);
    EXPECT_EQ(safety->GetInterfaceSafetyOptions(&IID_IPersistPropertyBag, &supported, &enabled),
              S_OK);
    EXPECT_EQ(enabled, 2u);
    EXPECT_EQ(safety->SetInterfaceSafetyOptions(&IID_IDispatch, 3, 1), S_OK);
    EXPECT_EQ(safety->SetInterfaceSafetyOptions(&IID_IDispatch, 3, 2), E_FAIL);
    EXPECT_EQ(safety->GetInterfaceSafetyOptions(&IID_IStream, &supported, &enabled), E_NOINTERFACE);
    VARIANT version;
    ASSERT_EQ(com::call(obj.get(), "GetVersion", {}, &version), S_OK);
    EXPECT_DOUBLE_EQ(version.dblVal, 4.511);
    ASSERT_EQ(com::put_property(obj.get(), "ZoomStep", VARIANT::I4(40)), S_OK);
    VARIANT step;
    ASSERT_EQ(com::call(obj.get(), "ZoomStep", {}, &step), S_OK);
    EXPECT_EQ(step.lVal, 40);
    EXPECT_EQ(com::put_property(obj.get(), "hwnd", VARIANT::I4(1)), DISP_E_MEMBERNOTFOUND)
        << "read-only";
}

// A sink that records events by DISPID and sets KeyCode to 0 in KeyUpControl.
class Sink final : public RefCounted<IDispatch> {
  public:
    std::vector<DISPID> seen;
    HRESULT QueryInterface(REFIID iid, void** out) override {
        if (!(iid == IID_IDispatch) && !(iid == IID_IUnknown)) return E_NOINTERFACE;
        *out = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    HRESULT GetIDsOfNames(const std::string*, UINT, DISPID*) override { return E_NOTIMPL; }
    const com::InterfaceInfo* GetInterfaceInfo() override { return &com::lumviewer_events(); }
    HRESULT Invoke(DISPID id, WORD, DISPPARAMS* p, VARIANT*, EXCEPINFO*, UINT*) override {
        seen.push_back(id);
        if (id == 9) {  // KeyUpControl(KeyCode, shift): rgvarg is reversed
            EXPECT_EQ(p->cArgs, 2u);
            *p->rgvarg[1].pvarVal = VARIANT::I2(0);
        }
        return S_OK;
    }
};

// A property browser: records the DISPID of each change.
class Browser final : public RefCounted<IPropertyNotifySink> {
  public:
    std::vector<DISPID> changed;
    HRESULT QueryInterface(REFIID iid, void** out) override {
        if (!(iid == IID_IPropertyNotifySink) && !(iid == IID_IUnknown)) return E_NOINTERFACE;
        *out = static_cast<IPropertyNotifySink*>(this);
        AddRef();
        return S_OK;
    }
    HRESULT OnChanged(DISPID id) override {
        changed.push_back(id);
        return S_OK;
    }
    HRESULT OnRequestEdit(DISPID) override { return S_OK; }
};

TEST_F(CoreTest, EveryPutTellsThePropertyBrowser) {
    ComPtr<IDispatch> obj;
    ASSERT_EQ(com::create_object("LumTwainPro.LumViewer", &obj), S_OK);
    auto container =
        ComPtr<IDispatch>(obj).query<IConnectionPointContainer>(IID_IConnectionPointContainer);
    ComPtr<IConnectionPoint> point;
    ASSERT_EQ(container->FindConnectionPoint(IID_IPropertyNotifySink, point.put()), S_OK);
    IID iid;
    ASSERT_EQ(point->GetConnectionInterface(&iid), S_OK);
    EXPECT_TRUE(iid == IID_IPropertyNotifySink);
    auto browser = ComPtr<Browser>::adopt(new Browser);
    DWORD cookie = 0;
    ASSERT_EQ(point->Advise(static_cast<IPropertyNotifySink*>(browser.get()), &cookie), S_OK);
    const auto& rows = com::lumviewer_interface();
    DISPID step = rows.find("ZoomStep")->dispid, dpi = rows.find("PdfDpiRendering")->dispid;
    ASSERT_EQ(com::put_property(obj.get(), "ZoomStep", VARIANT::I4(40)), S_OK);
    ASSERT_EQ(com::put_property(obj.get(), "PdfDpiRendering", VARIANT::I4(401)), S_OK)
        << "refused by its rule, but a put all the same";
    VARIANT value;
    ASSERT_EQ(com::call(obj.get(), "ZoomStep", {}, &value), S_OK);
    EXPECT_NE(com::put_property(obj.get(), "ZoomStep", VARIANT::Str("many")), S_OK);
    EXPECT_EQ(browser->changed, (std::vector<DISPID>{step, dpi}))
        << "gets and failed puts say nothing";
    EXPECT_EQ(point->Unadvise(cookie), S_OK);
    ASSERT_EQ(com::put_property(obj.get(), "ZoomStep", VARIANT::I4(20)), S_OK);
    EXPECT_EQ(browser->changed.size(), 2u);
}

TEST_F(CoreTest, EventsReachAdvisedSinksThatMayChangeTheirArguments) {
    ComPtr<IDispatch> obj;
    ASSERT_EQ(com::create_object("LumTwainPro.LumViewer", &obj), S_OK);
    LumViewer* v = com::viewer_of(obj.get());
    v->put_SilentMode(true);
    auto container =
        ComPtr<IDispatch>(obj).query<IConnectionPointContainer>(IID_IConnectionPointContainer);
    ASSERT_TRUE(container);
    ComPtr<IConnectionPoint> point;
    ASSERT_EQ(container->FindConnectionPoint(com::lumviewer_events().iid, point.put()), S_OK);
    auto sink = ComPtr<Sink>::adopt(new Sink);
    DWORD cookie = 0;
    ASSERT_EQ(point->Advise(static_cast<IDispatch*>(sink.get()), &cookie), S_OK);
    win::ResizeWindow(v->hwnd(), 300, 300);
    GpImage image = make_image(600, 600, [](int, int) { return 0xFF000000u; });
    v->DisplayFromImageRef(int32_t(image));
    double zoom = v->get_Zoom();
    win::SendKeyUp(v->hwnd(), VK_ADD, 0);
    EXPECT_DOUBLE_EQ(v->get_Zoom(), zoom) << "the sink set KeyCode to 0";
    std::set<DISPID> ids(sink->seen.begin(), sink->seen.end());
    EXPECT_TRUE(ids.count(16)) << "ResizeControl";
    EXPECT_TRUE(ids.count(2)) << "ZoomChange";
    EXPECT_TRUE(ids.count(9)) << "KeyUpControl";
    EXPECT_EQ(point->Unadvise(cookie), S_OK);
    EXPECT_EQ(point->Unadvise(cookie), CONNECT_E_NOCONNECTION);
}

// Every member of the public header has a row, and every row a member.
TEST(ViewerTypeLibrary, EveryMemberHasARowAndTheEventsAreNumberedOneToTwenty) {
    std::ifstream in(lumtest::source_dir() + "/include/lumtwainpro/viewer.h");
    std::stringstream text;
    text << in.rdbuf();
    std::string s = text.str();
    std::string public_part = s.substr(s.find("class LUM_API LumViewer {"));
    public_part = public_part.substr(0, public_part.find("// ---- For hosts and tests"));
    std::set<std::string> declared;
    std::istringstream lines(public_part);
    for (std::string line; std::getline(lines, line);) {
        size_t first = line.find_first_not_of(' ');
        if (line.rfind("    ", 0) != 0 || first == std::string::npos ||
            line.compare(first, 2, "//") == 0)
            continue;
        line = line.substr(0, line.find("//"));
        size_t paren = line.find('(');
        if (paren == std::string::npos) continue;
        size_t start = line.find_last_of(" &*", paren - 1) + 1;
        std::string name = line.substr(start, paren - start);
        for (const char* prefix : {"get_", "put_", "putref_"})
            if (name.rfind(prefix, 0) == 0) name = name.substr(std::string(prefix).size());
        if (name.rfind("operator", 0) != 0 && name.find('~') == std::string::npos)
            declared.insert(name);
    }
    for (const char* skip :
         {"LumViewer", "SetEventSink", "ReadProperties", "WriteProperties", "InitProperties"})
        declared.erase(skip);
    ASSERT_GT(declared.size(), 100u);
    std::set<std::string> rows;
    for (auto& m : com::lumviewer_interface().members) rows.insert(m.name);
    for (auto& n : declared) EXPECT_TRUE(rows.count(n)) << n << " has no row";
    for (auto& n : rows) EXPECT_TRUE(declared.count(n)) << n << " is not declared";
    const auto& events = com::lumviewer_events().members;
    ASSERT_EQ(events.size(), 20u);
    for (size_t i = 0; i < events.size(); ++i) EXPECT_EQ(events[i].dispid, DISPID(i + 1));
    EXPECT_TRUE(com::type_library().problems().empty());
}

}  // namespace
}  // namespace viewtest
