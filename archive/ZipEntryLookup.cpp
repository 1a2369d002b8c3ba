// Finding an entry by name or pattern in the open archive's directory, and describing it.
#include <algorithm>

#include "archive/EntryNames.h"
#include "archive/ZipBaseArchiver.h"
#include "archive/ZipException.h"
#include "archive/ZipMessages.h"

using namespace glyphtint::archive;

namespace {

std::string_view FolderPart(std::string_view name)
{
    const size_t slash = name.rfind('/');
    return slash == std::string_view::npos ? std::string_view{} : name.substr(0, slash + 1);
}

// An item's name as lookups compare it: a folder's trailing slash dropped.
std::string_view ComparedName(std::string_view itemName)
{
    if (!itemName.empty() && (itemName.back() == '/' || itemName.back() == '\\')) {
        itemName.remove_suffix(1);
    }
    return itemName;
}

} // namespace

int32_t TZipBaseArchiver::FindEntry(const std::string& name, int32_t startIndex, TZipArchiveItem* description) const
{
    RequireOpen();
    const std::string requested = NormaliseRequestedName(name);
    // No stored name is longer than the longest name a lookup can ask for.
    if (requested.size() > zipfmt::kMaxRequestedName) {
        return -1;
    }
    const int32_t found =
        IsPattern(requested) ? FindByPattern(requested, startIndex) : FindByName(requested, startIndex);
    if (found >= 0 && description != nullptr) {
        *description = DescribeEntry(found);
    }
    return found;
}

std::optional<TZipBaseArchiver::EntryIdentity> TZipBaseArchiver::FindEntryIdentity(const std::string& name) const
{
    const int32_t index = FindEntry(name);
    if (index < 0) {
        return std::nullopt;
    }
    const TDirItem& item = directory_->Items().At(index);
    EntryIdentity identity;
    identity.generation_ = generation_;
    identity.localHeaderOffset_ = item.LocalHeaderOffset();
    identity.compressedSize_ = item.CompressedSize();
    identity.uncompressedSize_ = item.UncompressedSize();
    identity.crc32_ = item.Crc32();
    identity.method_ = item.Method();
    identity.encrypted_ = item.Encrypted();
    return identity;
}

int32_t TZipBaseArchiver::FindByName(const std::string& requested, int32_t startIndex) const
{
    // Equal names have equal folders, so the folder filter of Recurse never
    // turns away a name that matches.
    const TZipDirArray& items = directory_->Items();
    if (startIndex > 0) {
        for (int32_t i = startIndex; i < items.Count(); ++i) {
            if (NamesEqualNoCase(ComparedName(items.At(i).Name), requested)) {
                return i;
            }
        }
        return -1;
    }
    // The directory does not change while the archive is open: the first index
    // of every folded name is gathered once, at the first lookup after Open.
    if (nameIndexGeneration_ != generation_) {
        nameIndex_.clear();
        nameIndex_.reserve(static_cast<size_t>(items.Count()));
        for (int32_t i = 0; i < items.Count(); ++i) {
            nameIndex_.try_emplace(FoldedName(ComparedName(items.At(i).Name)), i);
        }
        nameIndexGeneration_ = generation_;
    }
    const auto it = nameIndex_.find(FoldedName(requested));
    return it == nameIndex_.end() ? -1 : it->second;
}

int32_t TZipBaseArchiver::FindByPattern(const std::string& requested, int32_t startIndex) const
{
    NamePattern pattern(requested);
    const TZipDirArray& items = directory_->Items();
    for (int32_t i = std::max(startIndex, 0); i < items.Count(); ++i) {
        const std::string_view itemName = ComparedName(items.At(i).Name);
        if (!Options.Recurse && !NamesEqualNoCase(FolderPart(itemName), FolderPart(requested))) {
            continue;
        }
        if (pattern.Matches(itemName)) {
            return i;
        }
    }
    return -1;
}

TZipArchiveItem TZipBaseArchiver::DescribeEntry(int32_t index) const
{
    RequireOpen();
    const TZipDirArray& items = directory_->Items();
    if (index < 0 || index >= items.Count()) {
        throw EZipException(kNativeIndexOutOfBounds, name_);
    }
    const TDirItem& item = items.At(index);
    TZipArchiveItem out;
    out.Index = index;
    std::string path = item.Name;
    std::replace(path.begin(), path.end(), '/', '\\');
    if (!path.empty() && path.back() == '\\') {
        path.pop_back();
    }
    const size_t cut = path.rfind('\\');
    out.FileName = cut == std::string::npos ? path : path.substr(cut + 1);
    out.StoredPath = cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
    out.CompressedSize = item.CompressedSize();
    out.UncompressedSize = item.UncompressedSize();
    out.CompressionRate = out.UncompressedSize > 0
                              ? std::max(0.0, (1.0 - static_cast<double>(out.CompressedSize) /
                                                         static_cast<double>(out.UncompressedSize)) *
                                                  100.0)
                              : 100.0;
    out.Encrypted = item.Encrypted();
    out.Date = item.DosDate();
    out.Time = item.DosTime();
    out.Crc32 = item.Crc32();
    out.ExternalAttributes = item.ExternalAttributes();
    out.Comment = item.Comment;
    return out;
}
