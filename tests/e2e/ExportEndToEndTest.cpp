// The real program under a private X server, driven from outside as a person would: type
// "^1m00", copy the picture through the File menu and read it from the clipboard as
// image/png, then save it through the save dialog and decode the file.
#include "XSession.h"

#include "raster/JPEGImage.h"
#include "render/FramedImage.h"
#include "render/GlyphBackground.h"
#include "render/GlyphPack.h"
#include "tests/support/TestArchives.h"

#include <QImage>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <iterator>
#include <sstream>
#include <thread>

using namespace std::chrono_literals;
using glyphtint::raster::MakeColor;
using glyphtint::render::kGlyphBackgroundColour;
using glyphtint::test::CopyOfShippedArchive;
using glyphtint::test::ScratchFolder;

namespace fs = std::filesystem;

namespace {

constexpr const char* kText = "^1m00";
const std::string kTitle = "^glyphtint \\[0\\.1\\]$";

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TColor PixelOf(const QImage& image, int x, int y)
{
    const QRgb pixel = image.pixel(x, y);
    return MakeColor(qRed(pixel), qGreen(pixel), qBlue(pixel));
}

class ExportEndToEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!e2e::HaveProgram("Xvfb")) {
            GTEST_SKIP() << "Xvfb is not installed (package xvfb, installed by scripts/setup.sh): "
                            "there is no display to run the window on";
        }
        for (const char* tool : {"xdotool", "xclip"}) {
            ASSERT_TRUE(e2e::HaveProgram(tool)) << tool << " is missing; scripts/setup.sh installs it";
        }
        for (const char* folder : {"program", "home", "saves"}) {
            fs::create_directory(folder_ / folder);
        }
        for (const char* file : {"glyphtint", "glyphtint.gfx"}) {
            fs::copy_file(fs::path(GLYPHTINT_BIN_DIR) / file, folder_ / "program" / file);
        }
        server_ = std::make_unique<e2e::XServer>();
    }

    void StartProgram(const std::vector<std::string>& texts = {})
    {
        std::vector<std::string> environment = {
            "DISPLAY=" + server_->Display(),       "QT_QPA_PLATFORM=", "WAYLAND_DISPLAY=",
            "HOME=" + (folder_ / "home").string(), "XDG_CONFIG_HOME=", "XDG_RUNTIME_DIR="};
        const fs::path suppressions = fs::path(GLYPHTINT_TEST_DATA) / ".." / "app" / "lsan-suppressions.txt";
        if (fs::exists(suppressions)) {
            environment.push_back("LSAN_OPTIONS=suppressions=" + suppressions.string());
        }
        std::vector<std::string> argv{(folder_ / "program" / "glyphtint").string()};
        argv.insert(argv.end(), texts.begin(), texts.end());
        program_ = std::make_unique<e2e::ChildProcess>(argv, (folder_ / "saves").string(), environment,
                                                       (folder_ / "program.log").string());
    }

    // The program's main window, once it shows.
    std::string MainWindow()
    {
        std::string main;
        e2e::WaitUntil(
            [&] {
                const auto windows = ProgramWindows();
                if (!windows.empty()) {
                    main = windows.back();
                }
                return !main.empty() || !program_->Running();
            },
            20s);
        return main;
    }

    // The window's pixels as the X server has them.
    QImage Grab(const std::string& window)
    {
        const fs::path shot = folder_ / "shot.png";
        fs::remove(shot);
        Run(std::string(GLYPHTINT_BIN_DIR) + "/e2e-grab-window " + window + " '" + shot.string() + "'");
        return QImage(QString::fromStdString(shot.string())).convertToFormat(QImage::Format_RGB32);
    }

    // The strip glyphtint-render draws for text with the given options.
    QImage ToolStrip(const std::string& text, const std::string& options)
    {
        const fs::path strip = expectedFolder_ / "strip.png";
        const auto ran = Run(std::string(GLYPHTINT_BIN_DIR) + "/glyphtint-render --strip '" + strip.string() + "' " +
                             options + " -- '" + text + "'");
        EXPECT_EQ(ran.exitCode, 0) << text;
        return QImage(QString::fromStdString(strip.string())).convertToFormat(QImage::Format_RGB32);
    }

    // Where the whole of strip shows in shot, pixel for pixel.
    static std::optional<QPoint> Locate(const QImage& shot, const QImage& strip)
    {
        if (strip.isNull()) {
            return std::nullopt;
        }
        for (int y = 0; y + strip.height() <= shot.height(); ++y) {
            for (int x = 0; x + strip.width() <= shot.width(); ++x) {
                bool same = true;
                for (int row = 0; row < strip.height() && same; ++row) {
                    const auto* shown = reinterpret_cast<const QRgb*>(shot.constScanLine(y + row)) + x;
                    const auto* drawn = reinterpret_cast<const QRgb*>(strip.constScanLine(row));
                    same = std::equal(drawn, drawn + strip.width(), shown);
                }
                if (same) {
                    return QPoint(x, y);
                }
            }
        }
        return std::nullopt;
    }

    // Waits until the window shows strip whole; where it stands.
    std::optional<QPoint> WaitToSee(const std::string& window, const QImage& strip, QImage& shot)
    {
        std::optional<QPoint> at;
        e2e::WaitUntil([&] { return (at = Locate(shot = Grab(window), strip)).has_value(); }, 10s);
        return at;
    }

    // Saves the window's picture for the documentation, when asked to.
    static void KeepForDocs(const QImage& shot, const char* name)
    {
        if (const QString folder = qEnvironmentVariable("GLYPHTINT_SCREENSHOT_DIR"); !folder.isEmpty()) {
            EXPECT_TRUE(shot.save(folder + "/" + name, "PNG")) << name;
        }
    }

    e2e::CommandResult Run(const std::string& command) { return server_->RunOn(command); }

    // The visible windows with the program's title, newest last.
    std::vector<std::string> ProgramWindows()
    {
        std::istringstream ids(Run("xdotool search --onlyvisible --name '" + kTitle + "' 2>/dev/null").out);
        std::vector<std::string> windows;
        for (std::string id; std::getline(ids, id);) {
            windows.push_back(id);
        }
        return windows;
    }

    // Without a window manager nothing gives a window the keyboard: the test does.
    void Keys(const std::string& window, const std::string& keys)
    {
        ASSERT_EQ(Run("xdotool windowfocus --sync " + window).exitCode, 0);
        ASSERT_EQ(Run("xdotool " + keys).exitCode, 0) << keys;
    }

    std::string Log() { return ReadFile(folder_ / "program.log"); }

    // The picture the window should make for the text, composed here offscreen, and the
    // height of its strip.
    std::unique_ptr<TPicture> ExpectedFrame(int& stripHeight)
    {
        glyphtint::render::GlyphPack pack;
        pack.Open(CopyOfShippedArchive(expectedFolder_));
        TPicture strip;
        RenderCodedText(pack, kText, strip);
        stripHeight = strip.AsBitmap().Height();
        auto framed = std::make_unique<TPicture>();
        glyphtint::render::ComposeFramedImage(strip.AsBitmap(), kText, *framed);
        return framed;
    }

    ScratchFolder folder_;
    ScratchFolder expectedFolder_;
    std::unique_ptr<e2e::XServer> server_;
    std::unique_ptr<e2e::ChildProcess> program_;
};

} // namespace

TEST_F(ExportEndToEnd, CopyAndSaveTheTypedText)
{
    StartProgram();
    const std::string main = MainWindow();
    ASSERT_FALSE(main.empty()) << "no window titled \"glyphtint [0.1]\"\n" << Log();

    // The text box has the keyboard focus from the start: focus the window and type.
    Keys(main, "type --delay 40 '" + std::string(kText) + "'");
    // Let the last keystroke's render finish before the menu is opened.
    std::this_thread::sleep_for(300ms);

    // File > Copy image to clipboard, by the menu's access keys.
    Keys(main, "key --clearmodifiers alt+f");
    std::this_thread::sleep_for(300ms);
    ASSERT_EQ(Run("xdotool key c").exitCode, 0);
    ASSERT_TRUE(e2e::WaitUntil(
        [&] {
            return Run("xclip -selection clipboard -t TARGETS -o 2>/dev/null").out.find("image/png") !=
                   std::string::npos;
        },
        10s))
        << "the clipboard offers no image/png\n"
        << Log();
    const fs::path clipboardFile = folder_ / "clipboard.png";
    ASSERT_EQ(Run("xclip -selection clipboard -t image/png -o > '" + clipboardFile.string() + "'").exitCode, 0);
    const QImage clipboard(QString::fromStdString(clipboardFile.string()));
    ASSERT_FALSE(clipboard.isNull()) << "the clipboard's image/png does not decode";

    int stripHeight = 0;
    const auto expected = ExpectedFrame(stripHeight);
    const TBitmap& frame = expected->AsBitmap();
    ASSERT_EQ(clipboard.width(), frame.Width()) << "the caption or the strip differs from \"" << kText << "\"";
    ASSERT_EQ(clipboard.height(), frame.Height());
    EXPECT_EQ(PixelOf(clipboard, 0, 0), kGlyphBackgroundColour) << "the frame's corner";
    // Everything above the caption, the strip of red m00 included, is exactly what the
    // renderer draws; the caption's pixels depend on the display's font rendering.
    const int captionTop = stripHeight + 12;
    for (int y = 0; y < frame.Height(); ++y) {
        for (int x = 0; x < frame.Width(); ++x) {
            if (y < captionTop || x < 8) {
                ASSERT_EQ(PixelOf(clipboard, x, y), frame.PixelAt(x, y)) << "column " << x << ", row " << y;
            }
        }
    }
    EXPECT_EQ(PixelOf(clipboard, 3, frame.Height() - 3), kGlyphBackgroundColour) << "under the caption";

    // File > Save image..., then the file name typed into the dialog.
    Keys(main, "key --clearmodifiers alt+f");
    std::this_thread::sleep_for(300ms);
    ASSERT_EQ(Run("xdotool key s").exitCode, 0);
    std::string dialog;
    ASSERT_TRUE(e2e::WaitUntil(
        [&] {
            std::istringstream ids(
                Run("xdotool search --onlyvisible --pid " + std::to_string(program_->Pid()) + " 2>/dev/null").out);
            for (std::string id; std::getline(ids, id);) {
                if (id != main && Run("xdotool getwindowname " + id).out.find("Save") != std::string::npos) {
                    dialog = id;
                }
            }
            return !dialog.empty();
        },
        10s))
        << "no save dialog appeared\n"
        << Log();
    const fs::path saved = folder_ / "saves" / "framed.jpg";
    // The default suffix completes the name.
    Keys(dialog, "type --delay 20 '" + (folder_ / "saves" / "framed").string() + "'");
    Keys(dialog, "key Return");
    ASSERT_TRUE(e2e::WaitUntil([&] { return fs::exists(saved) && fs::file_size(saved) > 0; }, 10s))
        << "nothing saved at " << saved << "\n"
        << Log();

    // The file is the clipboard's picture encoded at quality 90, byte for byte.
    const std::string savedBytes = ReadFile(saved);
    TBitmap copied;
    copied.ResizeWidth(clipboard.width());
    copied.ResizeHeight(clipboard.height());
    for (int y = 0; y < clipboard.height(); ++y) {
        for (int x = 0; x < clipboard.width(); ++x) {
            copied.SetPixelAt(x, y, PixelOf(clipboard, x, y));
        }
    }
    TJPEGImage encoded;
    encoded.Settings.EncodeQuality = 90;
    encoded.AssignBitmap(copied);
    EXPECT_TRUE(encoded.SaveToBytes() == savedBytes) << "the saved file is not the copied picture at quality 90";

    TJPEGImage jpeg;
    jpeg.LoadJPEG(std::string_view(savedBytes));
    EXPECT_EQ(jpeg.Bitmap().Width(), frame.Width());
    EXPECT_EQ(jpeg.Bitmap().Height(), frame.Height());

    // File > Exit ends the program cleanly.
    Keys(main, "key --clearmodifiers alt+f");
    std::this_thread::sleep_for(300ms);
    ASSERT_EQ(Run("xdotool key x").exitCode, 0);
    EXPECT_EQ(program_->WaitForExit(10s), 0) << Log();
}

// Started with a name, the window draws it at once; a paste from an owner that serves it
// once lands; zoomed 4x in a roomy window every row of the strip shows; on the dark page
// the band is dark to its corners.
TEST_F(ExportEndToEnd, ANameFromTheCommandLineAPasteServedOnceAZoomedStripAndTheDarkPage)
{
    StartProgram({"^1m00"});
    const std::string main = MainWindow();
    ASSERT_FALSE(main.empty()) << "no window\n" << Log();
    QImage shot;
    EXPECT_TRUE(WaitToSee(main, ToolStrip("^1m00", ""), shot)) << "the red name is not drawn\n" << Log();

    Keys(main, "key --clearmodifiers ctrl+a BackSpace");
    const std::string pasted = "^2hi ^3m00";
    const fs::path clip = folder_ / "clip.txt";
    std::ofstream(clip) << pasted;
    Run("xclip -selection clipboard -loops 1 -i '" + clip.string() + "' >/dev/null 2>&1 &");
    std::this_thread::sleep_for(300ms);
    Keys(main, "key --clearmodifiers ctrl+v");
    EXPECT_TRUE(WaitToSee(main, ToolStrip(pasted, ""), shot)) << "the paste did not land\n" << Log();

    ASSERT_EQ(Run("xdotool windowsize --sync " + main + " 1000 650").exitCode, 0);
    Keys(main, "key --clearmodifiers ctrl+equal ctrl+equal ctrl+equal");
    EXPECT_TRUE(WaitToSee(main, ToolStrip(pasted, "--scale 4"), shot)) << "the 4x strip is not whole\n" << Log();
    KeepForDocs(shot, "screenshot-zoom4.png");

    Keys(main, "key --clearmodifiers alt+v");
    std::this_thread::sleep_for(300ms);
    ASSERT_EQ(Run("xdotool key p").exitCode, 0);
    std::this_thread::sleep_for(300ms);
    ASSERT_EQ(Run("xdotool key d").exitCode, 0);
    const QImage dark = ToolStrip(pasted, "--scale 4 --background '#1e1e1e'");
    const std::optional<QPoint> at = WaitToSee(main, dark, shot);
    ASSERT_TRUE(at) << "the strip on the dark page is not drawn\n" << Log();
    KeepForDocs(shot, "screenshot-dark-page.png");
    // The band takes the window's width inside its border and bevel, and the strip's rows.
    const int right = shot.width() - 5;
    for (const QPoint corner : {QPoint(4, at->y() + 1), QPoint(right, at->y() + 1),
                                QPoint(4, at->y() + dark.height() - 2), QPoint(right, at->y() + dark.height() - 2)}) {
        EXPECT_EQ(shot.pixel(corner) & 0xFFFFFF, 0x1E1E1Eu) << corner.x() << "," << corner.y();
    }
    Keys(main, "key --clearmodifiers ctrl+q");
    EXPECT_EQ(program_->WaitForExit(10s), 0) << Log();
}
