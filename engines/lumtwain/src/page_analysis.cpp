#include "page_analysis.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace lumtwain {
namespace {

constexpr uint8_t kInkLevel = 128;  // darker than this is ink
constexpr uint8_t kDarkLevel = 80;  // darker than this is scanner background
constexpr size_t kMaxPoints = 400000;

double to_rad(double deg) {
    return deg * std::numbers::pi / 180;
}

// Ink pixels inside `box` less a small inset, as coordinates across (a) and along (b) the
// lines of one direction.
struct Points {
    std::vector<float> a, b;
    int a_size = 0, b_size = 0;
};

Points ink_points(const GreyImage& g, const PixelBox& box, bool vertical) {
    Points p;
    const int ix = std::max(1, box.width() / 50), iy = std::max(1, box.height() / 50);
    size_t ink = 0;
    for (int y = box.top + iy; y < box.bottom - iy; ++y)
        for (int x = box.left + ix; x < box.right - ix; ++x) ink += g.at(x, y) < kInkLevel;
    const size_t step = ink / kMaxPoints + 1;
    size_t n = 0;
    for (int y = box.top + iy; y < box.bottom - iy; ++y)
        for (int x = box.left + ix; x < box.right - ix; ++x)
            if (g.at(x, y) < kInkLevel && n++ % step == 0) {
                p.a.push_back(float(vertical ? x : y));
                p.b.push_back(float(vertical ? y : x));
            }
    p.a_size = vertical ? g.width : g.height;
    p.b_size = vertical ? g.height : g.width;
    return p;
}

// The profile of u = a + b t over the points.
std::vector<int> profile(const Points& p, double t) {
    const int offset = int(std::ceil(p.b_size * std::tan(to_rad(kMaxSkewDeg + 1)))) + 2;
    std::vector<int> bins(size_t(p.a_size + 2 * offset + 2), 0);
    for (size_t i = 0; i < p.a.size(); ++i) {
        int u = int(std::lround(p.a[i] + p.b[i] * t)) + offset;
        if (u >= 0 && size_t(u) < bins.size()) ++bins[size_t(u)];
    }
    return bins;
}

// Lines seen edge on give a profile of sharp peaks: the sum of squares is highest there.
double sharpness(const Points& p, double deg) {
    double s = 0;
    for (int v : profile(p, std::tan(to_rad(deg)))) s += double(v) * v;
    return s;
}

struct Best {
    double deg = 0, score = 0;
};

Best search(const Points& p, double from, double to, double step) {
    Best best{from, -1};
    for (double d = from; d <= to + 1e-9; d += step) {
        double s = sharpness(p, d);
        if (s > best.score) best = {d, s};
    }
    return best;
}

// Coarse, then fine, then the top of the parabola through the best fine step.
Best best_angle(const Points& p) {
    Best coarse = search(p, -kMaxSkewDeg, kMaxSkewDeg, 0.25);
    const double step = 0.02;
    Best fine = search(p, coarse.deg - 0.3, coarse.deg + 0.3, step);
    double l = sharpness(p, fine.deg - step), r = sharpness(p, fine.deg + step);
    double denom = l - 2 * fine.score + r;
    if (denom < 0) fine.deg += step * 0.5 * (l - r) / denom;
    return fine;
}

template <class T>
T median(std::vector<T> v) {
    if (v.empty()) return 0;
    std::nth_element(v.begin(), v.begin() + long(v.size() / 2), v.end());
    return v[v.size() / 2];
}

// Runs of the profile above a floor: the text lines, each from its ascenders to its
// descenders.
std::vector<std::pair<int, int>> profile_lines(const std::vector<int>& prof) {
    std::vector<int> nonzero;
    for (int v : prof)
        if (v > 0) nonzero.push_back(v);
    const double floor = 0.1 * median(nonzero);
    std::vector<std::pair<int, int>> lines;  // [start, end)
    for (int u = 0; u < int(prof.size());) {
        if (prof[size_t(u)] <= floor) {
            ++u;
            continue;
        }
        int start = u;
        while (u < int(prof.size()) && prof[size_t(u)] > floor) ++u;
        lines.push_back({start, u});
    }
    return lines;
}

// Which side of the lines' x-height band holds more ink: +1 toward smaller u (ascenders
// above: upright), -1 toward larger u, 0 when the page does not tell. The lines' profiles
// are averaged, aligned on the centre of their dense rows; in Latin text the rows just above
// the band (ascenders, capitals) hold clearly more ink than those below it (descenders).
int ascender_side(const Points& p, double deg) {
    const std::vector<int> prof = profile(p, std::tan(to_rad(deg)));
    const std::vector<std::pair<int, int>> lines = profile_lines(prof);
    // The common height of the lines; slivers (rules, the edges of blocks) do not count.
    std::vector<int> heights;
    for (auto [s, e] : lines)
        if (e - s >= 4) heights.push_back(e - s);
    const double typical = median(heights);
    const int half = int(typical) + 2;
    std::vector<double> mean(size_t(2 * half + 1), 0.0);
    int used = 0;
    for (auto [s, e] : lines) {
        if (e - s < 4 || e - s < 0.6 * typical || e - s > 1.6 * typical) continue;
        int peak = *std::max_element(prof.begin() + s, prof.begin() + e);
        double mass = 0, moment = 0;
        for (int u = s; u < e; ++u)
            if (prof[size_t(u)] >= 0.5 * peak)
                mass += prof[size_t(u)], moment += u * double(prof[size_t(u)]);
        int centre = int(std::lround(moment / mass));
        for (int k = -half; k <= half; ++k) {
            int u = centre + k;
            if (u >= s && u < e) mean[size_t(k + half)] += prof[size_t(u)] / double(peak);
        }
        ++used;
    }
    if (used < 3) return 0;
    // The band's edges where the mean profile crosses 40 % of its top, between samples; the
    // ink beyond them, all the way out, is the ascenders' and the descenders'.
    const double top = *std::max_element(mean.begin(), mean.end()), cut = 0.4 * top;
    int first = 0, last = int(mean.size()) - 1;
    while (mean[size_t(first)] < cut) ++first;
    while (mean[size_t(last)] < cut) --last;
    auto crossing = [&](int inside, int outside) {
        double a = mean[size_t(inside)], b = mean[size_t(outside)];
        return inside + (outside - inside) * (a - cut) / std::max(1e-9, a - b);
    };
    const double left = first > 0 ? crossing(first, first - 1) : first;
    const double right = last + 1 < int(mean.size()) ? crossing(last, last + 1) : last;
    double above = 0, below = 0;
    for (int k = 0; k < int(mean.size()); ++k) {
        // Samples partly beyond an edge count in part.
        above += mean[size_t(k)] * std::clamp(left - (k - 0.5), 0.0, 1.0);
        below += mean[size_t(k)] * std::clamp((k + 0.5) - right, 0.0, 1.0);
    }
    if (above > 1.3 * below) return 1;
    if (below > 1.3 * above) return -1;
    return 0;
}

bool dark_row(const GreyImage& g, int y, int x0, int x1) {
    int dark = 0;
    for (int x = x0; x < x1; ++x) dark += g.at(x, y) < kDarkLevel;
    return 2 * dark >= x1 - x0;
}

bool dark_column(const GreyImage& g, int x, int y0, int y1) {
    int dark = 0;
    for (int y = y0; y < y1; ++y) dark += g.at(x, y) < kDarkLevel;
    return 2 * dark >= y1 - y0;
}

// Whether full-resolution row (or column) `i` is dark over [from, to), sampled.
bool dark_line(const DibView& d, bool row, int i, int from, int to) {
    int dark = 0, n = 0;
    for (int j = from; j < to; j += 2, ++n)
        dark += (row ? d.grey(j, i) : d.grey(i, j)) < kDarkLevel;
    return n > 0 && 2 * dark >= n;
}

// The first line from `start` towards `end` (exclusive, step ±1) that is not dark.
int first_light(const DibView& d, bool row, int start, int end, int from, int to) {
    int step = end > start ? 1 : -1;
    for (int i = start; i != end; i += step)
        if (!dark_line(d, row, i, from, to)) return i;
    return end - step;
}

}  // namespace

std::optional<PixelBox> FindPageBox(const GreyImage& g) {
    PixelBox b{0, 0, g.width, g.height};
    while (b.top < b.bottom && dark_row(g, b.top, 0, g.width)) ++b.top;
    while (b.bottom > b.top && dark_row(g, b.bottom - 1, 0, g.width)) --b.bottom;
    if (b.height() < g.height / 10 || b.height() <= 0) return std::nullopt;
    while (b.left < b.right && dark_column(g, b.left, b.top, b.bottom)) ++b.left;
    while (b.right > b.left && dark_column(g, b.right - 1, b.top, b.bottom)) --b.right;
    if (b.width() < g.width / 10 || b.width() <= 0) return std::nullopt;
    return b;
}

PixelBox RefinePageBox(const DibView& d, const GreyImage& g, const PixelBox& c) {
    const int fx = g.factor_x, fy = g.factor_y, w = d.width(), h = d.height();
    PixelBox b{0, 0, w, h};
    const int x0 = c.left * fx, x1 = std::min(w, c.right * fx);
    if (c.top > 0) b.top = first_light(d, true, std::max(0, (c.top - 1) * fy), h, x0, x1);
    if (c.bottom < g.height)
        b.bottom = first_light(d, true, std::min(h - 1, (c.bottom + 1) * fy), -1, x0, x1) + 1;
    if (c.left > 0)
        b.left = first_light(d, false, std::max(0, (c.left - 1) * fx), w, b.top, b.bottom);
    if (c.right < g.width)
        b.right =
            first_light(d, false, std::min(w - 1, (c.right + 1) * fx), -1, b.top, b.bottom) + 1;
    if (b.width() <= 0 || b.height() <= 0) return PixelBox{0, 0, w, h};
    return b;
}

void RemoveSpecks(GreyImage& g, int max_area) {
    std::vector<uint8_t> seen(g.px.size(), 0);
    std::vector<size_t> component, stack;
    for (size_t start = 0; start < g.px.size(); ++start) {
        if (seen[start] || g.px[start] >= kInkLevel) continue;
        component.clear();
        stack.assign(1, start);
        seen[start] = 1;
        while (!stack.empty()) {
            size_t i = stack.back();
            stack.pop_back();
            component.push_back(i);
            const int x = int(i % size_t(g.width)), y = int(i / size_t(g.width));
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) {
                    int nx = x + dx, ny = y + dy;
                    if (nx < 0 || ny < 0 || nx >= g.width || ny >= g.height) continue;
                    size_t j = size_t(ny) * size_t(g.width) + size_t(nx);
                    if (!seen[j] && g.px[j] < kInkLevel) seen[j] = 1, stack.push_back(j);
                }
        }
        if (int(component.size()) <= max_area)
            for (size_t i : component) g.px[i] = 255;
    }
}

GreyImage TurnGrey(const GreyImage& g, double deg, uint8_t fill) {
    GreyImage out = g;
    const double t = to_rad(deg), c = std::cos(t), s = std::sin(t);
    const double cx = g.width / 2.0, cy = g.height / 2.0;
    for (int y = 0; y < g.height; ++y)
        for (int x = 0; x < g.width; ++x) {
            const double dx = x + 0.5 - cx, dy = y + 0.5 - cy;
            int sx = int(std::floor(cx + dx * c + dy * s)),
                sy = int(std::floor(cy - dx * s + dy * c));
            bool inside = sx >= 0 && sy >= 0 && sx < g.width && sy < g.height;
            out.px[size_t(y) * size_t(g.width) + size_t(x)] = inside ? g.at(sx, sy) : fill;
        }
    return out;
}

TextDirection FindTextDirection(const GreyImage& page, const PixelBox& box, bool any_direction) {
    TextDirection out;
    // Speckles blur the line profiles: dark specks under half a millimetre go first.
    GreyImage g = page;
    const double px_per_mm = g.dpi / 25.4;
    RemoveSpecks(g, int(std::lround(0.25 * px_per_mm * px_per_mm)));
    Points across = ink_points(g, box, false);
    if (across.a.size() < 200) return out;
    Best h = best_angle(across), v;
    if (any_direction) v = best_angle(ink_points(g, box, true));
    out.found = true;
    const bool vertical = any_direction && v.score > 1.15 * h.score;
    // A vertical line skewed counter-clockwise leans to the left.
    out.skew_deg = vertical ? -v.deg : h.deg;
    if (!any_direction) return out;
    // Which way the text faces, read on the page turned straight and without its border.
    GreyImage straight = TurnGrey(g, out.skew_deg, DarkEdges(g) ? 0 : 255);
    PixelBox inner = FindPageBox(straight).value_or(PixelBox{0, 0, g.width, g.height});
    int side = ascender_side(ink_points(straight, inner, vertical), 0);
    // Vertical lines with ascenders toward larger x: the text was turned clockwise.
    if (vertical)
        out.quarter_turns = side < 0 ? 3 : side > 0 ? 1 : 0;
    else
        out.quarter_turns = side < 0 ? 2 : 0;
    return out;
}

bool DarkEdges(const GreyImage& g) {
    int dark = 0, n = 0;
    for (int x = 0; x < g.width; ++x, n += 2)
        dark += (g.at(x, 0) < kDarkLevel) + (g.at(x, g.height - 1) < kDarkLevel);
    for (int y = 0; y < g.height; ++y, n += 2)
        dark += (g.at(0, y) < kDarkLevel) + (g.at(g.width - 1, y) < kDarkLevel);
    return 2 * dark > n;
}

}  // namespace lumtwain
