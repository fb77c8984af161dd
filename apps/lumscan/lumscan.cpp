// lumscan: a command-line scanner over the twain control.
//
//   lumscan list
//   lumscan scan [options] OUTPUT     (OUTPUT may hold %d for the page number)
//   lumscan demo FOLDER
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "scan/twain.h"

namespace {

struct Options {
    std::string source = "Virtual Scanner";
    int resolution = 0;
    int pixel_type = -1;  // TWPT_BW 0, TWPT_GRAY 1, TWPT_RGB 2
    int bit_depth = 0;
    bool feeder = false;
    bool duplex = false;
    bool show_ui = false;
    bool multipage = false;
    int quality = 75;
    int compression = 2;  // LZW
    std::vector<std::string> outputs;  // with --multipage the first .tif collects every page
};

const char* kUsage =
    "usage: lumscan list\n"
    "       lumscan scan [options] OUTPUT...\n"
    "       lumscan demo FOLDER\n"
    "options:\n"
    "  --source NAME        source to scan from (default: Virtual Scanner)\n"
    "  --resolution DPI     scan resolution\n"
    "  --pixel-type T       bw, gray or rgb\n"
    "  --bit-depth N        bits per pixel asked of the source\n"
    "  --feeder             scan every page in the feeder\n"
    "  --duplex             scan both sides\n"
    "  --show-ui            show the source's interface\n"
    "  --multipage          write all pages into the first .tif OUTPUT as one file\n"
    "  --quality N          JPEG quality 1..100 (default 75)\n"
    "  --compression C      TIFF compression: lzw, ccitt3, ccitt4, rle, none (default lzw)\n"
    "OUTPUT's extension chooses the format: .bmp .jpg .png .gif .tif; a %d in it is\n"
    "replaced by the page number.\n";

std::string describe(int status) {
    switch (status) {
        case 0: return "ok";
        case 2: return "invalid parameter";
        case 3: return "out of memory";
        case 7: return "the file could not be written";
        case 10: return "file not found";
        case 13: return "unknown image format";
        case 30: return "the acquisition failed";
        case 31: return "the TWAIN engine is missing or too old";
        case 32: return "the TWAIN source is not in the right state";
        case 33: return "the scan was cancelled at the source";
        case 34: return "the source reported a failed transfer";
        default: return "status " + std::to_string(status);
    }
}

int fail(const std::string& message) {
    std::fprintf(stderr, "lumscan: %s\n", message.c_str());
    return 1;
}

std::string extension(const std::string& path) {
    std::string ext = std::filesystem::path(path).extension().string();
    for (char& c : ext) c = char(std::tolower((unsigned char)c));
    return ext;
}

std::string page_path(const std::string& pattern, int page) {
    size_t at = pattern.find("%d");
    if (at == std::string::npos) return pattern;
    return pattern.substr(0, at) + std::to_string(page) + pattern.substr(at + 2);
}

int save_kind(const std::string& path);

// Saves the native image by the file's extension.
int save(twain& t, const std::string& path, const Options& o) {
    switch (save_kind(path)) {
        case 0: return t.SaveAsBmp(path);
        case 1: return t.SaveAsJpeg(path, o.quality);
        case 2: return t.SaveAsPng(path);
        case 3: return t.SaveAsGif(path);
        case 4: return t.SaveAsTiff(path, o.compression);
        default: return 2;
    }
}

// 0..4 for bmp, jpg, png, gif, tif; -1 for anything else.
int save_kind(const std::string& path) {
    std::string ext = extension(path);
    if (ext == ".bmp") return 0;
    if (ext == ".jpg" || ext == ".jpeg") return 1;
    if (ext == ".png") return 2;
    if (ext == ".gif") return 3;
    if (ext == ".tif" || ext == ".tiff") return 4;
    return -1;
}

// Index of the output that collects every page with --multipage, or -1.
int multipage_output(const Options& o) {
    for (size_t i = 0; i < o.outputs.size(); ++i)
        if (save_kind(o.outputs[i]) == 4) return int(i);
    return -1;
}

bool parse_compression(const std::string& s, int* out) {
    static const std::pair<const char*, int> kNames[] = {
        {"lzw", 2}, {"ccitt3", 3}, {"ccitt4", 4}, {"rle", 5}, {"none", 6}};
    for (auto& [name, value] : kNames)
        if (s == name) return *out = value, true;
    return false;
}

bool parse_pixel_type(const std::string& s, int* out) {
    if (s == "bw") return *out = 0, true;
    if (s == "gray" || s == "grey") return *out = 1, true;
    if (s == "rgb" || s == "color") return *out = 2, true;
    return false;
}

int parse(int argc, char** argv, Options* o) {
    for (int i = 2; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) throw std::runtime_error(a + " needs a value");
            return argv[++i];
        };
        if (a == "--source") o->source = value();
        else if (a == "--resolution") o->resolution = std::atoi(value().c_str());
        else if (a == "--pixel-type") {
            if (!parse_pixel_type(value(), &o->pixel_type)) throw std::runtime_error("bad pixel type");
        } else if (a == "--bit-depth") o->bit_depth = std::atoi(value().c_str());
        else if (a == "--feeder") o->feeder = true;
        else if (a == "--duplex") o->duplex = true;
        else if (a == "--show-ui") o->show_ui = true;
        else if (a == "--multipage") o->multipage = true;
        else if (a == "--quality") o->quality = std::atoi(value().c_str());
        else if (a == "--compression") {
            if (!parse_compression(value(), &o->compression))
                throw std::runtime_error("bad compression");
        } else if (!a.empty() && a[0] == '-') throw std::runtime_error("unknown option " + a);
        else o->outputs.push_back(a);
    }
    if (o->outputs.empty()) throw std::runtime_error("no OUTPUT given");
    if (o->multipage && multipage_output(*o) < 0)
        throw std::runtime_error("--multipage needs a .tif OUTPUT");
    for (const auto& out : o->outputs)
        if (save_kind(out) < 0) throw std::runtime_error("unknown format of " + out);
    return 0;
}

int list_sources() {
    twain t;
    int32_t count = t.TwainGetSourceCount();
    if (t.GetStat() == 31) return fail(describe(31));
    for (int32_t i = 1; i <= count; ++i) std::printf("%s\n", t.TwainGetSourceName(i).c_str());
    std::string def = t.TwainGetDefaultSourceName();
    std::fprintf(stderr, "%d source(s); default: %s\n", count, def.c_str());
    return 0;
}

void negotiate(twain& t, const Options& o) {
    auto warn = [](bool ok, const char* what) {
        if (!ok) std::fprintf(stderr, "lumscan: warning: the source refused %s\n", what);
    };
    if (o.pixel_type >= 0) warn(t.TwainSetCurrentPixelType(o.pixel_type), "the pixel type");
    if (o.bit_depth > 0) warn(t.TwainSetCurrentBitDepth(o.bit_depth), "the bit depth");
    if (o.resolution > 0) warn(t.TwainSetCurrentResolution(o.resolution), "the resolution");
    if (o.feeder) {
        warn(t.TwainSelectFeeder(true), "the feeder");
        t.TwainSetAutoFeed(true);
    }
    if (o.duplex) warn(t.TwainEnableDuplex(true), "duplex");
}

// Saves page `page` (the native image, identifier `id`) to every output.
int save_page(twain& t, const Options& o, int page, int32_t id, std::vector<std::string>* written) {
    int collector = o.multipage ? multipage_output(o) : -1;
    for (size_t i = 0; i < o.outputs.size(); ++i) {
        std::string path = page_path(o.outputs[i], page);
        int status;
        if (int(i) == collector && page == 1) status = t.TiffSaveAsNativeMultiPage(path, o.compression);
        else if (int(i) == collector) status = t.TiffAddToNativeMultipage(id);
        else status = save(t, path, o);
        if (status != 0) return fail("cannot save " + path + ": " + describe(status));
        std::fprintf(stderr, " -> %s", path.c_str());
        if (int(i) != collector) written->push_back(path);
    }
    return 0;
}

// Scans one page (flatbed) or the whole feeder; returns the process exit code.
int scan(const Options& o, std::vector<std::string>* written) {
    twain t;
    if (t.TwainGetState() < 0) return fail(describe(t.GetStat()));
    t.TwainSetHideUI(!o.show_ui);
    if (!t.TwainOpenSource(o.source))
        return fail("cannot open the source \"" + o.source + "\"");
    negotiate(t, o);
    t.TwainDisableAutoSourceClose(false);  // keep the source open between pages
    bool collecting = o.multipage && multipage_output(o) >= 0;
    int page = 0, result = 0;
    while (!o.feeder || page == 0 || t.TwainIsFeederLoaded()) {
        std::fprintf(stderr, "scanning page %d ...", page + 1);
        int32_t id = t.TwainAcquireToImageID();
        if (id == 0) {
            std::fprintf(stderr, " failed\n");
            result = fail("page " + std::to_string(page + 1) + ": " + describe(t.GetStat()));
            break;
        }
        ++page;
        std::fprintf(stderr, " %dx%d at %.0f dpi", t.GetWidth(), t.GetHeight(),
                     double(t.GetHorizontalResolution()));
        result = save_page(t, o, page, id, written);
        std::fprintf(stderr, "\n");
        // The first page heads the multipage file and stays open until it is complete.
        if (!collecting || page > 1) t.CloseImage(id);
        if (result != 0 || !o.feeder) break;
    }
    if (collecting && page > 0 && t.TiffCloseNativeMultiPage() == 0 && result == 0)
        written->push_back(o.outputs[size_t(multipage_output(o))]);
    t.TwainCloseSource();
    return result;
}

int demo(const std::string& folder) {
    namespace fs = std::filesystem;
    fs::create_directories(folder);
    std::string config = folder + "/virtual-scanner.conf";
    std::ofstream(config) << "# three document pages in the virtual scanner's feeder\npages = 3\n"
                              "page_kind = document\n";
    setenv("LUMTWAIN_VIRTUAL", config.c_str(), 1);
    setenv("LUMTWAIN_SANE", "0", 0);
    std::vector<std::string> written;
    Options o;
    o.feeder = true;
    o.multipage = true;
    o.resolution = 150;
    o.quality = 85;
    o.outputs = {folder + "/scan.tif", folder + "/page-%d.jpg"};
    if (int r = scan(o, &written)) return r;
    std::printf("Scanned three pages from the virtual scanner at 150 dpi and wrote:\n");
    for (const auto& f : written)
        std::printf("  %s (%ju bytes)\n", f.c_str(), uintmax_t(fs::file_size(f)));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::string cmd = argc > 1 ? argv[1] : "";
    try {
        if (cmd == "list") return list_sources();
        if (cmd == "demo") return demo(argc > 2 ? argv[2] : "demo-output");
        if (cmd == "scan") {
            Options o;
            parse(argc, argv, &o);
            std::vector<std::string> written;
            return scan(o, &written);
        }
        std::fputs(kUsage, cmd == "help" || cmd == "--help" ? stdout : stderr);
        return cmd == "help" || cmd == "--help" ? 0 : 2;
    } catch (const ComError& e) {
        return fail(std::string(e.what()) + " (error " + std::to_string(e.number()) + ")");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "lumscan: %s\n%s", e.what(), kUsage);
        return 2;
    }
}
