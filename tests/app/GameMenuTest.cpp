// The Game menu: one choice that the preview, the palettes, the readout and the exported
// strip follow, kept for the next run.
#include "WindowFixture.h"

#include "render/GameProfiles.h"

#include <QImage>
#include <QSettings>

namespace {

class GameMenuTest : public WindowTest {
protected:
    void StartRemembering()
    {
        archive_ = glyphtint::test::CopyOfShippedArchive(folder);
        glyphtint::app::WindowHooks hooks = boxes.Hooks(archive_);
        hooks.settings = settings;
        window = std::make_unique<Tfrm_Main>(std::move(hooks));
        window->RunGuarded([this] { window->FormCreate(); });
        window->show();
        QApplication::processEvents();
    }

    int GameWidth(const std::string& text, const char* game)
    {
        TPicture picture;
        RenderCodedText(Glyphs(), text, picture, {}, glyphtint::render::FindGameProfile(game)->rules);
        return picture.Width();
    }

    std::shared_ptr<QSettings> settings =
        std::make_shared<QSettings>(QString::fromStdString((folder / "settings.ini").string()), QSettings::IniFormat);
};

} // namespace

TEST_F(GameMenuTest, TheChosenGameReadsEveryTextAndIsKeptForTheNextRun)
{
    StartRemembering();
    EXPECT_TRUE(Find<QAction>("Game_glyphtint")->isChecked());
    Find<QAction>("Game_xonotic")->trigger();
    Change(window->ActivePageEdit(), "^xF80a^1b");
    window->FlushPendingRender();
    ASSERT_NE(GameWidth("^xF80a^1b", "xonotic"), RenderedWidth("^xF80a^1b"));
    EXPECT_EQ(StripWidth(Find<TImage>("img_Render")), GameWidth("^xF80a^1b", "xonotic"));
    // One code a colour: 1-7, 9 and 0 (8 is white again).
    EXPECT_EQ(StripWidth(Find<TImage>("img_Colors")), RenderedWidth("12345"));
    EXPECT_EQ(StripWidth(Find<TImage>("img_Colors2")), RenderedWidth("6790"));
    EXPECT_EQ(Find<QLabel>("lbl_Lengths")->text().toStdString(), "9 bytes of 128 \u00B7 2 shown");

    const std::filesystem::path exported = folder / "strip.png";
    window->RunGuarded([&] { window->ExportStrip(exported.string()); });
    EXPECT_EQ(QImage(QString::fromStdString(exported.string())).width(), GameWidth("^xF80a^1b", "xonotic"));

    Find<QAction>("Game_etlegacy")->trigger();
    Change(window->ActivePageEdit(), std::string(37, 'a'));
    QLabel* lengths = Find<QLabel>("lbl_Lengths");
    EXPECT_EQ(lengths->text().toStdString(), "37 bytes of 36 \u00B7 37 shown \u00B7 over the limit");
    EXPECT_EQ(lengths->accessibleDescription().toStdString(),
              "Longer than Enemy Territory / ET: Legacy keeps: 37 bytes of 36.");
    EXPECT_NE(lengths->palette().color(QPalette::WindowText), window->palette().color(QPalette::WindowText));
    Change(window->ActivePageEdit(), "a");
    EXPECT_EQ(lengths->accessibleDescription().toStdString(), "");

    window.reset();
    EXPECT_EQ(settings->value("game").toString().toStdString(), "etlegacy");
    StartRemembering();
    EXPECT_TRUE(Find<QAction>("Game_etlegacy")->isChecked());
    EXPECT_EQ(Find<QLabel>("lbl_Lengths")->text().toStdString(), "0 bytes of 36 \u00B7 0 shown");
    window.reset();
    // Without settings a window starts with glyphtint's own codes, whatever came before.
    Start(archive_);
    EXPECT_TRUE(Find<QAction>("Game_glyphtint")->isChecked());
}
