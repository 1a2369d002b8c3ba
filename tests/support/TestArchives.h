// Small ZIP archives and glyph JPEGs made on the fly for tests.
#pragma once

#include "raster/Graphics.h"
#include "raster/JPEGImage.h"
#include "render/GlyphBackground.h"

#include <zip.h>

#include "tests/support/ScratchFolder.h"

#include <filesystem>
#include <stdexcept>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

namespace glyphtint::test {

// The archive the build ships, copied into folder, so that a test that damages, replaces
// or locks its archive disturbs no other test running beside it.
inline std::string CopyOfShippedArchive(const ScratchFolder& folder)
{
    const std::filesystem::path copy = folder / "glyphtint.gfx";
    std::filesystem::copy_file(std::filesystem::path(GLYPHTINT_BIN_DIR) / "glyphtint.gfx", copy,
                               std::filesystem::copy_options::overwrite_existing);
    return copy.string();
}

// Writes a ZIP file holding the given entries, deflated, in the given order.
inline void WriteZip(const std::filesystem::path& path, const std::vector<std::pair<std::string, std::string>>& entries)
{
    int error = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (archive == nullptr) {
        throw std::runtime_error("zip_open failed");
    }
    for (const auto& [name, bytes] : entries) {
        zip_source_t* source = zip_source_buffer(archive, bytes.data(), bytes.size(), 0);
        if (source == nullptr || zip_file_add(archive, name.c_str(), source, ZIP_FL_ENC_UTF_8) < 0) {
            zip_source_free(source);
            zip_discard(archive);
            throw std::runtime_error("zip_file_add failed");
        }
    }
    // The sources point into entries, which outlive this call.
    if (zip_close(archive) < 0) {
        zip_discard(archive);
        throw std::runtime_error("zip_close failed");
    }
}

// A glyph picture: background with a bright vertical bar whose shade varies by row.
inline std::string MakeGlyphJpeg(int width, int height, int seed = 0)
{
    TBitmap bitmap;
    bitmap.ResizeWidth(width);
    bitmap.ResizeHeight(height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const bool ink = x >= width / 4 && x < width - width / 4;
            const int shade = 140 + (y * 100 / std::max(1, height - 1) + seed * 13) % 116;
            bitmap.SetPixelAt(x, y,
                              ink ? glyphtint::raster::MakeColor(shade, shade, shade)
                                  : glyphtint::render::kGlyphBackgroundColour);
        }
    }
    TJPEGImage jpeg;
    jpeg.Settings.EncodeQuality = 95;
    jpeg.AssignBitmap(bitmap);
    return jpeg.SaveToBytes();
}

} // namespace glyphtint::test
