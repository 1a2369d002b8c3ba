// Helpers for the archive tests: temporary files, fixture paths and a byte-level ZIP builder.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "archive/PkwareCipher.h"
#include "tests/support/FileBytes.h"
#include "tests/support/ScratchFolder.h"

namespace ziptest {

using Bytes = std::vector<uint8_t>;

inline std::string FixturePath(const std::string& name)
{
    return std::string(GLYPHTINT_TEST_DATA) + "/archive/" + name;
}

using glyphtint::test::ReadFileBytes;

using TempDir = glyphtint::test::ScratchFolder;

// Opening an archive locks it, and the test runner runs test processes side by
// side: archives are opened from a copy private to this process.
inline std::string FixtureCopy(const std::string& name)
{
    static const TempDir copies("ziptest");
    const std::filesystem::path target = std::filesystem::path(copies.Path()) / name;
    if (!std::filesystem::exists(target)) {
        std::filesystem::create_directories(target.parent_path());
        std::filesystem::copy_file(FixturePath(name), target);
    }
    return target.string();
}

inline void Put16(Bytes& b, uint32_t v)
{
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}
inline void Put32(Bytes& b, uint32_t v)
{
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}
inline void Put64(Bytes& b, uint64_t v)
{
    Put32(b, static_cast<uint32_t>(v));
    Put32(b, static_cast<uint32_t>(v >> 32));
}
inline void Append(Bytes& b, const std::string& s)
{
    b.insert(b.end(), s.begin(), s.end());
}
inline void Append(Bytes& b, const Bytes& s)
{
    b.insert(b.end(), s.begin(), s.end());
}
inline void Set32(Bytes& b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i) {
        b[at + i] = static_cast<uint8_t>(v >> (8 * i));
    }
}

// Raw deflate data (no zlib header or trailer), as ZIP stores it.
inline Bytes RawDeflate(const std::string& data)
{
    z_stream z{};
    deflateInit2(&z, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    Bytes out(deflateBound(&z, data.size()) + 16);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

inline uint32_t Crc(const std::string& data)
{
    return static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

// One entry of a hand-built archive. Defaults describe a plain good entry;
// tests change single fields to make the faults they need.
struct Entry {
    std::string name;
    Bytes data; // as stored (compressed, encrypted)
    uint16_t method = 0;
    uint16_t flags = 0;
    uint16_t time = 0x1820;
    uint16_t date = 0x5822;
    uint32_t crc = 0;
    uint32_t compressedSize = 0;
    uint32_t uncompressedSize = 0;
    uint32_t externalAttributes = 0x20;
    Bytes centralExtra;
    std::string comment;
    // Values the local header gives when they differ from the central ones.
    bool localDiffers = false;
    uint32_t localCrc = 0, localCompressed = 0, localUncompressed = 0;
};

inline Entry Stored(const std::string& name, const std::string& content)
{
    Entry e;
    e.name = name;
    e.data.assign(content.begin(), content.end());
    e.crc = Crc(content);
    e.compressedSize = static_cast<uint32_t>(content.size());
    e.uncompressedSize = static_cast<uint32_t>(content.size());
    return e;
}

inline Entry Deflated(const std::string& name, const std::string& content)
{
    Entry e = Stored(name, content);
    e.method = 8;
    e.data = RawDeflate(content);
    e.compressedSize = static_cast<uint32_t>(e.data.size());
    return e;
}

// A deflated entry encrypted with the component's cipher; the password flow is
// the same whatever made the data.
inline Entry Encrypted(const std::string& name, const std::string& content, const std::string& password)
{
    Entry e = Deflated(name, content);
    Bytes header(12, 0x5A);
    header[11] = static_cast<uint8_t>(e.crc >> 24);
    Bytes data = header;
    Append(data, e.data);
    glyphtint::archive::PkwareKeys(password).Encrypt(data);
    e.data = data;
    e.flags = 1;
    e.compressedSize = static_cast<uint32_t>(data.size());
    return e;
}

struct Built {
    Bytes bytes;
    size_t centralStart = 0;
    size_t endRecord = 0;
};

// Lays out local headers with data, the central directory and an end record.
inline Built BuildZip(const std::vector<Entry>& entries, const std::string& archiveComment = "",
                      const Bytes& prefix = {})
{
    Built out;
    Bytes& b = out.bytes;
    Append(b, prefix);
    std::vector<uint32_t> offsets;
    for (const Entry& e : entries) {
        offsets.push_back(static_cast<uint32_t>(b.size() - prefix.size()));
        Put32(b, 0x04034b50);
        Put16(b, 20);
        Put16(b, e.flags);
        Put16(b, e.method);
        Put16(b, e.time);
        Put16(b, e.date);
        Put32(b, e.localDiffers ? e.localCrc : e.crc);
        Put32(b, e.localDiffers ? e.localCompressed : e.compressedSize);
        Put32(b, e.localDiffers ? e.localUncompressed : e.uncompressedSize);
        Put16(b, static_cast<uint32_t>(e.name.size()));
        Put16(b, 0);
        Append(b, e.name);
        Append(b, e.data);
    }
    out.centralStart = b.size();
    for (size_t i = 0; i < entries.size(); ++i) {
        const Entry& e = entries[i];
        Put32(b, 0x02014b50);
        Put16(b, 20);
        Put16(b, 20);
        Put16(b, e.flags);
        Put16(b, e.method);
        Put16(b, e.time);
        Put16(b, e.date);
        Put32(b, e.crc);
        Put32(b, e.compressedSize);
        Put32(b, e.uncompressedSize);
        Put16(b, static_cast<uint32_t>(e.name.size()));
        Put16(b, static_cast<uint32_t>(e.centralExtra.size()));
        Put16(b, static_cast<uint32_t>(e.comment.size()));
        Put16(b, 0);
        Put16(b, 0);
        Put32(b, e.externalAttributes);
        Put32(b, offsets[i]);
        Append(b, e.name);
        Append(b, e.centralExtra);
        Append(b, e.comment);
    }
    out.endRecord = b.size();
    Put32(b, 0x06054b50);
    Put16(b, 0);
    Put16(b, 0);
    Put16(b, static_cast<uint32_t>(entries.size()));
    Put16(b, static_cast<uint32_t>(entries.size()));
    Put32(b, static_cast<uint32_t>(out.endRecord - out.centralStart));
    Put32(b, static_cast<uint32_t>(out.centralStart - prefix.size()));
    Put16(b, static_cast<uint32_t>(archiveComment.size()));
    Append(b, archiveComment);
    return out;
}

// The message an EZipException, EReadError or EFOpenError carries, or "" when
// the call returned normally.
template <typename F> std::string ErrorOf(F&& call)
{
    try {
        call();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "";
}

} // namespace ziptest
