// Message table lookup and the text of EZipException messages.
#include "archive/ZipException.h"

#include <gtest/gtest.h>

#include "archive/ZipMessages.h"

namespace {

struct MessageCase {
    int32_t native;
    const char* component;
    std::initializer_list<TZipFormatArg> args;
    int32_t errorCode;
    const char* message;
};

class ZipExceptionMessage : public ::testing::TestWithParam<MessageCase> { };

TEST_P(ZipExceptionMessage, BuildsPrefixTextAndNativeSuffix)
{
    const MessageCase& c = GetParam();
    const EZipException e(c.native, c.component, c.args);
    EXPECT_STREQ(e.what(), c.message);
    EXPECT_EQ(e.ErrorCode(), c.errorCode);
    EXPECT_EQ(e.NativeError(), c.native);
}

const MessageCase kMessageCases[] = {
    {15, "ZipArchive1", {std::string("a.jpg")}, 6, "ZipArchive1: File \"a.jpg\" not found - Native error: 00015"},
    {40, "", {}, 22, "Cannot find Zip64 directory end record - Native error: 00040"},
    {61, "ZipArchive1", {}, 0, "ZipArchive1: Unknown error - Native error: 00061"},
    {12345, "", {}, 0, "Unknown error - Native error: 12345"},
    {55, "", {}, 0, "Unknown error - Native error: 00055"},
    {13, "ZipArchive1", {}, 7, "ZipArchive1: Archive is not open - Native error: 00013"},
    {8, "ZipArchive1", {}, 4, "ZipArchive1: Invalid size or check sum of file - Native error: 00008"},
    {34, "", {int64_t{7}, int64_t{-2}}, 17, "Invalid compressed size, rfs.size = 7, count = -2 - Native error: 00034"},
    {12,
     "ZipArchive1",
     {std::string("/x/glyphtint.gfx")},
     6,
     "ZipArchive1: File \"/x/glyphtint.gfx\" not found - Native error: 00012"},
    // A placeholder without an argument stays as written.
    {33, "", {}, 12, "Cannot open file \"%s\" - Native error: 00033"},
    {48, "Zip", {}, 27, "Zip: Archive is damaged. Open failed - Native error: 00048"},
};
INSTANTIATE_TEST_SUITE_P(Table, ZipExceptionMessage, ::testing::ValuesIn(kMessageCases));

TEST(ZipMessageLookup, EveryNativeSelectsItsTableRow)
{
    // Native numbers grouped by the text they select, row by row of the table.
    const std::vector<std::vector<int32_t>> byIndex = {{0},
                                                       {1, 2, 3, 4, 7, 16, 21, 24},
                                                       {5},
                                                       {6},
                                                       {8},
                                                       {9, 10, 29},
                                                       {11, 12, 15, 18, 30, 31, 38, 42},
                                                       {13, 14},
                                                       {17},
                                                       {19, 23},
                                                       {20},
                                                       {22, 25},
                                                       {33},
                                                       {26},
                                                       {27},
                                                       {28},
                                                       {32},
                                                       {34},
                                                       {35},
                                                       {36},
                                                       {37},
                                                       {39},
                                                       {40},
                                                       {41, 43},
                                                       {44, 45},
                                                       {46},
                                                       {47},
                                                       {48},
                                                       {49},
                                                       {50},
                                                       {51}};
    ASSERT_EQ(byIndex.size(), static_cast<size_t>(glyphtint::archive::kZipMessageCount));
    int32_t covered = 0;
    for (size_t index = 0; index < byIndex.size(); ++index) {
        for (int32_t native : byIndex[index]) {
            EXPECT_EQ(glyphtint::archive::ZipMessageIndex(native), static_cast<int32_t>(index)) << "native " << native;
            ++covered;
        }
    }
    EXPECT_EQ(covered, 52);
    for (int32_t native = 52; native <= 60; ++native) {
        EXPECT_EQ(glyphtint::archive::ZipMessageIndex(native), 0) << "native " << native;
    }
    EXPECT_EQ(glyphtint::archive::ZipMessageIndex(-1), 0);
}

TEST(ZipMessageLookup, TextsWithTheirExactWording)
{
    using glyphtint::archive::ZipMessageText;
    EXPECT_EQ(ZipMessageText(20), "Archive is open. You should close it beore performing this operation.");
    EXPECT_EQ(ZipMessageText(13), "Cannot proceed when update is not ended. Preceding EndUpdate call is required.");
    EXPECT_EQ(ZipMessageText(19), "Cannot create output file. Probably file is locked by another process. "
                                  "FileName = '%s'.");
    EXPECT_EQ(ZipMessageText(30), "Multi-volume archive is not allowed for custom stream");
}

} // namespace
