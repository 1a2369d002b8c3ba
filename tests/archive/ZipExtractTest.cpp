// ExtractEntryBytes: lookup, stored and deflated data, checks, decryption and its errors.
#include <gtest/gtest.h>

#include "archive/PkwareCipher.h"
#include "archive/ZipArchive.h"
#include "archive/ZipException.h"
#include "ZipTestSupport.h"

namespace {

using namespace ziptest;

std::string Source(const std::string& name)
{
    return ReadFileBytes(FixturePath("src/" + name));
}

struct FixtureEntry {
    const char* file;
    const char* requested;
    const char* source; // file under src/ with the expected bytes
    const char* password;
};

class FixtureExtract : public ::testing::TestWithParam<FixtureEntry> { };

TEST_P(FixtureExtract, GivesTheOriginalBytes)
{
    const FixtureEntry& c = GetParam();
    TZipArchive zip;
    zip.FileName = FixtureCopy(c.file);
    zip.Password = c.password;
    zip.Open(0);
    std::string bytes = "previous";
    zip.ExtractEntryBytes(c.requested, bytes);
    EXPECT_EQ(bytes, Source(c.source));
}

const FixtureEntry kFixtureEntries[] = {
    {"mixed.zip", "hello.txt", "hello.txt", ""},
    {"mixed.zip", "HELLO.TXT", "hello.txt", ""},
    {"mixed.zip", "stored.bin", "stored.bin", ""},
    {"mixed.zip", "empty.txt", "empty.txt", ""},
    {"mixed.zip", "mixed case.txt", "Mixed Case.TXT", ""},
    {"mixed.zip", "sub\\inner.txt", "sub/inner.txt", ""},
    {"mixed.zip", "C:sub/inner.txt", "sub/inner.txt", ""},
    {"mixed.zip", "sub", "empty.txt", ""}, // the folder entry, which is empty
    {"mixed.zip", "*.bin", "stored.bin", ""},
    {"mixed.zip", "*.*", "hello.txt", ""},
    {"mixed.zip", "sub/*", "sub/inner.txt", ""},
    {"encrypted.zip", "hello.txt", "hello.txt", "secret"},
    {"encrypted.zip", "stored.bin", "stored.bin", "secret"},
    {"stdin.zip", "-", "hello.txt", ""},
    {"stdin-encrypted.zip", "-", "hello.txt", "secret"},
    {"zip64-infozip.zip", "hello.txt", "hello.txt", ""},
    {"zip64-infozip.zip", "stored.bin", "stored.bin", ""},
    {"zip64-python.zip", "hello.txt", "hello.txt", ""},
    {"zip64-python.zip", "stored.bin", "stored.bin", ""},
    {"stub-adjusted.zip", "stored.bin", "stored.bin", ""},
    {"stub-unadjusted.zip", "stored.bin", "stored.bin", ""},
    {"stub-unadjusted.zip", "hello.txt", "hello.txt", ""},
};
INSTANTIATE_TEST_SUITE_P(Fixtures, FixtureExtract, ::testing::ValuesIn(kFixtureEntries));

TEST(GlyphArchive, EveryEntryExtractsWithItsDeclaredSizeAndMarkers)
{
    TZipArchive zip;
    zip.FileName = FixtureCopy("glyphs.zip");
    zip.Open(0);
    ASSERT_EQ(zip.EntryCount(), 64);
    for (int32_t i = 0; i < zip.EntryCount(); ++i) {
        const TDirItem& item = zip.Directory().Items().At(i);
        std::string bytes;
        zip.ExtractEntryBytes(item.Name, bytes);
        ASSERT_EQ(bytes.size(), item.UncompressedSize()) << item.Name;
        EXPECT_EQ(bytes.substr(0, 2), "\xFF\xD8") << item.Name;
        EXPECT_EQ(bytes.substr(bytes.size() - 2), "\xFF\xD9") << item.Name;
    }
}

class Extract : public ::testing::Test {
protected:
    void OpenBuilt(const Bytes& bytes)
    {
        zip_.FileName = dir_.Write("t.zip", bytes);
        zip_.Open(0);
    }
    std::string ErrorExtracting(const std::string& name)
    {
        return ErrorOf([&] { zip_.ExtractEntryBytes(name, bytes_); });
    }

    TempDir dir_;
    TZipArchive zip_;
    std::string bytes_ = "unchanged";
};

const char* const kBadData = "ZipArchive1: Invalid size or check sum of file - Native error: 00008";

TEST_F(Extract, TheFirstOfNamesDifferingInCaseWins)
{
    OpenBuilt(BuildZip({Stored("B.txt", "upper"), Stored("b.TXT", "lower")}).bytes);
    for (const char* name : {"b.txt", "B.TXT", "b.TXT"}) {
        zip_.ExtractEntryBytes(name, bytes_);
        EXPECT_EQ(bytes_, "upper") << name;
    }
    EXPECT_EQ(zip_.FindEntry("b.txt", 1), 1);
}

TEST_F(Extract, AMissingEntryKeepsTheCallersBytes)
{
    OpenBuilt(BuildZip({Stored("glyphs/a.jpg", "x")}).bytes);
    EXPECT_EQ(ErrorExtracting("a.jpg"), "ZipArchive1: File \"a.jpg\" not found - Native error: 00015");
    EXPECT_EQ(ErrorExtracting("glyphs/"), "ZipArchive1: File \"glyphs/\" not found - Native error: 00015");
    EXPECT_EQ(ErrorExtracting(std::string(300, 'a')),
              "ZipArchive1: File \"" + std::string(300, 'a') + "\" not found - Native error: 00015");
    EXPECT_EQ(bytes_, "unchanged");
}

TEST_F(Extract, RecurseOffKeepsPatternsInTheirFolder)
{
    OpenBuilt(BuildZip({Stored("sub/a.jpg", "deep"), Stored("b.jpg", "top")}).bytes);
    zip_.ExtractEntryBytes("*.jpg", bytes_);
    EXPECT_EQ(bytes_, "deep");
    zip_.Options.Recurse = false;
    zip_.ExtractEntryBytes("*.jpg", bytes_);
    EXPECT_EQ(bytes_, "top");
}

TEST_F(Extract, ZeroBytesAreKept)
{
    const std::string data("a\0b\0\0c", 6);
    OpenBuilt(BuildZip({Deflated("z.bin", data)}).bytes);
    zip_.ExtractEntryBytes("z.bin", bytes_);
    EXPECT_EQ(bytes_, data);
}

TEST_F(Extract, DescriptionsGiveTheRateSavedNeverBelowZero)
{
    const std::string text(1000, 'g');
    OpenBuilt(BuildZip({Deflated("big", text), Deflated("tiny", "a"), Stored("empty", "")}).bytes);
    TZipArchiveItem item;
    ASSERT_EQ(zip_.FindEntry("big", 0, &item), 0);
    EXPECT_DOUBLE_EQ(item.CompressionRate, (1.0 - static_cast<double>(item.CompressedSize) / 1000.0) * 100.0);
    EXPECT_GT(item.CompressionRate, 90.0);
    ASSERT_EQ(zip_.FindEntry("tiny", 0, &item), 1);
    EXPECT_GT(item.CompressedSize, item.UncompressedSize);
    EXPECT_EQ(item.CompressionRate, 0.0);
    ASSERT_EQ(zip_.FindEntry("empty", 0, &item), 2);
    EXPECT_EQ(item.CompressionRate, 100.0);
}

TEST(ExtractClosed, EveryCallWhileClosedRaisesNotOpen)
{
    const std::string notOpen = "ZipArchive1: Archive is not open - Native error: 00013";
    TZipArchive zip;
    std::string bytes = "kept";
    EXPECT_EQ(ErrorOf([&] { zip.ExtractEntryBytes("a.jpg", bytes); }), notOpen);
    zip.FileName = FixtureCopy("src/hello.txt"); // exists but is no archive
    EXPECT_NE(ErrorOf([&] { zip.Open(0); }), "");
    EXPECT_EQ(ErrorOf([&] { zip.ExtractEntryBytes("a.jpg", bytes); }), notOpen);
    zip.FileName = FixtureCopy("mixed.zip");
    zip.Open(0);
    zip.Close();
    EXPECT_EQ(ErrorOf([&] { zip.ExtractEntryBytes("hello.txt", bytes); }), notOpen);
    EXPECT_EQ(bytes, "kept");
}

TEST_F(Extract, IndexOutsideTheListRaisesNative16)
{
    OpenBuilt(BuildZip({Stored("a", "x")}).bytes);
    EXPECT_EQ(ErrorOf([&] { zip_.ExtractEntryToStream(1, bytes_); }),
              "ZipArchive1: Index out of bounds - Native error: 00016");
    zip_.ExtractEntryToStream(0, bytes_);
    EXPECT_EQ(bytes_, "unchangedx");
}

// Damaged entries: each raises native 8, and with ExtractCorruptedFiles gives
// what was produced before the damage showed.
struct DamagedEntry {
    const char* label;
    std::function<Entry()> make;
    std::function<void(const std::string&)> checkCorrupted;
};

class DamagedEntries : public ::testing::TestWithParam<DamagedEntry> { };

TEST_P(DamagedEntries, RaiseNative8OrGiveWhatWasProduced)
{
    TempDir dir;
    const std::string path = dir.Write("d.zip", BuildZip({GetParam().make()}).bytes);
    TZipArchive zip;
    zip.FileName = path;
    zip.Open(0);
    std::string bytes = "unchanged";
    EXPECT_EQ(ErrorOf([&] { zip.ExtractEntryBytes("e", bytes); }), kBadData);
    EXPECT_EQ(bytes, "unchanged");
    zip.ExtractCorruptedFiles = true;
    zip.ExtractEntryBytes("e", bytes);
    GetParam().checkCorrupted(bytes);
}

Entry WithTrailer(const std::string& content, const Bytes& trailer)
{
    Entry e = Deflated("e", content);
    Append(e.data, trailer);
    e.compressedSize = static_cast<uint32_t>(e.data.size());
    return e;
}

Bytes BigEndian32(uint32_t v)
{
    return {static_cast<uint8_t>(v >> 24), static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 8),
            static_cast<uint8_t>(v)};
}

uint32_t Adler(const std::string& s)
{
    return static_cast<uint32_t>(adler32(1, reinterpret_cast<const Bytef*>(s.data()), static_cast<uInt>(s.size())));
}

const std::string kText = "glyph data glyph data glyph data 0123456789";

const DamagedEntry kDamagedEntries[] = {
    {"StoredWrongCrc",
     [] {
         Entry e = Stored("e", kText);
         e.crc ^= 1;
         return e;
     },
     [](const std::string& b) { EXPECT_EQ(b, kText); }},
    {"DeflatedWrongSize",
     [] {
         Entry e = Deflated("e", kText);
         e.uncompressedSize -= 1;
         return e;
     },
     [](const std::string& b) { EXPECT_EQ(b, kText); }},
    {"TrailerNotTheAdler",
     [] {
         return WithTrailer(kText, {1, 2, 3, 4});
     },
     [](const std::string& b) { EXPECT_EQ(b, kText); }},
    {"CorruptDeflateData",
     [] {
         Entry e = Deflated("e", kText);
         e.data[0] = 0xFF; // reserved block type
         return e;
     },
     [](const std::string& b) { EXPECT_TRUE(b.empty()); }},
    {"TruncatedDeflateData",
     [] {
         Entry e = Deflated("e", kText);
         e.data.resize(e.data.size() / 2);
         e.compressedSize = static_cast<uint32_t>(e.data.size());
         return e;
     },
     [](const std::string& b) { EXPECT_LT(b.size(), kText.size()); }},
    {"UnknownMethod",
     [] {
         Entry e = Stored("e", kText);
         e.method = 12;
         return e;
     },
     [](const std::string& b) { EXPECT_TRUE(b.empty()); }},
    {"StoredDataPastTheEnd",
     [] {
         Entry e = Stored("e", kText);
         e.compressedSize = 0x7FFFFFFF;
         return e;
     },
     [](const std::string& b) { EXPECT_GE(b.size(), kText.size()); }},
    {"DeflatedDataPastTheEnd",
     [] {
         Entry e = Deflated("e", kText);
         e.compressedSize = 0xFFFFFF00;
         return e;
     },
     [](const std::string& b) { EXPECT_TRUE(b.empty()); }},
    {"EncryptedShorterThanItsHeader",
     [] {
         Entry e = Stored("e", "short");
         e.flags = 1;
         return e;
     },
     [](const std::string& b) { EXPECT_TRUE(b.empty()); }},
    {"InflatesBeyondItsDeclaredSize",
     [] {
         // 64 MiB of zeros declared as 1000 bytes: stops one byte past the size.
         Entry e = Deflated("e", std::string(64u << 20, '\0'));
         e.uncompressedSize = 1000;
         return e;
     },
     [](const std::string& b) { EXPECT_EQ(b.size(), 1001u); }},
    {"StoredBeyondItsDeclaredSize",
     [] {
         Entry e = Stored("e", kText);
         e.uncompressedSize = 5;
         return e;
     },
     [](const std::string& b) { EXPECT_EQ(b, kText.substr(0, 6)); }},
};
INSTANTIATE_TEST_SUITE_P(Table, DamagedEntries, ::testing::ValuesIn(kDamagedEntries),
                         [](const auto& info) { return std::string(info.param.label); });

// A deflated entry whose Zip64 block declares the given uncompressed size.
Entry DeclaringZip64Size(const std::string& name, const std::string& content, uint64_t declared)
{
    Entry e = Deflated(name, content);
    e.uncompressedSize = 0xFFFFFFFF;
    Put16(e.centralExtra, 1);
    Put16(e.centralExtra, 8);
    Put64(e.centralExtra, declared);
    return e;
}

TEST_F(Extract, TheSizeLimitedVariantRefusesLargeEntriesBeforeReadingThem)
{
    constexpr uint64_t kLimit = 1 << 20;
    Entry storedHuge = Stored("stored", kText);
    storedHuge.compressedSize = 3 << 20; // more than any 1 MiB could take
    Entry bomb = Deflated("bomb", std::string(8u << 20, '\0'));
    bomb.uncompressedSize = 1000; // inflates far past what it declares
    // Its Zip64 block declares 2^60 compressed bytes.
    Entry farCompressed = Stored("far", kText);
    farCompressed.compressedSize = 0xFFFFFFFF;
    Put16(farCompressed.centralExtra, 1);
    Put16(farCompressed.centralExtra, 8);
    Put64(farCompressed.centralExtra, uint64_t{1} << 60);
    OpenBuilt(BuildZip({Deflated("fits", kText), DeclaringZip64Size("huge", kText, uint64_t{1} << 62),
                        Deflated("edge", std::string(kLimit, 'e')), storedHuge, bomb, farCompressed})
                  .bytes);
    zip_.ExtractEntryBytesUpTo("FITS", bytes_, kLimit);
    EXPECT_EQ(bytes_, kText);
    zip_.ExtractEntryBytesUpTo("edge", bytes_, kLimit);
    EXPECT_EQ(bytes_.size(), kLimit);

    bytes_ = "unchanged";
    const auto limited = [&](const std::string& name) {
        return ErrorOf([&] { zip_.ExtractEntryBytesUpTo(name, bytes_, kLimit); });
    };
    EXPECT_EQ(limited("huge"), "Entry \"huge\" is too large (4611686018427387904 bytes; at most 1048576 are read)");
    EXPECT_EQ(limited("stored"), "Entry \"stored\" is too large (3145728 bytes compressed; at most 1050624 are read)");
    EXPECT_EQ(limited("bomb"), kBadData);
    EXPECT_EQ(limited("none"), "ZipArchive1: File \"none\" not found - Native error: 00015");
    EXPECT_EQ(bytes_, "unchanged");
    // A limit near the top of the range does not wrap round to a small bound.
    EXPECT_EQ(ErrorOf([&] { zip_.ExtractEntryBytesUpTo("far", bytes_, std::numeric_limits<uint64_t>::max() - 1); }),
              kBadData);
    // The plain call reads whatever an entry declares, and finds the size wrong.
    EXPECT_EQ(ErrorExtracting("huge"), kBadData);
}

TEST_F(Extract, FewBytesAfterTheStreamAreIgnoredAndAMatchingTrailerAccepted)
{
    const uint32_t adler = Adler(kText);
    Bytes withAdlerAndMore = BigEndian32(adler);
    Append(withAdlerAndMore, Bytes{9, 9, 9, 9, 9});
    Entry e1 = WithTrailer(kText, {7});
    e1.name = "one";
    Entry e3 = WithTrailer(kText, {7, 7, 7});
    e3.name = "three";
    Entry adlerOnly = WithTrailer(kText, BigEndian32(adler));
    adlerOnly.name = "adler";
    Entry adlerMore = WithTrailer(kText, withAdlerAndMore);
    adlerMore.name = "more";
    OpenBuilt(BuildZip({e1, e3, adlerOnly, adlerMore}).bytes);
    for (const char* name : {"one", "three", "adler", "more"}) {
        bytes_.clear();
        zip_.ExtractEntryBytes(name, bytes_);
        EXPECT_EQ(bytes_, kText) << name;
    }
}

TEST_F(Extract, OnlyTheCentralHeaderSizesAndCrcCount)
{
    Entry e = Deflated("dd", kText);
    e.flags = 8;
    e.localDiffers = true; // as written with a data descriptor: zeros in the local header
    OpenBuilt(BuildZip({e}).bytes);
    zip_.ExtractEntryBytes("dd", bytes_);
    EXPECT_EQ(bytes_, kText);
}

TEST_F(Extract, EmptyEntryGivesEmptyBytes)
{
    OpenBuilt(BuildZip({Stored("empty", ""), Deflated("zero", "")}).bytes);
    zip_.ExtractEntryBytes("empty", bytes_);
    EXPECT_EQ(bytes_, "");
    bytes_ = "x";
    zip_.ExtractEntryBytes("zero", bytes_);
    EXPECT_EQ(bytes_, "");
}

TEST_F(Extract, LocalHeaderPastTheEndIsAStreamReadError)
{
    Built z = BuildZip({Stored("far", "x"), Stored("wrap", "y")});
    Set32(z.bytes, z.centralStart + 42, 0x7FFFFFF0);
    // The second defers its offset to a Zip64 value at the very top of the range.
    const size_t second = z.centralStart + 46 + 3;
    Set32(z.bytes, second + 42, 0xFFFFFFFF);
    Bytes extra;
    Put16(extra, 1);
    Put16(extra, 8);
    Put64(extra, ~uint64_t{0} - 10);
    z.bytes[second + 30] = 12;
    z.bytes.insert(z.bytes.begin() + static_cast<long>(second + 46 + 4), extra.begin(), extra.end());
    Set32(z.bytes, z.endRecord + 12 + extra.size(), static_cast<uint32_t>(z.endRecord - z.centralStart + extra.size()));
    OpenBuilt(z.bytes);
    EXPECT_EQ(ErrorExtracting("far"), "Stream read error");
    EXPECT_EQ(ErrorExtracting("wrap"), "Stream read error");
    EXPECT_EQ(bytes_, "unchanged");
    EXPECT_TRUE(zip_.Active());
}

// Handlers that supply passwords give up after this many requests.
constexpr size_t kMaxRequests = 5;

class Password : public Extract {
protected:
    void SetUp() override
    {
        OpenBuilt(BuildZip({Encrypted("p1", "first secret", "right"), Encrypted("p2", "second secret", "right"),
                            Stored("plain", "visible")})
                      .bytes);
    }
    std::vector<std::string> asked_;
};

TEST_F(Password, WithoutAHandlerTheEntryIsSkippedWithoutError)
{
    zip_.ExtractEntryBytes("p1", bytes_);
    EXPECT_EQ(bytes_, "");
}

TEST_F(Password, AWrongPasswordAsksAgainUntilOneFits)
{
    zip_.Password = "wrong";
    zip_.OnPassword = [&](TZipBaseArchiver& sender, const std::string& entry, std::string& password, bool& skip) {
        EXPECT_EQ(&sender, &zip_);
        asked_.push_back(entry + ":" + password);
        password = asked_.size() < 3 ? "still wrong " + std::to_string(asked_.size()) : "right";
        skip = asked_.size() > kMaxRequests; // a password that never fits fails the test, not hangs it
    };
    zip_.ExtractEntryBytes("P1", bytes_);
    EXPECT_EQ(bytes_, "first secret");
    EXPECT_EQ(asked_, (std::vector<std::string>{"p1:wrong", "p1:still wrong 1", "p1:still wrong 2"}));
    // The accepted password stays set for the next entry.
    zip_.ExtractEntryBytes("p2", bytes_);
    EXPECT_EQ(bytes_, "second secret");
    EXPECT_EQ(asked_.size(), 3u);
}

TEST_F(Password, CancellingGivesEmptyBytesEvenWithCorruptedFilesAllowed)
{
    zip_.ExtractCorruptedFiles = true;
    zip_.OnPassword = [&](TZipBaseArchiver&, const std::string& entry, std::string&, bool& skip) {
        asked_.push_back(entry);
        skip = true;
    };
    zip_.ExtractEntryBytes("p2", bytes_);
    EXPECT_EQ(bytes_, "");
    EXPECT_EQ(asked_, std::vector<std::string>{"p2"});
}

// The window's password box runs a nested event loop whose timer ticks render
// through the same archive, and may meet an encrypted entry themselves.
TEST_F(Password, ExtractionsNestedInTheHandlerLeaveTheWaitingOneIntact)
{
    int depth = 0;
    zip_.OnPassword = [&](TZipBaseArchiver&, const std::string& entry, std::string& password, bool& skip) {
        asked_.push_back(entry);
        if (depth++ == 0) {
            std::string plain = "x";
            std::string nested = "x";
            zip_.ExtractEntryBytes("plain", plain);
            zip_.ExtractEntryBytes("p2", nested); // asks again, and that request is cancelled
            EXPECT_EQ(plain, "visible");
            EXPECT_EQ(nested, "");
            password = "right";
        } else {
            skip = true;
        }
        --depth;
    };
    zip_.ExtractEntryBytes("p1", bytes_);
    EXPECT_EQ(bytes_, "first secret");
    EXPECT_EQ(asked_, (std::vector<std::string>{"p1", "p2"}));
}

TEST_F(Password, ClosingTheArchiveInTheHandlerEndsTheWaitingExtraction)
{
    zip_.OnPassword = [&](TZipBaseArchiver&, const std::string&, std::string& password, bool&) {
        zip_.Close();
        zip_.Open(0);
        password = "right";
    };
    EXPECT_EQ(ErrorExtracting("p1"), "ZipArchive1: Archive is not open - Native error: 00013");
    EXPECT_EQ(bytes_, "unchanged");
}

TEST(PasswordFixture, InfoZipCheckByteFromTheTimeWhenStreamed)
{
    for (const char* file : {"stdin-encrypted.zip", "encrypted.zip"}) {
        TZipArchive zip;
        zip.FileName = FixtureCopy(file);
        zip.Open(0);
        size_t asked = 0;
        zip.OnPassword = [&](TZipBaseArchiver&, const std::string&, std::string& password, bool& skip) {
            password = "secret";
            skip = ++asked > kMaxRequests;
        };
        std::string bytes;
        zip.ExtractEntryBytes(zip.Directory().Items().At(0).Name, bytes);
        EXPECT_EQ(bytes, Source("hello.txt")) << file;
        EXPECT_EQ(asked, 1u) << file;
    }
}

} // namespace

namespace {

// Raw deflate data of content, cut into blocks: a sync flush after every chunk bytes.
Bytes DeflatedInBlocks(const std::string& content, size_t chunk, int memLevel = 8)
{
    z_stream z{};
    deflateInit2(&z, 6, Z_DEFLATED, -15, memLevel, Z_DEFAULT_STRATEGY);
    Bytes out(deflateBound(&z, content.size()) * 4 + 1024);
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    for (size_t at = 0; at < content.size(); at += chunk) {
        const size_t take = std::min(chunk, content.size() - at);
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(content.data() + at));
        z.avail_in = static_cast<uInt>(take);
        deflate(&z, at + take < content.size() ? Z_SYNC_FLUSH : Z_FINISH);
    }
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

Entry WithData(const std::string& name, const std::string& content, const Bytes& data)
{
    Entry e = Deflated(name, content);
    e.data = data;
    e.compressedSize = static_cast<uint32_t>(data.size());
    return e;
}

} // namespace

// Work is bounded by what an entry's size needs: compressed data larger than any
// compressor makes of that size, and streams of far more blocks than the data need
// (each block makes inflate build its tables again), fail before costing much.
TEST_F(Extract, StreamsThatCostMoreThanTheirDataNeedAreRefused)
{
    std::string noise(64 * 1024, '\0');
    uint32_t state = 12345;
    for (char& c : noise) {
        state = state * 1103515245u + 12345u;
        c = static_cast<char>(state >> 24);
    }
    const std::string runs(64 * 1024, 'a');
    Bytes padded = RawDeflate(kText);
    padded.resize(padded.size() + 4096, 0); // ignored bytes after the stream's end
    OpenBuilt(BuildZip({WithData("small-blocks", noise, DeflatedInBlocks(noise, 1u << 20, 1)),
                        WithData("flushed", runs, DeflatedInBlocks(runs, 40)), WithData("padded", kText, padded)})
                  .bytes);

    // zlib at its smallest memory level: hundreds of blocks, and more bytes than the data.
    zip_.ExtractEntryBytes("small-blocks", bytes_);
    EXPECT_EQ(bytes_, noise);
    for (const char* name : {"flushed", "padded"}) {
        EXPECT_EQ(ErrorExtracting(name), kBadData) << name;
    }
}
