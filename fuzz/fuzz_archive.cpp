// Fuzz target: arbitrary bytes opened as an archive, every entry extracted.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>

#include "archive/ZipArchive.h"
#include "render/GlyphLimits.h"

namespace {

// The bytes live in an anonymous memory file that the archive opens by its
// /proc path, so the run touches no disk and goes through the real open path.
class MemoryFile {
public:
    MemoryFile(const uint8_t* data, size_t size) : fd_(memfd_create("fuzz-archive", MFD_CLOEXEC))
    {
        size_t done = 0;
        while (fd_ >= 0 && done < size) {
            const ssize_t wrote = write(fd_, data + done, size - done);
            if (wrote <= 0) {
                break;
            }
            done += static_cast<size_t>(wrote);
        }
    }
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;
    ~MemoryFile()
    {
        if (fd_ >= 0) {
            close(fd_);
        }
    }
    bool Ok() const { return fd_ >= 0; }
    std::string Path() const { return "/proc/self/fd/" + std::to_string(fd_); }

private:
    int fd_;
};

void ExtractAll(TZipArchive& zip)
{
    // Every entry by index, as far as the program would read it: the plain call
    // inflates whatever an entry declares, which is for callers that want that.
    const int32_t count = zip.EntryCount();
    for (int32_t i = 0; i < count; ++i) {
        if (zip.Directory().Items().At(i).UncompressedSize() > glyphtint::render::kMaxGlyphEntryBytes) {
            continue;
        }
        std::string bytes;
        try {
            zip.ExtractEntryToStream(i, bytes);
        } catch (const std::exception&) {
        }
    }
    // Lookups by the stored names, which may themselves be patterns, through the
    // size-limited extraction that renders use. Each lookup walks the list, so
    // the count is bounded to keep a unit's time linear in its size.
    for (int32_t i = 0; i < count && i < 256; ++i) {
        std::string bytes;
        try {
            zip.ExtractEntryBytesUpTo(zip.Directory().Items().At(i).Name, bytes,
                                      glyphtint::render::kMaxGlyphEntryBytes);
        } catch (const std::exception&) {
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    MemoryFile file(data, size);
    if (!file.Ok()) {
        return 0;
    }
    for (const bool corrupted : {false, true}) {
        TZipArchive zip;
        zip.FileName = file.Path();
        zip.OpenCorruptedArchives = corrupted;
        zip.ExtractCorruptedFiles = corrupted;
        zip.Password = "secret";
        int asked = 0;
        zip.OnPassword = [&](TZipBaseArchiver&, const std::string&, std::string& password, bool& skip) {
            if (++asked > 2) {
                skip = true;
            } else {
                password = asked == 1 ? "" : "other";
            }
        };
        try {
            zip.Open(0);
        } catch (const std::exception&) {
            continue;
        }
        ExtractAll(zip);
    }
    return 0;
}
