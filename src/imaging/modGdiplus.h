// The image engine: the per-thread GDI+ session, the image table and every way of making
// an image in memory. Every image of the system is a GDI+ image handle registered here.
#pragma once

#include <string>
#include <vector>

#include "platform/gdiplus/gdiplus.h"

namespace modGdiplus {

// GDI+ status values 0..21, or the engine's own codes below.
using EngineStatus = int32_t;
constexpr EngineStatus kStatusNoMemoryStream = 22;
constexpr EngineStatus kStatusStreamDecodeError = 23;
constexpr EngineStatus kStatusPixelFormatMustBeConverted = 60;

// What an image of the engine depends on and releases when it goes. The record lives with
// its image: disposing the image (DisposeImage, or GDI+ ending) frees the DIB block, the kept
// bytes and the temporary file it owns, and removes it from the table.
struct ImageRecord {
    GpImage image = 0;
    bool keepsBytes = false;
    bool ownsDibMemory = false;
    bool ownsTempFile = false;
    HGLOBAL dibMemory = 0;
    SafeArray<uint8_t> bytes;
    std::string tempFile;
    std::string formatName;
};

// Counted per thread: the first start starts GDI+, the last shutdown disposes every image
// left in the table and stops GDI+.
bool EngineStartup();
void EngineShutdown();

// "major.minor.build.revision" of gdiplus.dll, "Unknown" without a version resource,
// "Undefined" when it could not be read; empty before the first start.
const std::string& GdiplusVersion();
// True when the numeric prefix of GdiplusVersion is below 6.
bool GdiplusBelow6();

void RegisterImage(GpImage image, const std::string& formatName);
// Disposes the image and frees what its record owns (DIB block, kept bytes, temporary file).
// Win32Error when the image headed a multipage file that could not be completed (the image
// is disposed all the same).
EngineStatus DisposeImage(GpImage image);
// True while the handle names an image of this thread.
bool IsImageAlive(GpImage image);
// True when the image's record owns DIB memory (an acquired image).
bool OwnsDibMemory(GpImage image);
void MarkTempFile(GpImage image, const std::string& path);

// The stream must stay alive as long as the image.
EngineStatus LoadImageFromStream(GpImage& image, IStream* stream, bool registerImage);
EngineStatus LoadImageFromBytes(GpImage& image, const SafeArray<uint8_t>& bytes, bool keep);
// The image reads the packed DIB in place; with takeOwnership the block is freed with it.
EngineStatus CreateImageFromDib(GpImage& image, HGLOBAL memory, bool takeOwnership);
EngineStatus CreateImageFromHBitmap(GpImage& image, HBITMAP bitmap, HPALETTE palette = 0);
EngineStatus CreateImageFromPicture(GpImage& image, IPicture* picture);
EngineStatus CreateImageFromClipboard(GpImage& image);
EngineStatus CreateBlankImage(int32_t width, int32_t height, PixelFormat format, GpImage& image);
EngineStatus GetRawFormatName(GpImage image, std::string& name);

// The calling thread's session, for tests: the live records in creation order.
std::vector<ImageRecord> ImageTable();
size_t ImageCount();
int32_t SessionUsers();
bool SessionStarted();

}  // namespace modGdiplus
