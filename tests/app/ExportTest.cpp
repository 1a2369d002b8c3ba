// Saving and copying the framed picture, and every command reached through the menu.
#include "WindowFixture.h"

#include "render/FramedImage.h"
#include "tests/support/FileBytes.h"
#include "tests/support/RunProgram.h"

#include <QClipboard>
#include <QFileDialog>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QTabBar>
#include <QTimer>

#include <fstream>
#include <functional>

using glyphtint::raster::BlueOf;
using glyphtint::raster::GreenOf;
using glyphtint::raster::RedOf;

namespace {

// The framed picture as the test assembles it: the strip at (8, 8) on the glyph
// background colour and under it the caption, byte for byte, drawn here in white Arial.
QImage AssembledFramedPicture(const TBitmap& strip, const std::string& caption)
{
    EXPECT_LT(TFont().Height(), 0) << "a new canvas's font height is a character height";
    QFont font("Arial");
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(-TFont().Height());
    const QFontMetrics metrics(font);
    const QString text = QString::fromUtf8(caption.data(), static_cast<qsizetype>(caption.size()));
    const int width = std::max(strip.Width(), metrics.horizontalAdvance(text)) + 16;
    const int height = strip.Height() + 16 + metrics.height() + 4;
    QImage picture(width, height, QImage::Format_RGB32);
    picture.fill(QColor(118, 124, 112));
    for (int y = 0; y < strip.Height(); ++y) {
        for (int x = 0; x < strip.Width(); ++x) {
            const TColor c = strip.PixelAt(x, y);
            picture.setPixel(8 + x, 8 + y, qRgb(RedOf(c), GreenOf(c), BlueOf(c)));
        }
    }
    QPainter painter(&picture);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(8, strip.Height() + 12 + metrics.ascent(), text);
    return picture;
}

// Empty when both pictures have the same size and pixels, else where they first differ.
std::string FirstDifference(const QImage& seen, const QImage& expected)
{
    if (seen.size() != expected.size()) {
        return "size " + std::to_string(seen.width()) + "x" + std::to_string(seen.height()) + " instead of " +
               std::to_string(expected.width()) + "x" + std::to_string(expected.height());
    }
    for (int y = 0; y < seen.height(); ++y) {
        for (int x = 0; x < seen.width(); ++x) {
            if ((seen.pixel(x, y) & 0xFFFFFF) != (expected.pixel(x, y) & 0xFFFFFF)) {
                return "pixel " + std::to_string(x) + "," + std::to_string(y);
            }
        }
    }
    return {};
}

QImage CopiedPicture()
{
    return QGuiApplication::clipboard()->image().convertToFormat(QImage::Format_RGB32);
}

void PutTextOnClipboard(const QString& text)
{
    QGuiApplication::clipboard()->setText(text);
}

} // namespace

class ExportTest : public WindowTest {
protected:
    // Answers the save dialog with the given names in turn; nullopt cancels.
    void AnswerSaveDialog(std::vector<std::optional<std::string>> answers)
    {
        answers_ = std::deque<std::optional<std::string>>(answers.begin(), answers.end());
        window->SaveDialog1.Run = [this](const TSaveDialog& dialog) -> std::optional<TSaveDialogChoice> {
            opened.push_back({dialog.FileName, dialog.FilterIndex});
            std::optional<std::string> answer = answers_.front();
            answers_.pop_front();
            if (!answer) {
                return std::nullopt;
            }
            return TSaveDialogChoice{*answer, 2};
        };
    }

    std::vector<TSaveDialogChoice> opened;

private:
    std::deque<std::optional<std::string>> answers_;
};

TEST_F(ExportTest, SaveWritesTheFramedPictureAndTheDialogRemembersTheLastConfirmedChoice)
{
    StartWithShippedArchive();
    Type("^1m00");
    const std::string first = (folder / "first.jpg").string();
    const std::string second = (folder / "second.jpg").string();
    AnswerSaveDialog({first, std::nullopt, second});

    Find<QAction>("Saveimage1")->trigger();
    Find<QToolButton>("ToolButton4")->click(); // cancelled
    Find<QToolButton>("ToolButton4")->click();
    ASSERT_EQ(opened.size(), 3u);
    EXPECT_EQ(opened[0].FileName, "");
    EXPECT_EQ(opened[0].FilterIndex, 1);
    EXPECT_EQ(opened[1].FileName, first);
    EXPECT_EQ(opened[1].FilterIndex, 2);
    EXPECT_EQ(opened[2].FileName, first) << "a cancelled dialog keeps the last choice";
    EXPECT_TRUE(boxes.errors.empty());

    const QImage expected = AssembledFramedPicture(*Strip(Find<TImage>("img_Render")), "^1m00");
    for (const std::string& path : {first, second}) {
        const QImage saved(QString::fromStdString(path));
        EXPECT_EQ(saved.size(), expected.size()) << path;
    }
}

TEST_F(ExportTest, CopyPutsTheFramedPictureOnTheClipboard)
{
    StartWithShippedArchive();
    Type("^2Hi");
    PutTextOnClipboard("before");
    Find<QAction>("Copyimagetoclipboard1")->trigger();
    EXPECT_TRUE(boxes.errors.empty());
    const QMimeData* offered = QGuiApplication::clipboard()->mimeData();
    ASSERT_TRUE(offered->hasImage());
    EXPECT_FALSE(offered->hasText()) << "what was on the clipboard before is gone";
    // The caption keeps its codes: without them it would be narrower and other pixels.
    EXPECT_EQ(FirstDifference(CopiedPicture(), AssembledFramedPicture(*Strip(Find<TImage>("img_Render")), "^2Hi")), "");
}

// A saved or copied picture is the same file whatever the screen: run again at QT_SCALE_FACTOR
// 1.5 and 2 as the ctests app.pictures_scale*. The saved JPEG is byte for byte what
// glyphtint-render --framed writes for the text, and the copied picture has the pixels of its
// --clipboard-png, the tool run at scale 1 and at the test's scale alike.
TEST_F(ExportTest, SavedAndCopiedPicturesAreTheToolsWhateverTheScale)
{
    StartWithShippedArchive();
    const std::string text = "^1m00 ^7says: ^2Hello^7, ^4{glyph^atint}^7! Wg";
    Change(window->ActivePageEdit(), text);
    const std::string saved = (folder / "saved.jpg").string();
    AnswerSaveDialog({saved});
    Find<QAction>("Saveimage1")->trigger();
    Find<QAction>("Copyimagetoclipboard1")->trigger();
    ASSERT_TRUE(boxes.errors.empty()) << boxes.errors.front();
    const QImage copied = CopiedPicture();

    const std::string tool = std::string(GLYPHTINT_BIN_DIR) + "/glyphtint-render";
    struct Run {
        const char* name;
        std::vector<std::string> environment;
    };
    for (const Run& run : {Run{"the tool at scale 1", {"-u", "QT_SCALE_FACTOR"}}, Run{"the tool at this scale", {}}}) {
        SCOPED_TRACE(run.name);
        const std::string jpeg = (folder / "tool.jpg").string();
        const std::string png = (folder / "tool.png").string();
        std::vector<std::string> arguments = run.environment;
        for (const std::string& argument :
             {tool, std::string("--framed"), jpeg, std::string("--clipboard-png"), png, std::string("--"), text}) {
            arguments.push_back(argument);
        }
        const glyphtint::test::ProgramRun ran = glyphtint::test::RunProgram("/usr/bin/env", arguments);
        ASSERT_EQ(ran.exitCode, 0) << ran.err;
        EXPECT_TRUE(glyphtint::test::ReadFileBytes(saved) == glyphtint::test::ReadFileBytes(jpeg))
            << "the saved JPEG differs from glyphtint-render --framed";
        EXPECT_EQ(FirstDifference(copied, QImage(QString::fromStdString(png)).convertToFormat(QImage::Format_RGB32)),
                  "");
    }
}

TEST_F(ExportTest, TheCaptionIsTheActiveAttemptsTextAfterSwitchingTabs)
{
    StartWithShippedArchive();
    Type("^1a");
    Find<QAction>("Addtab1")->trigger();
    Type("^2bb");
    QTabBar* bar = Find<QTabWidget>("pc_Tabs")->tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(0).center());
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(1).center());
    ASSERT_EQ(Find<QTabWidget>("pc_Tabs")->currentIndex(), 1);
    Find<QAction>("Copyimagetoclipboard1")->trigger();
    const TBitmap* strip = Strip(Find<TImage>("img_Render"));
    ASSERT_NE(strip, nullptr);
    EXPECT_EQ(strip->Width(), RenderedWidth("bb"));
    EXPECT_EQ(FirstDifference(CopiedPicture(), AssembledFramedPicture(*strip, "^2bb")), "");
    EXPECT_TRUE(boxes.errors.empty());
}

TEST_F(ExportTest, OnTheAboutTabSaveCopyAndRemoveAreOfferedNowhere)
{
    StartWithShippedArchive();
    const auto offered = [this](const char* name) {
        if (auto* action = window->findChild<QAction*>(name)) {
            return action->isEnabled();
        }
        auto* button = window->findChild<QWidget*>(name);
        EXPECT_NE(button, nullptr) << name;
        return button != nullptr && button->isEnabled();
    };
    const char* const exports[] = {"Saveimage1", "Copyimagetoclipboard1", "Exportstrip1", "ToolButton4", "ToolButton5"};
    const char* const removes[] = {"Removetab1", "ToolButton2"};
    struct Step {
        const char* name;
        std::function<void()> act;
        bool exportsOffered;
        bool removeOffered;
    };
    QTabBar* bar = Find<QTabWidget>("pc_Tabs")->tabBar();
    const Step steps[] = {
        {"the only attempt", [] {}, true, false},
        {"the About tab", [&] { QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(1).center()); }, false, false},
        {"a tab added from it", [&] { Find<QAction>("Addtab1")->trigger(); }, true, true},
        {"the About tab again", [&] { QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(2).center()); }, false,
         false},
        {"back on an attempt", [&] { QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(0).center()); }, true,
         true},
        {"the last attempt removed",
         [&] { Find<QTabWidget>("pc_Tabs")->setCurrentIndex(1), Find<QAction>("Removetab1")->trigger(); }, false,
         false},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        step.act();
        for (const char* name : exports) {
            EXPECT_EQ(offered(name), step.exportsOffered) << name;
        }
        for (const char* name : removes) {
            EXPECT_EQ(offered(name), step.removeOffered) << name;
        }
    }

    // Nothing is asked on the About tab, and nothing is written or copied.
    PutTextOnClipboard("kept");
    AnswerSaveDialog({(folder / "about.jpg").string()});
    Find<QToolButton>("ToolButton5")->click();
    Find<QToolButton>("ToolButton4")->click();
    Find<QAction>("Saveimage1")->trigger();
    EXPECT_TRUE(opened.empty());
    EXPECT_FALSE(std::filesystem::exists(folder / "about.jpg"));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "kept");
    EXPECT_TRUE(boxes.errors.empty());
}

TEST_F(ExportTest, AfterAddTabTheSavedAndCopiedPictureIsThatOfTheNewEmptyAttempt)
{
    StartWithShippedArchive();
    Type("^1m00");
    Find<QAction>("Addtab1")->trigger();
    EXPECT_EQ(StripWidth(Find<TImage>("img_Render")), 0);
    Find<QAction>("Copyimagetoclipboard1")->trigger();
    // An empty strip under an empty caption: 16 columns of border only.
    const QImage copied = QGuiApplication::clipboard()->image();
    EXPECT_EQ(copied.width(), 16);
    const QRgb background = qRgb(118, 124, 112);
    for (int y = 0; y < copied.height(); ++y) {
        for (int x = 0; x < copied.width(); ++x) {
            ASSERT_EQ(copied.pixel(x, y) & 0xFFFFFF, background & 0xFFFFFF) << x << "," << y;
        }
    }
}

TEST_F(ExportTest, SavingAPictureTooWideForJpegSaysSoInWords)
{
    StartWithShippedArchive();
    const std::string path = (folder / "wide.jpg").string();
    Find<TTextBox>("edt_Text")->SetText(std::string(7000, 'W'));
    window->FlushPendingRender();
    ASSERT_GT(StripWidth(Find<TImage>("img_Render")), 65500);
    AnswerSaveDialog({path});
    Find<QAction>("Saveimage1")->trigger();
    ASSERT_EQ(boxes.errors.size(), 1u);
    EXPECT_NE(boxes.errors[0].find("a JPEG file can be at most 65500 pixels wide"), std::string::npos)
        << boxes.errors[0];
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(ExportTest, AFileThatCannotBeCreatedIsReportedAndNothingElseChanges)
{
    StartWithShippedArchive();
    Type("m");
    const std::string path = (folder / "missing-folder" / "x.jpg").string();
    AnswerSaveDialog({path});
    Find<QToolButton>("ToolButton4")->click();
    ASSERT_EQ(boxes.errors.size(), 1u);
    EXPECT_NE(boxes.errors[0].find("Cannot create file"), std::string::npos) << boxes.errors[0];
    EXPECT_EQ(window->ActiveAttemptText(), "m");
}

TEST_F(ExportTest, TheFileDialogOffersJpegFirstAddsTheSuffixAndAsksBeforeReplacing)
{
    StartWithShippedArchive();
    Type("m");
    const std::string chosen = (folder / "picture").string();
    bool seen = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr) {
            ADD_FAILURE() << "no file dialog";
            if (QWidget* other = QApplication::activeModalWidget()) {
                other->close();
            }
            return;
        }
        seen = true;
        EXPECT_EQ(dialog->nameFilters(), QStringList({"JPEG image (*.jpg)", "All files (*)"}));
        EXPECT_EQ(dialog->selectedNameFilter(), "JPEG image (*.jpg)");
        EXPECT_EQ(dialog->defaultSuffix(), "jpg");
        EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
        EXPECT_TRUE(dialog->windowTitle().contains("Save")) << dialog->windowTitle().toStdString();
        EXPECT_FALSE(dialog->testOption(QFileDialog::DontConfirmOverwrite));
        EXPECT_TRUE(dialog->isSizeGripEnabled());
        dialog->selectFile(QString::fromStdString(chosen));
        static_cast<QDialog*>(dialog)->accept();
    });
    window->ToolButton4Click();
    EXPECT_TRUE(seen);
    EXPECT_EQ(window->SaveDialog1.FileName, chosen + ".jpg");
    EXPECT_TRUE(std::filesystem::exists(chosen + ".jpg"));
}

TEST_F(ExportTest, EachCommandIsOneActionShownInTheMenuAndOnTheToolbar)
{
    StartWithShippedArchive();
    const std::pair<const char*, const char*> commands[] = {
        {"Addtab1", "ToolButton1"},
        {"Removetab1", "ToolButton2"},
        {"Saveimage1", "ToolButton4"},
        {"Copyimagetoclipboard1", "ToolButton5"},
    };
    const QList<QAction*> menu = Find<QMenu>("File1")->actions();
    for (const auto& [actionName, buttonName] : commands) {
        SCOPED_TRACE(actionName);
        QAction* action = Find<QAction>(actionName);
        EXPECT_EQ(Find<QToolButton>(buttonName)->defaultAction(), action);
        EXPECT_TRUE(menu.contains(action));
        EXPECT_FALSE(action->icon().isNull());
    }
    // A button click is the action's trigger, run once: one tab more, not two.
    int triggered = 0;
    QObject::connect(Find<QAction>("Addtab1"), &QAction::triggered, [&] { ++triggered; });
    Find<QToolButton>("ToolButton1")->click();
    EXPECT_EQ(triggered, 1);
    EXPECT_EQ(Find<QTabWidget>("pc_Tabs")->count(), 3);
}

TEST_F(ExportTest, EveryMenuItemRunsItsButtonAndExitClosesTheWindow)
{
    StartWithShippedArchive();
    Find<QAction>("Addtab1")->trigger();
    EXPECT_EQ(Find<QTabWidget>("pc_Tabs")->count(), 3);
    Find<QAction>("Removetab1")->trigger();
    EXPECT_EQ(Find<QTabWidget>("pc_Tabs")->count(), 2);
    // Removing the tab just added showed the About tab; the only attempt tab stays.
    Find<QTabWidget>("pc_Tabs")->setCurrentIndex(0);
    Find<QAction>("Removetab1")->trigger();
    EXPECT_EQ(Find<QTabWidget>("pc_Tabs")->count(), 2);
    EXPECT_EQ(Find<QTabWidget>("pc_Tabs")->currentIndex(), 0);
    // The desktop's keys stand beside the access keys in the menu.
    const std::pair<QAction*, const char*> keys[] = {
        {Find<QAction>("Addtab1"), "Ctrl+T"},    {Find<QAction>("Removetab1"), "Ctrl+W"},
        {Find<QAction>("Saveimage1"), "Ctrl+S"}, {Find<QAction>("Copyimagetoclipboard1"), "Ctrl+Shift+C"},
        {Find<QAction>("Exit1"), "Ctrl+Q"},
    };
    for (const auto& [item, key] : keys) {
        EXPECT_EQ(item->shortcut().toString().toStdString(), key) << item->text().toStdString();
    }
    EXPECT_EQ(Find<QToolButton>("ToolButton4")->toolTip(), "Save image to disk");
    EXPECT_EQ(Find<QToolButton>("ToolButton5")->toolTip(), "Copy image to clipboard");

    Find<QAction>("Exit1")->trigger();
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(boxes.errors.empty());
}
