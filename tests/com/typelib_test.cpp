// The type library's table: sound rows, every control member present, enumerations complete.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "com/typelib.h"
#include "support/test_env.h"

using namespace com;

namespace {

const InterfaceInfo& twain_iface() {
    return twain_interface();
}

int32_t enum_value(const char* e, const char* name) {
    const EnumInfo* info = type_library().find_enum(e);
    EXPECT_NE(info, nullptr) << e;
    if (!info) return INT32_MIN;
    for (auto& v : info->values)
        if (v.name == name) return v.value;
    ADD_FAILURE() << e << "." << name << " missing";
    return INT32_MIN;
}

// Public member functions declared in the control's header, read from the source so that a
// member added there without a row fails here.
std::set<std::string> declared_members(const std::string& header) {
    std::ifstream in(header);
    std::stringstream text;
    text << in.rdbuf();
    std::string all = text.str();
    size_t begin = all.find("class LUM_API twain {");
    size_t end = all.find("private:", begin);
    std::string body = all.substr(begin, end - begin);
    std::set<std::string> out;
    std::regex decl(R"(^\s+(?:static\s+)?(?:const\s+)?[\w:<>]+[&*]?\s+(\w+)\()");
    std::istringstream lines(body);
    for (std::string line; std::getline(lines, line);) {
        std::smatch m;
        if (std::regex_search(line, m, decl)) out.insert(m[1]);
    }
    return out;
}

}  // namespace

TEST(TypeLibrary, HeaderValues) {
    const TypeLibrary& lib = type_library();
    EXPECT_EQ(lib.name, "LumTwainPro");
    EXPECT_EQ(lib.major, 1);
    EXPECT_EQ(lib.minor, 4);
    EXPECT_EQ(lib.help, "LumTwain Pro OCX - TWAIN ActiveX");
    ASSERT_EQ(lib.coclasses.size(), 3u);
    EXPECT_EQ(lib.find_prog_id("lumtwainpro.TWAIN")->name, "twain");
    EXPECT_EQ(lib.find_prog_id("LumTwainPro.LumViewer")->dispatch->name, "_LumViewer");
    const CoclassInfo* dummy = &lib.coclasses[2];
    EXPECT_EQ(dummy->name, "dummy");
    EXPECT_FALSE(dummy->creatable);
    EXPECT_TRUE(dummy->dispatch->members.empty());
    EXPECT_EQ(lib.find_prog_id(""), nullptr) << "a class without a ProgID is not found by one";
}

TEST(TypeLibrary, RowsAreSound) {
    std::vector<std::string> problems = type_library().problems();
    for (auto& p : problems) ADD_FAILURE() << p;
}

TEST(TypeLibrary, GuidsAreDistinct) {
    const TypeLibrary& lib = type_library();
    std::set<std::string> seen{ole::GuidToString(lib.libid)};
    auto add = [&](const GUID& g, const std::string& what) {
        EXPECT_TRUE(seen.insert(ole::GuidToString(g)).second) << what;
        EXPECT_FALSE(g == GUID{}) << what;
    };
    for (auto& c : lib.coclasses) add(c.clsid, c.name);
    for (auto* i : lib.interfaces) add(i->iid, i->name);
    for (auto& e : lib.enumerations) add(e.guid, e.name);
}

TEST(TypeLibrary, EveryControlMemberHasARow) {
    std::set<std::string> declared = declared_members(lumtest::source_dir() + "/include/lumtwainpro/twain.h");
    ASSERT_GT(declared.size(), 100u) << "header not read";
    // Not automation members: the resize hook and the state accessors of tests.
    for (const char* skip : {"twain", "operator", "OnResize", "image_state", "multi_page_image",
                             "ftp_passive_mode", "filters_target", "filter_zone", "font_unit"})
        declared.erase(skip);
    std::set<std::string> rows;
    for (auto& m : twain_iface().members) rows.insert(m.name);
    for (auto& name : declared) EXPECT_TRUE(rows.count(name)) << name << " has no row";
    for (auto& name : rows) EXPECT_TRUE(declared.count(name)) << name << " is not declared";
}

TEST(TypeLibrary, LookupIsCaseInsensitive) {
    const MemberInfo* m = twain_iface().find("getstat");
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(twain_iface().find(m->dispid), m);
    EXPECT_EQ(twain_iface().find("GetStatX"), nullptr);
    EXPECT_EQ(twain_iface().find(DISPID(-12345)), nullptr);
}

TEST(TypeLibrary, TypesFollowTheSignatures) {
    const MemberInfo* range = twain_iface().find("TwainGetCapRangeNumeric");
    ASSERT_NE(range, nullptr);
    EXPECT_EQ(range->result, VarType::Boolean);
    ASSERT_EQ(range->params.size(), 4u);
    EXPECT_EQ(range->params[0].type, VarType::Long);
    EXPECT_FALSE(range->params[0].by_ref);
    EXPECT_EQ(range->params[0].enumeration, "TwainCapabilities");
    for (int i = 1; i < 4; ++i) {
        EXPECT_EQ(range->params[i].type, VarType::Double);
        EXPECT_TRUE(range->params[i].by_ref);
    }
    const MemberInfo* bytes = twain_iface().find("SaveAsByteArray");
    ASSERT_NE(bytes, nullptr);
    EXPECT_EQ(bytes->params[0].type, VarType::ByteArray);
    EXPECT_TRUE(bytes->params[0].by_ref);
    EXPECT_TRUE(bytes->params[1].by_ref);
    EXPECT_FALSE(bytes->params[2].by_ref) << "const std::string& is passed by value";
    EXPECT_EQ(bytes->result_enumeration, "LumTwainStatus");
    EXPECT_EQ(twain_iface().find("GetHorizontalResolution")->result, VarType::Single);
    EXPECT_EQ(twain_iface().find("GetPicture")->result, VarType::Picture);
    EXPECT_EQ(twain_iface().find("SaveAsStream")->params[0].type, VarType::Stream);
    EXPECT_EQ(twain_iface().find("SetNativeImage")->result, VarType::Void);
    EXPECT_EQ(twain_iface().find("TwainGetState")->result_enumeration, "TwainStatus");
    EXPECT_EQ(twain_iface().find("TwainGetPaperSize")->result_enumeration, "TwainPaperSize");
}

TEST(TypeLibrary, DefaultsAreTypedValues) {
    const MemberInfo* tiff = twain_iface().find("SaveAsTiff");
    ASSERT_NE(tiff, nullptr);
    EXPECT_FALSE(tiff->params[0].optional);
    EXPECT_TRUE(tiff->params[1].optional);
    EXPECT_EQ(tiff->params[1].default_value.vt, VT_I4);
    EXPECT_EQ(tiff->params[1].default_value.lVal, 2);
    EXPECT_EQ(tiff->params[1].enumeration, "TifCompression");
    EXPECT_EQ(tiff->params[2].default_value.lVal, 0);
    EXPECT_EQ(twain_iface().find("SaveAsJpeg")->params[1].default_value.lVal, 75);
    EXPECT_EQ(twain_iface().find("TwainSelectSource")->params[0].default_text, "0");
    const MemberInfo* info = twain_iface().find("TwainSetApplicationInfo");
    EXPECT_EQ(info->params[2].enumeration, "TwainLanguage");
    EXPECT_EQ(info->params[3].enumeration, "TwainCountry");
}

TEST(Enumerations, AllPublicOnesArePresent) {
    for (const char* name : {"LumTwainStatus",
                             "TwainStatus",
                             "TwainPixelType",
                             "TwainItemTypes",
                             "TwainCapabilities",
                             "TwainResultCode",
                             "TwainConditionCode",
                             "TwainLanguage",
                             "TwainCountry",
                             "TwainPaperSize",
                             "FontStyle",
                             "UnitMode",
                             "SmoothingMode",
                             "InterpolationMode",
                             "RotateFlipType",
                             "TifCompression",
                             "Colors",
                             "ViewerStatus",
                             "ViewerZoomMode",
                             "ViewerMouseMode",
                             "ViewerMouseWheelMode",
                             "ViewerImagePosition",
                             "ViewerBackStyleMode",
                             "ViewerPdfRenderingMode",
                             "ViewerRectBorderStyle",
                             "ViewerRectDrawMode",
                             "ViewerAppearance",
                             "ViewerBorderStyle",
                             "QualityMode",
                             "PrintQuality",
                             "PrinterStatus"})
        EXPECT_NE(type_library().find_enum(name), nullptr) << name;
}

TEST(Enumerations, Sizes) {
    auto size = [](const char* e) { return type_library().find_enum(e)->values.size(); };
    EXPECT_EQ(size("TwainCapabilities"), 125u);
    EXPECT_EQ(size("TwainLanguage"), 129u);
    EXPECT_EQ(size("TwainCountry"), 239u);
    EXPECT_EQ(size("TwainPaperSize"), 58u);
    EXPECT_EQ(size("Colors"), 146u);
    EXPECT_EQ(size("LumTwainStatus"), 39u);
    EXPECT_EQ(size("ViewerStatus"), 38u);
    EXPECT_EQ(size("ViewerRectDrawMode"), 16u);
    EXPECT_EQ(size("RotateFlipType"), 15u);
}

TEST(Enumerations, SpotValues) {
    EXPECT_EQ(enum_value("TwainCapabilities", "CAP_CUSTOMBASE"), -32768);
    EXPECT_EQ(enum_value("TwainCapabilities", "ICAP_XRESOLUTION"), 4376);
    EXPECT_EQ(enum_value("TwainCapabilities", "ICAP_AUTOMATICBORDERDETECTION"), 4432);
    EXPECT_EQ(enum_value("TwainCapabilities", "ACAP_XFERMECH"), 4610);
    EXPECT_EQ(type_library().find_enum("TwainCapabilities")->values.front().name, "CAP_AUTHOR");
    EXPECT_EQ(enum_value("TwainLanguage", "TWLG_USERLOCALE"), -1);
    EXPECT_EQ(enum_value("TwainLanguage", "TWLG_VIETNAMESE"), 113);
    EXPECT_EQ(enum_value("TwainCountry", "TWCY_ANDORRA"), 33);
    EXPECT_EQ(enum_value("TwainCountry", "TWCY_AFGHANISTAN"), 1001);
    EXPECT_EQ(enum_value("TwainPaperSize", "A4"), 1);
    EXPECT_EQ(enum_value("TwainPaperSize", "A4LETTER"), 1);
    EXPECT_EQ(enum_value("TwainPaperSize", "BUSINESSCARD"), 53);
    EXPECT_EQ(enum_value("TwainStatus", "TWAIN_ERROR"), -1);
    EXPECT_EQ(enum_value("TwainStatus", "TWAIN_TRANSFERRING"), 7);
    EXPECT_EQ(enum_value("TwainItemTypes", "TWTY_UNI512"), 14);
    EXPECT_EQ(enum_value("TwainPixelType", "TWPT_SRGB64"), 10);
    EXPECT_EQ(enum_value("TwainConditionCode", "TWCC_BADPROTOCOL"), 9);
    EXPECT_EQ(enum_value("LumTwainStatus", "InternetFtpWriteFileError"), 108);
    EXPECT_EQ(enum_value("LumTwainStatus", "PixelFormatMustBeConverted"), 60);
    EXPECT_EQ(enum_value("TifCompression", "CompressionNone"), 6);
    EXPECT_EQ(enum_value("Colors", "Black"), int32_t(0xFF000000u));
    EXPECT_EQ(enum_value("Colors", "Transparent"), 0x00FFFFFF);
    EXPECT_EQ(enum_value("Colors", "Gray"), int32_t(0xFF808080u));
    EXPECT_EQ(enum_value("Colors", "XPGoldLight"), int32_t(0xFFFCF9C3u));
    EXPECT_EQ(enum_value("RotateFlipType", "Rotate180FlipXY"), 0);
    EXPECT_EQ(enum_value("ViewerImagePosition", "ImagePositionBottomCenter"), 9);
    EXPECT_EQ(enum_value("ViewerRectDrawMode", "RectDrawModeCopypen"), 13);
    EXPECT_EQ(enum_value("ViewerStatus", "ViewerPdfUnexpectedError"), 35);
    EXPECT_EQ(enum_value("PrintQuality", "PrintQualityHightResolution"), -4);
    EXPECT_EQ(enum_value("PrinterStatus", "PrinterPdfUnexpectedError"), 35);
    EXPECT_EQ(enum_value("UnitMode", "UnitMilimeter"), 6);
    EXPECT_EQ(enum_value("FontStyle", "FontStyleStrikeout"), 8);
    EXPECT_EQ(enum_value("QualityMode", "QualityModeBicubicHQ"), 4);
}

TEST(Enumerations, NamesAreUniqueWithinEach) {
    for (auto& e : type_library().enumerations) {
        std::set<std::string> names;
        for (auto& v : e.values) EXPECT_TRUE(names.insert(v.name).second) << e.name << v.name;
    }
}
