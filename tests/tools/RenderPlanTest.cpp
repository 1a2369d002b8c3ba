// The render plan: what it refuses, in what words and of what type, and the measure the
// job then draws to.
#include "pictures/RenderJob.h"
#include "pictures/RenderPlan.h"
#include "render/GlyphPack.h"
#include "tests/support/ReferencePictures.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

using namespace glyphtint::pictures;
using glyphtint::render::GlyphPack;
using Refusal = RenderPlan::Refusal;

namespace {

const std::string kShippedPack = std::string(GLYPHTINT_BIN_DIR) + "/glyphtint.gfx";

TEST(RenderPlan, RefusalsAreTypedAndRaisedAsTheirExceptions)
{
    GlyphPack pack;
    pack.Open(kShippedPack);
    const PictureKind strip[] = {PictureKind::Strip};
    const PictureKind framed[] = {PictureKind::Framed};

    // Told from the text alone: the closed pack is never read.
    GlyphPack closed;
    const RenderPlan nothing = Plan(closed, "^1^2", strip, {});
    ASSERT_EQ(nothing.refusal, Refusal::NothingToDraw);
    EXPECT_FALSE(nothing.measured);
    EXPECT_THROW(nothing.Require(), ENothingToDraw);
    EXPECT_FALSE(Plan(closed, "", framed, {}).refusal) << "a framed picture of nothing is its frame";

    const PlanLimits tight{100, "Too large here"};
    const RenderPlan capped = Plan(pack, "m00m00", strip, {}, tight);
    ASSERT_EQ(capped.refusal, Refusal::TooLarge);
    EXPECT_EQ(capped.message, "Too large here");
    EXPECT_THROW(capped.Require(), glyphtint::render::ETextTooLong);
    EXPECT_FALSE(Plan(pack, "m00m00", strip, {}).refusal) << "only the caller that asks for the cap has it";

    // Narrower at scale 8 than a PNG file's side, yet more pixels than a strip may hold.
    glyphtint::render::PictureStyle scaled;
    scaled.scale = 8;
    const std::int64_t glyphWidth = Plan(pack, "W", strip, {}).strip.width;
    ASSERT_GT(glyphWidth, 0);
    const RenderPlan tooLong = Plan(pack, std::string(60000 / glyphWidth, 'W'), strip, scaled);
    ASSERT_EQ(tooLong.refusal, Refusal::TextTooLong);
    EXPECT_EQ(tooLong.message.rfind("The text is too long: its picture at scale 8 would need ", 0), 0u)
        << tooLong.message;
}

TEST(RenderPlan, TheJobDrawsTheStripThePlanMeasured)
{
    GlyphPack pack;
    pack.Open(kShippedPack);
    const std::string text = "^1m00 ^7says ^^ hi";
    const PictureKind strip[] = {PictureKind::Strip};
    const RenderPlan plan = Plan(pack, text, strip, {});
    ASSERT_FALSE(plan.refusal);
    TPicture drawn;
    glyphtint::render::RenderMeasuredText(pack, text, drawn, {}, plan.strip);
    TPicture measuredAgain;
    glyphtint::render::RenderCodedText(pack, text, measuredAgain, {});
    EXPECT_EQ(drawn.Width(), plan.strip.width);
    EXPECT_EQ(drawn.Height(), plan.strip.height);
    EXPECT_EQ(glyphtint::test::PictureDifference(glyphtint::test::AsImage(drawn.AsBitmap()),
                                                 glyphtint::test::AsImage(measuredAgain.AsBitmap())),
              "");
}

} // namespace
