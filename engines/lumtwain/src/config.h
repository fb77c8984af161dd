// The virtual scanner's configuration: `key = value` lines from the file named by the
// environment variable LUMTWAIN_VIRTUAL (format in engines/lumtwain/README.md).
#pragma once

#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace lumtwain {

enum class UiBehaviour { Scan, Close };
// Auto: document pages from the feeder, the gradient from the flatbed.
enum class PageKindSetting { Auto, Document, Gradient };

struct VirtualConfig {
    int pages = 10;      // sheets loaded in the feeder
    bool feeder = true;  // the device has a feeder
    bool duplex = true;  // the device has a one-pass duplex unit
    double page_width_mm = 210.0;
    double page_height_mm = 297.0;
    std::vector<std::string> files;  // pages fed from image files, in order
    std::set<int> cancel_at_pages;   // 1-based acquisition numbers
    std::set<int> fail_at_pages;
    std::set<int> jam_at_pages;
    std::set<int> blank_pages;
    int blank_every = 0;  // every Nth page is blank as well; 0 none
    PageKindSetting page_kind = PageKindSetting::Auto;
    uint32_t seed = 1;      // document pages: the same seed gives the same pages
    double skew_deg = 0;    // the sheets' turn on the glass, counter-clockwise
    int page_rotation = 0;  // 0, 90, 180, 270: the text's turn on the sheets, clockwise
    double noise = 0;       // speckles per square decimetre
    double yellowing = 0;   // 0..100 %
    int delay_ms = 0;
    UiBehaviour ui = UiBehaviour::Scan;
    int extra_sources = 0;
    double dark_border_mm = 0.0;
    double white_band_mm = 0.0;
    std::vector<int> zero_range_caps;   // capabilities answering the range 0..0 step 0
    std::vector<int> unsupported_caps;  // capabilities removed from the table
    std::string default_source;         // empty: the virtual scanner
    std::string select_source;          // answer of the headless selection dialog; "cancel"
    std::string serial_number = "VS-000001";
    std::string author;
    std::string caption;
};

struct ConfigResult {
    VirtualConfig config;
    std::vector<std::string> errors;  // "line N: ..." for each line that was ignored
};

// Never fails: a bad line is reported in `errors` and leaves its key at the default.
ConfigResult ParseVirtualConfig(std::string_view text);

// Reads LUMTWAIN_VIRTUAL. `source_text` receives what was parsed (or the reason none was), so a
// caller can tell whether the configuration changed since the last read.
ConfigResult LoadVirtualConfig(std::string* source_text);

// "A4", "Letter", "Legal", "A5" or "W x H" in millimetres; false for anything else.
bool ParsePageSize(std::string_view text, double* width_mm, double* height_mm);

}  // namespace lumtwain
