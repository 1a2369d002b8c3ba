// RenderService answered in-process, without sockets: refusals as the render plan words
// them, and pictures as the references show them.
#include "tests/support/ReferencePictures.h"
#include "serve/RenderService.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QImage>

#include <cstdio>
#include <future>
#include <string>

using glyphtint::tools::HttpAnswer;
using glyphtint::tools::RenderService;
using ::testing::HasSubstr;

namespace {

std::string Encoded(const std::string& text)
{
    std::string encoded;
    for (const char c : text) {
        char escape[4];
        std::snprintf(escape, sizeof escape, "%%%02X", static_cast<unsigned char>(c));
        encoded += escape;
    }
    return encoded;
}

class RenderServiceTest : public ::testing::Test {
protected:
    // The answer, waited for when a renderer draws it.
    HttpAnswer Ask(const std::string& target)
    {
        std::promise<HttpAnswer> later;
        std::future<HttpAnswer> drawn = later.get_future();
        std::optional<HttpAnswer> now =
            service.Answer({"GET", target, ""}, [&later](HttpAnswer&& answer) { later.set_value(std::move(answer)); });
        return now ? std::move(*now) : drawn.get();
    }

    RenderService service{std::string(GLYPHTINT_BIN_DIR) + "/glyphtint.gfx", {}};
};

TEST_F(RenderServiceTest, RefusalsAreThePlansInTheirOwnWordsAndStatus)
{
    const std::string wide(4000, 'W');
    struct Case {
        std::string target;
        int status;
        std::string message;
    };
    const Case cases[] = {
        {"/strip.png?text=", 422, "The text draws no glyph: there is no picture to write.\n"},
        {"/strip.png?text=" + Encoded("^1^2\xC3\xA9"), 422, "The text draws no glyph: there is no picture to write.\n"},
        {"/strip.png?text=" + wide + "&scale=8", 413,
         "The picture would be larger than this service draws (16777216 pixels)\n"},
        {"/framed.jpg?text=" + wide + "&scale=8", 413,
         "The picture would be larger than this service draws (16777216 pixels)\n"},
        {"/framed.jpg?text=" + wide + "&scale=2", 413,
         "pixels wide; a JPEG file can be at most 65500 pixels wide and high, so the text is too long.\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.target.substr(0, 60));
        const HttpAnswer answer = Ask(c.target);
        EXPECT_EQ(answer.status, c.status);
        EXPECT_THAT(answer.body, HasSubstr(c.message));
    }
    // A framed picture of nothing is still a picture: the caption's frame.
    EXPECT_EQ(Ask("/framed.jpg?text=").status, 200);
    EXPECT_EQ(Ask("/info.json?text=").status, 200);
}

// game= reads the text by the game's rules on every endpoint, tags the answer apart,
// and is refused naming the games it may be.
TEST_F(RenderServiceTest, GamesAreChosenByQueryAndTaggedApart)
{
    const HttpAnswer info = Ask("/info.json?game=unvanquished&text=" + Encoded("^#FF8000x"));
    ASSERT_EQ(info.status, 200) << info.body;
    EXPECT_THAT(info.body, HasSubstr(R"("described": "x in orange", "runs": [{"text": "x", "colour": "#ff8000"}])"));
    EXPECT_THAT(info.body, HasSubstr(R"("game": "unvanquished", "limit": 128, "over_limit": false)"));
    EXPECT_THAT(Ask("/info.json?text=x").body, ::testing::Not(HasSubstr("\"game\"")));

    const auto tagOf = [](const HttpAnswer& answer) {
        for (const auto& [name, value] : answer.headers) {
            if (name == "ETag") {
                return value;
            }
        }
        return std::string();
    };
    const HttpAnswer plain = Ask("/strip.png?text=" + Encoded("^8m00"));
    const HttpAnswer quake = Ask("/strip.png?game=ioquake3&text=" + Encoded("^8m00"));
    ASSERT_EQ(quake.status, 200) << quake.body;
    EXPECT_NE(tagOf(plain), tagOf(quake));
    EXPECT_NE(plain.body, quake.body) << "orange in glyphtint's table, black in ioquake3's";
    EXPECT_NE(tagOf(quake), tagOf(Ask("/strip.png?game=glyphtint&text=" + Encoded("^8m00"))));

    const HttpAnswer colours = Ask("/colours.json?game=quake3");
    ASSERT_EQ(colours.status, 200);
    EXPECT_THAT(colours.body, HasSubstr(R"({"code": "0")"));
    EXPECT_THAT(colours.body, ::testing::Not(HasSubstr(R"({"code": "8")"))) << "black again in Quake III";
    EXPECT_THAT(Ask("/colours.json").body, HasSubstr(R"({"code": "8")"));

    const HttpAnswer games = Ask("/games.json");
    ASSERT_EQ(games.status, 200);
    EXPECT_THAT(games.body, ::testing::StartsWith(R"([{"id": "glyphtint", "title": "glyphtint", "limit": null},)"));
    EXPECT_THAT(games.body, HasSubstr(R"({"id": "xonotic", "title": "Xonotic", "limit": 128})"));

    for (const std::string target : {"/strip.png?game=quake&text=x", "/colours.json?game=quake"}) {
        const HttpAnswer wrong = Ask(target);
        EXPECT_EQ(wrong.status, 400) << target;
        EXPECT_THAT(wrong.body, HasSubstr("game= takes one of glyphtint, quake3, ioquake3,")) << target;
    }
}

TEST_F(RenderServiceTest, PicturesMatchTheReferences)
{
    using namespace glyphtint::test;
    for (const ReferenceText& reference : ReferenceTexts()) {
        SCOPED_TRACE(reference.name);
        for (const auto& [path, file, tolerance] :
             {std::tuple{"/strip.png", "-strip.png", 0}, std::tuple{"/framed.jpg", "-framed.jpg", kJpegTolerance}}) {
            const HttpAnswer answer = Ask(std::string(path) + "?text=" + Encoded(reference.text));
            ASSERT_EQ(answer.status, 200) << answer.body;
            const QImage served = QImage::fromData(reinterpret_cast<const uchar*>(answer.body.data()),
                                                   static_cast<int>(answer.body.size()))
                                      .convertToFormat(QImage::Format_RGB32);
            EXPECT_EQ(PictureDifference(served, ReferencePicture(reference.name + file), tolerance), "") << path;
        }
    }
}

} // namespace
