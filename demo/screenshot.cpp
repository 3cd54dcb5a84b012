#include "screenshot.h"

#include <cstdint>
#include <fstream>
#include <vector>

#include "handles.h"

namespace demo {

namespace {

struct Pixels {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> bgra;  // top-down rows
};

// Copies the window's box of the screen into `pixels`; false when a GDI
// object could not be made or nothing could be copied.
bool copyFromScreen(HWND window, const RECT& box, Pixels& pixels)
{
    pixels.width = box.right - box.left;
    pixels.height = box.bottom - box.top;
    if (pixels.width <= 0 || pixels.height <= 0) {
        return false;
    }
    const zelvo_common::WindowDc screen(nullptr);
    const zelvo_common::UniqueMemoryDc memory(CreateCompatibleDC(screen.get()));
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), pixels.width, -pixels.height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    const zelvo_common::UniqueBitmap bitmap(CreateDIBSection(memory.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!screen || !memory || !bitmap || bits == nullptr) {
        return false;
    }
    const zelvo_common::ObjectSelection selected(memory.get(), bitmap.get());
    // The screen holds what the client's own thread painted; PrintWindow
    // under Wine paints only the frame's background.
    const bool copied = selected && (BitBlt(memory.get(), 0, 0, pixels.width, pixels.height, screen.get(), box.left,
                                            box.top, SRCCOPY) ||
                                     PrintWindow(window, memory.get(), 0));
    const auto* start = static_cast<const uint8_t*>(bits);
    pixels.bgra.assign(start, start + static_cast<size_t>(pixels.width) * pixels.height * 4);
    return copied;
}

// Renders the window (shown for the picture if it is hidden) into memory.
bool capture(HWND window, Pixels& pixels)
{
    const bool wasVisible = IsWindowVisible(window) != FALSE;
    if (!wasVisible) {
        ShowWindow(window, SW_SHOWNA);
    }
    SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    Sleep(300);  // the client's thread paints
    RECT box;
    GetWindowRect(window, &box);
    const bool copied = copyFromScreen(window, box, pixels);
    if (!wasVisible) {
        ShowWindow(window, SW_HIDE);
    }
    return copied;
}

uint32_t crc32(const uint8_t* data, size_t size, uint32_t crc = 0)
{
    crc = ~crc;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
    }
    return ~crc;
}

void putBig32(std::vector<uint8_t>& out, uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(static_cast<uint8_t>(value >> shift));
    }
}

void putChunk(std::vector<uint8_t>& png, const char* type, const std::vector<uint8_t>& data)
{
    putBig32(png, static_cast<uint32_t>(data.size()));
    std::vector<uint8_t> typed(type, type + 4);
    typed.insert(typed.end(), data.begin(), data.end());
    png.insert(png.end(), typed.begin(), typed.end());
    putBig32(png, crc32(typed.data(), typed.size()));
}

// A zlib stream of uncompressed (stored) deflate blocks: no compressor needed.
std::vector<uint8_t> storedZlib(const std::vector<uint8_t>& raw)
{
    std::vector<uint8_t> out = {0x78, 0x01};
    uint32_t a = 1, b = 0;
    for (uint8_t byte : raw) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    for (size_t at = 0; at < raw.size() || at == 0; at += 65535) {
        const size_t length = std::min<size_t>(65535, raw.size() - at);
        out.push_back(at + length >= raw.size() ? 1 : 0);
        out.push_back(static_cast<uint8_t>(length));
        out.push_back(static_cast<uint8_t>(length >> 8));
        out.push_back(static_cast<uint8_t>(~length));
        out.push_back(static_cast<uint8_t>(~length >> 8));
        out.insert(out.end(), raw.begin() + static_cast<long>(at), raw.begin() + static_cast<long>(at + length));
        if (raw.empty()) {
            break;
        }
    }
    putBig32(out, (b << 16) | a);
    return out;
}

std::vector<uint8_t> encodePng(const Pixels& pixels)
{
    std::vector<uint8_t> raw;
    raw.reserve(static_cast<size_t>(pixels.width * 3 + 1) * pixels.height);
    for (int y = 0; y < pixels.height; ++y) {
        raw.push_back(0);  // no filter
        const uint8_t* row = &pixels.bgra[static_cast<size_t>(y) * pixels.width * 4];
        for (int x = 0; x < pixels.width; ++x) {
            raw.insert(raw.end(), {row[x * 4 + 2], row[x * 4 + 1], row[x * 4]});
        }
    }
    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    std::vector<uint8_t> header;
    putBig32(header, static_cast<uint32_t>(pixels.width));
    putBig32(header, static_cast<uint32_t>(pixels.height));
    header.insert(header.end(), {8, 2, 0, 0, 0});  // 8-bit RGB
    putChunk(png, "IHDR", header);
    putChunk(png, "IDAT", storedZlib(raw));
    putChunk(png, "IEND", {});
    return png;
}

}  // namespace

bool saveWindowPicture(HWND window, const std::string& pngPath)
{
    Pixels pixels;
    if (window == nullptr || !capture(window, pixels)) {
        return false;
    }
    const std::vector<uint8_t> png = encodePng(pixels);
    std::ofstream file(pngPath, std::ios::binary);
    file.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
    return static_cast<bool>(file);
}

}  // namespace demo
