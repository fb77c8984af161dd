// The structural check of a finished document of the PDF writer, shared by the tests and the
// fuzz target: header and end marker, a cross-reference table of 20-byte entries whose
// offsets point at "N 0 obj" lines, the trailer, every stream ending where its length says,
// every reference naming an object of the table, and a page tree counting the page objects.
// Returns an empty text for a sound file, else what is wrong.
#pragma once

#include <cstdlib>
#include <map>
#include <string>

namespace pdfcheck {

// True when `what` stands at `pos` (false past the end instead of throwing).
inline bool has(const std::string& s, size_t pos, const std::string& what) {
    return pos <= s.size() && s.compare(pos, what.size(), what) == 0;
}

inline long long number_at(const std::string& s, size_t at, size_t* end = nullptr) {
    size_t i = at;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i;
    if (end) *end = i;
    return i == at ? -1 : std::atoll(s.substr(at, i - at).c_str());
}

// Offsets of objects 1..size-1 from the table, or an error.
inline std::string read_xref(const std::string& pdf, std::map<long long, size_t>* objects,
                             long long* size) {
    size_t sx = pdf.rfind("startxref\r");
    if (sx == std::string::npos) return "no startxref";
    long long at = number_at(pdf, sx + 10);
    if (at < 0 || size_t(at) >= pdf.size() || !has(pdf, size_t(at), "xref\r\n"))
        return "startxref does not point at the table";
    size_t p = size_t(at) + 6, end = 0;
    if (!has(pdf, p, "0 ")) return "no subsection 0";
    *size = number_at(pdf, p + 2, &end);
    if (*size < 1 || !has(pdf, end, "\r\n")) return "bad subsection header";
    p = end + 2;
    if (!has(pdf, p, "0000000000 65535 f\r\n")) return "bad free entry";
    for (long long n = 1; n < *size; ++n) {
        p += 20;
        if (p + 20 > pdf.size() || !has(pdf, p + 10, " 00000 n\r\n"))
            return "entry " + std::to_string(n) + " is not 20 bytes";
        long long off = number_at(pdf, p);
        std::string line = std::to_string(n) + " 0 obj\r\n";
        if (off < 0 || !has(pdf, size_t(off), line))
            return "entry " + std::to_string(n) + " does not point at its object";
        (*objects)[n] = size_t(off);
    }
    std::string trailer = "trailer\r<<\r/Size " + std::to_string(*size) +
                          "\r/Info 1 0 R\r/Root 2 0 R\r>>\r\nstartxref\r";
    if (!has(pdf, p + 20, trailer)) return "bad trailer";
    return "";
}

// The value of an object holding a single number (a stream length object).
inline long long length_object(const std::string& pdf, const std::map<long long, size_t>& objects,
                               long long n) {
    auto it = objects.find(n);
    if (it == objects.end()) return -1;
    size_t p = pdf.find("\r\n", it->second) + 2;
    return number_at(pdf, p);
}

// Checks every stream's length; `text` gets the file with stream data blanked out.
inline std::string check_streams(const std::string& pdf, const std::map<long long, size_t>& objects,
                                 std::string* text) {
    *text = pdf;
    for (size_t p = pdf.find("stream\r\n"); p != std::string::npos;
         p = pdf.find("stream\r\n", p + 1)) {
        if (p >= 3 && has(pdf, p - 3, "end")) continue;
        size_t dict = pdf.rfind("/Length ", p);
        if (dict == std::string::npos) return "stream without a length";
        size_t end = 0;
        long long length = number_at(pdf, dict + 8, &end);
        if (has(pdf, end, " 0 R")) length = length_object(pdf, objects, length);
        size_t data = p + 8;
        if (length < 0 || data + size_t(length) > pdf.size()) return "bad stream length";
        size_t after = data + size_t(length);
        if (!has(pdf, after, "endstream") && !has(pdf, after, "\rendstream"))
            return "stream at " + std::to_string(p) + " does not end at its length";
        text->replace(data, size_t(length), size_t(length), ' ');
        p = after;
    }
    return "";
}

inline std::string check_pdf(const std::string& pdf) {
    if (!has(pdf, 0, "%PDF-1.3\r\n")) return "bad header";
    if (pdf.size() < 8 || !has(pdf, pdf.size() - 8, "%%EOF\r\r\n")) return "bad end";
    std::map<long long, size_t> objects;
    long long size = 0;
    if (std::string e = read_xref(pdf, &objects, &size); !e.empty()) return e;
    if (size < 5) return "fewer than the four fixed objects";
    std::string text;
    if (std::string e = check_streams(pdf, objects, &text); !e.empty()) return e;
    // Every reference outside stream data names an object of the table.
    for (size_t p = text.find(" 0 R"); p != std::string::npos; p = text.find(" 0 R", p + 1)) {
        size_t b = p;
        while (b > 0 && text[b - 1] >= '0' && text[b - 1] <= '9') --b;
        if (b == p || (b > 0 && text[b - 1] != ' ' && text[b - 1] != '[')) continue;
        long long n = number_at(text, b);
        if (!objects.count(n)) return "reference to missing object " + std::to_string(n);
    }
    size_t pages = 0;
    for (size_t p = text.find("/Type /Page\r"); p != std::string::npos;
         p = text.find("/Type /Page\r", p + 1))
        ++pages;
    if (text.find("/Type /Pages\r/Count " + std::to_string(pages) + "\r") == std::string::npos)
        return "page tree does not count the " + std::to_string(pages) + " pages";
    return "";
}

}  // namespace pdfcheck
