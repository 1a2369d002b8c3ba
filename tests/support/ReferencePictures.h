// The reference pictures of tests/data/pictures (texts.txt says what made each and what it
// shows) and the comparison of a picture drawn now with one of them.
#pragma once

#include "raster/Graphics.h"
#include "raster/QtImage.h"

#include <QImage>
#include <QString>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace glyphtint::test {

// A saved framed picture is compared with its reference after decoding both, each channel
// within this: the same encoder and decoder give equal pixels, JPEG libraries of other
// versions round a level or two apart.
constexpr int kJpegTolerance = 2;

struct ReferenceText {
    std::string name; // the start of its pictures' file names
    std::string text;
};

inline std::string ReferencePicturePath(const std::string& file)
{
    return std::string(GLYPHTINT_TEST_DATA) + "/pictures/" + file;
}

// The texts of texts.txt, in its order: each line not a comment is a name, one space and
// the text to the line's end.
inline std::vector<ReferenceText> ReferenceTexts()
{
    std::ifstream in(ReferencePicturePath("texts.txt"), std::ios::binary);
    std::vector<ReferenceText> texts;
    for (std::string line; std::getline(in, line);) {
        const auto space = line.find(' ');
        if (line.empty() || line[0] == '#' || space == std::string::npos) {
            continue;
        }
        texts.push_back({line.substr(0, space), line.substr(space + 1)});
    }
    EXPECT_GE(texts.size(), 2u) << "texts.txt not read";
    return texts;
}

// A picture file as opaque RGB32 pixels, decoded by Qt; null when it cannot be read.
inline QImage ReadPicture(const std::string& path)
{
    return QImage(QString::fromStdString(path)).convertToFormat(QImage::Format_RGB32);
}

inline QImage ReferencePicture(const std::string& file)
{
    const QImage picture = ReadPicture(ReferencePicturePath(file));
    EXPECT_FALSE(picture.isNull()) << "cannot read the reference " << file;
    return picture;
}

inline QImage AsImage(const TBitmap& bitmap)
{
    return glyphtint::raster::ToQImage(bitmap).convertToFormat(QImage::Format_RGB32);
}

// Empty when seen has expected's size and every channel of every pixel lies within
// tolerance of it; else the size, or the first row and column that differ and how.
inline std::string PictureDifference(const QImage& seen, const QImage& expected, int tolerance = 0)
{
    auto size = [](const QImage& image) {
        return std::to_string(image.width()) + " x " + std::to_string(image.height());
    };
    if (seen.isNull() || seen.size() != expected.size()) {
        return "size " + (seen.isNull() ? std::string("none") : size(seen)) + " instead of " + size(expected);
    }
    auto rgb = [](QRgb p) {
        return "(" + std::to_string(qRed(p)) + ", " + std::to_string(qGreen(p)) + ", " + std::to_string(qBlue(p)) + ")";
    };
    for (int y = 0; y < seen.height(); ++y) {
        for (int x = 0; x < seen.width(); ++x) {
            const QRgb a = seen.pixel(x, y);
            const QRgb b = expected.pixel(x, y);
            if (std::abs(qRed(a) - qRed(b)) > tolerance || std::abs(qGreen(a) - qGreen(b)) > tolerance ||
                std::abs(qBlue(a) - qBlue(b)) > tolerance) {
                return "row " + std::to_string(y) + ", column " + std::to_string(x) + ": " + rgb(a) + " instead of " +
                       rgb(b) + (tolerance > 0 ? " (tolerance " + std::to_string(tolerance) + ")" : "");
            }
        }
    }
    return {};
}

} // namespace glyphtint::test
