// PDF documents: the file check and the release of an open document. Rendering pages
// through the PDF rendering library joins here.
#include <sys/stat.h>

#include "viewer/viewer_p.h"

using State = LumViewer::State;

namespace viewer {
std::string normalise_path(const std::string& path);
}

void State::ClosePdfDocument() {}

int32_t LumViewer::DisplayFromPdfFile(const std::string& sPdfFilePath, const std::string&) {
    State& s = *m;
    if (s.source_kind == 2) {
        s.ReleaseCurrentImage();
        s.ClosePdfDocument();
    }
    s.ResetDisplayState(false, false);
    std::string path = viewer::normalise_path(sPdfFilePath);
    struct stat st;
    if (path.empty() || ::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        if (!s.silent) viewer::show_error(s.window, "Can't foud " + path + " file.");
        return s.last_status = ViewerFileNotFound;
    }
    // Without the rendering library the document cannot be opened.
    if (!s.silent) viewer::show_error(s.window, "Can not open this file: " + path);
    return s.last_status = ViewerPdfCanNotOpenFile;
}
