// TZipBaseArchiver settings, Open, Close and the end-record test.
#include "archive/ZipBaseArchiver.h"

#include <sys/stat.h>

#include <stdexcept>

#include "archive/ZipException.h"
#include "archive/ZipMessages.h"

using namespace glyphtint::archive;

namespace {

constexpr uint16_t kCreateMode = 0xFFFF;

bool RegularFileExists(const std::string& path)
{
    struct stat info { };
    return ::stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

} // namespace

TZipBaseArchiver::TZipBaseArchiver(std::string name) : name_(std::move(name))
{
}

TZipBaseArchiver::~TZipBaseArchiver()
{
    Close();
}

void TZipBaseArchiver::SetCompressionLevel(TZipCompressionLevel level)
{
    static constexpr uint8_t kModes[] = {0, 1, 6, 9};
    compressionLevel_ = level;
    compressionMode_ = kModes[static_cast<int>(level)];
}

void TZipBaseArchiver::SetCompressionMode(uint8_t mode)
{
    if (mode > 9) {
        throw EZipException(kNativeBadCompressionMode);
    }
    compressionMode_ = mode;
    compressionLevel_ = mode == 0   ? TZipCompressionLevel::clNone
                        : mode <= 3 ? TZipCompressionLevel::clFastest
                        : mode <= 6 ? TZipCompressionLevel::clNormal
                                    : TZipCompressionLevel::clMax;
}

const TZipDirManager::Signature& TZipBaseArchiver::DirectorySignature() const
{
    return zipfmt::kOwnEndRecordSig;
}

bool TZipBaseArchiver::HasEndRecord()
{
    if (OpenCorruptedArchives) {
        return true;
    }
    return directory_->LocateEndRecord(zipfmt::kOwnEndRecordSig).has_value() ||
           directory_->LocateEndRecord(zipfmt::kEndRecordSig).has_value();
}

void TZipBaseArchiver::Open(uint16_t mode)
{
    // The file-name part is what follows the last path separator.
    if (!InMemory && (FileName.empty() || FileName.back() == '/')) {
        throw EZipException(kNativeBlankFileName, name_);
    }
    if (mode != kCreateMode && !RegularFileExists(FileName)) {
        throw EZipException(kNativeFileNotFound, name_, {FileName});
    }
    if (mode != kCreateMode && InMemory) {
        throw EZipException(kNativeInMemoryOnly, name_);
    }
    Close();
    openMode_ = mode;
    if (mode == kCreateMode) {
        throw std::invalid_argument("TZipBaseArchiver::Open: creating archives is not supported");
    }
    SpanningMode = TZipSpanningMode::smNone;

    // A self-extracting archive is read like any other: its stub is the data in
    // front of the archive that the archive shift accounts for.
    stream_.emplace(glyphtint::io::FileStream::Open(FileName, mode));
    try {
        directory_ = std::make_unique<TZipDirManager>(*stream_, DirectorySignature());
        if (!HasEndRecord()) {
            throw EZipException(kNativeDamaged, name_);
        }
        if (directory_->EndRecordDiskNumber() != 0) {
            // One volume of a split or spanned archive; reading those is not supported.
            throw EZipException(kNativeCannotOpenVolume, name_);
        }
        directory_->ReadCentralDirectory(SearchesOwnSignature());
    } catch (...) {
        directory_.reset();
        stream_.reset();
        throw;
    }
    open_ = true;
    ++generation_;
    if (AfterOpen) {
        AfterOpen(*this);
    }
}

void TZipBaseArchiver::Close()
{
    if (!open_) {
        return;
    }
    open_ = false;
    ++generation_;
    std::unordered_map<std::string, int32_t>().swap(nameIndex_);
    directory_.reset();
    stream_.reset();
}

void TZipBaseArchiver::RequireOpen() const
{
    if (!open_) {
        throw EZipException(kNativeNotOpen, name_);
    }
}

const TZipDirManager& TZipBaseArchiver::Directory() const
{
    RequireOpen();
    return *directory_;
}
