// The window's built-in pictures, from the resources compiled into the program.
#pragma once

#include <QIcon>
#include <QPixmap>

#include <vector>

namespace glyphtint::app {

// The program icon (a duck) in its 32 x 32 and 16 x 16 versions.
QIcon ProgramIcon();
QPixmap ProgramIconPixmap32();

// ImageList1: eight 16 x 16 images, in list order.
enum ListImage {
    kImageRemove = 0,
    kImageAdd = 1,
    kImagePage = 2,
    kImageStop = 3,
    kImageAttempt = 4,
    kImageAbout = 5,
    kImageSave = 6,
    kImageCopy = 7,
};
std::vector<QIcon> ImageList1();

// The "Colors" button glyphs, magenta made transparent.
QIcon ChevronsUp();
QIcon ChevronsDown();

} // namespace glyphtint::app
