// Small readers of encoded files for tests: the IFDs of a TIFF, JPEG quantisation tables.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace lumtest {

std::vector<uint8_t> read_file(const std::string& path);

// One IFD: tag -> first value (SHORT or LONG).
using TiffTags = std::map<uint16_t, uint32_t>;
// Every page of a TIFF file; empty when the header is not a TIFF's.
std::vector<TiffTags> tiff_pages(const std::vector<uint8_t>& bytes);
constexpr uint16_t kTiffCompression = 259, kTiffBitsPerSample = 258, kTiffSamplesPerPixel = 277;

// The first luminance quantisation table of a JPEG (64 values), empty when none.
std::vector<int> jpeg_luma_table(const std::vector<uint8_t>& bytes);

}  // namespace lumtest
