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

#include <filesystem>
#include <fstream>
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

    void StartProgram()
    {
        std::vector<std::string> environment = {
            "DISPLAY=" + server_->Display(),       "QT_QPA_PLATFORM=", "WAYLAND_DISPLAY=",
            "HOME=" + (folder_ / "home").string(), "XDG_CONFIG_HOME=", "XDG_RUNTIME_DIR="};
        const fs::path suppressions = fs::path(GLYPHTINT_TEST_DATA) / ".." / "app" / "lsan-suppressions.txt";
        if (fs::exists(suppressions)) {
            environment.push_back("LSAN_OPTIONS=suppressions=" + suppressions.string());
        }
        program_ = std::make_unique<e2e::ChildProcess>(
            std::vector<std::string>{(folder_ / "program" / "glyphtint").string()}, (folder_ / "saves").string(),
            environment, (folder_ / "program.log").string());
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
    std::string main;
    ASSERT_TRUE(e2e::WaitUntil(
        [&] {
            const auto windows = ProgramWindows();
            if (!windows.empty()) {
                main = windows.back();
            }
            return !main.empty() || !program_->Running();
        },
        20s))
        << "no window titled \"glyphtint [0.1]\"\n"
        << Log();
    ASSERT_FALSE(main.empty()) << "the program ended early\n" << Log();

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
