#include "ui/win32/resource_images.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "ui/logic/resource_ids.h"

// The XPM sources are C arrays of strings.
#include "bitmap6036.xpm"
#include "bitmap6037.xpm"
#include "bitmap6051.xpm"
#include "icon6060.xpm"
#include "icon6061.xpm"

namespace qm::ui::win32 {
namespace {

struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;  // 0xAARRGGBB, top row first; alpha 0 is transparent
};

const char* const* SourceOf(int id) {
    switch (id) {
        case kBitmapNoAction:
            return bitmap6051;
        case kBitmapLoadMenuOnly:
            return bitmap6036;
        case kBitmapLoadModule:
            return bitmap6037;
        case kIconLarge:
            return icon6060;
        case kIconSmall:
            return icon6061;
        default:
            return nullptr;
    }
}

// Decodes the XPM subset the artwork uses: one character per pixel, "c #RRGGBB" or "c None".
Image Decode(const char* const* xpm) {
    Image image;
    int colours = 0;
    int perPixel = 0;
    if (std::sscanf(xpm[0], "%d %d %d %d", &image.width, &image.height, &colours, &perPixel) != 4 ||
        perPixel != 1 || image.width <= 0 || image.height <= 0) {
        return {};
    }
    std::map<char, std::uint32_t> palette;
    for (int i = 1; i <= colours; ++i) {
        const char* line = xpm[i];
        const char* value = std::strstr(line + 1, "c ");
        if (value == nullptr) {
            return {};
        }
        value += 2;
        std::uint32_t argb = 0;  // "None": transparent
        if (value[0] == '#') {
            argb = 0xFF000000u | static_cast<std::uint32_t>(std::strtoul(value + 1, nullptr, 16));
        }
        palette[line[0]] = argb;
    }
    image.pixels.reserve(static_cast<std::size_t>(image.width * image.height));
    for (int y = 0; y < image.height; ++y) {
        const char* row = xpm[1 + colours + y];
        for (int x = 0; x < image.width; ++x) {
            image.pixels.push_back(palette[row[x]]);
        }
    }
    return image;
}

HBITMAP MakeDib(int width, int height, std::uint32_t** bits) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* raw = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &raw, nullptr, 0);
    *bits = static_cast<std::uint32_t*>(raw);
    return bitmap;
}

}  // namespace

HBITMAP LoadResourceBitmapScaled(int id, int size) {
    const char* const* source = SourceOf(id);
    if (source == nullptr || size <= 0) {
        return nullptr;
    }
    const Image image = Decode(source);
    if (image.pixels.empty()) {
        return nullptr;
    }
    std::uint32_t* bits = nullptr;
    HBITMAP bitmap = MakeDib(size, size, &bits);
    if (bitmap == nullptr) {
        return nullptr;
    }
    // Nearest neighbour: the artwork is pixel art, and whole multiples stay crisp.
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const int sx = x * image.width / size;
            const int sy = y * image.height / size;
            bits[y * size + x] = image.pixels[static_cast<std::size_t>(sy * image.width + sx)];
        }
    }
    return bitmap;
}

HBITMAP LoadResourceBitmap(int id) {
    const char* const* source = SourceOf(id);
    return source == nullptr ? nullptr : LoadResourceBitmapScaled(id, Decode(source).width);
}

HICON LoadResourceIcon(int id) {
    const char* const* source = SourceOf(id);
    if (source == nullptr) {
        return nullptr;
    }
    const Image image = Decode(source);
    std::uint32_t* bits = nullptr;
    HBITMAP colour = MakeDib(image.width, image.height, &bits);
    if (colour == nullptr) {
        return nullptr;
    }
    std::memcpy(bits, image.pixels.data(), image.pixels.size() * sizeof(std::uint32_t));
    HBITMAP mask = CreateBitmap(image.width, image.height, 1, 1, nullptr);
    ICONINFO info{};
    info.fIcon = TRUE;
    info.hbmColor = colour;
    info.hbmMask = mask;
    HICON icon = CreateIconIndirect(&info);
    DeleteObject(colour);
    DeleteObject(mask);
    return icon;
}

}  // namespace qm::ui::win32
