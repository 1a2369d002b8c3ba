// TZipBaseArchiver: the archive component's settings, Open/Close and entry extraction to memory.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>

#include "io/FileStream.h"
#include "archive/PkwareCipher.h"
#include "archive/ZipDirectory.h"

enum class TZipSpanningMode { smNone, smSpanning, smSplitting };
enum class TZip64Mode { zmDisabled, zmAuto, zmAlways };
enum class TZipCompressionLevel { clNone, clFastest, clNormal, clMax };

// Of the archive options only Recurse plays a part in reading: with it False a
// pattern lookup stays inside the requested name's folder.
struct TZipOptions {
    bool Recurse = true;
};

// Description of an entry found by FindEntry.
struct TZipArchiveItem {
    int32_t Index = -1;
    std::string FileName;   // name part, path separators as backslashes
    std::string StoredPath; // folder part ending in a backslash, or empty
    uint64_t CompressedSize = 0;
    uint64_t UncompressedSize = 0;
    double CompressionRate = 0; // percent saved, never negative
    bool Encrypted = false;
    uint16_t Date = 0;
    uint16_t Time = 0;
    uint32_t Crc32 = 0;
    uint32_t ExternalAttributes = 0;
    std::string Comment;
};

// Reads ZIP archives from a file that stays open, and locked, from Open to
// Close. Every failure is an exception: EZipException for the component's own
// errors, EFOpenError ("Cannot open file <name>") and EReadError ("Stream read
// error") from the file layer. Not copyable; one call at a time.
class TZipBaseArchiver {
public:
    // OnPassword(sender, entry name, password, skip): may replace the password
    // or set skip to give up on the entry.
    using TPasswordEvent =
        std::function<void(TZipBaseArchiver& sender, const std::string& entryName, std::string& password, bool& skip)>;
    using TNotifyEvent = std::function<void(TZipBaseArchiver& sender)>;

    // Which stored data an entry leads to, for readers that keep what they made of an
    // entry: names whose directory records lead to the same data have equal identities.
    // An identity holds for the Open that gave it; after a Close or another Open it
    // equals none given later.
    class EntryIdentity {
    public:
        auto operator<=>(const EntryIdentity&) const = default;

    private:
        friend class TZipBaseArchiver;
        uint64_t generation_ = 0;
        uint64_t localHeaderOffset_ = 0;
        uint64_t compressedSize_ = 0;
        uint64_t uncompressedSize_ = 0;
        uint32_t crc32_ = 0;
        uint16_t method_ = 0;
        bool encrypted_ = false;
    };

    // name: the component name that prefixes the messages of errors raised on
    // the component's behalf ("<name>: "); empty gives no prefix.
    explicit TZipBaseArchiver(std::string name = {});
    virtual ~TZipBaseArchiver();
    TZipBaseArchiver(const TZipBaseArchiver&) = delete;
    TZipBaseArchiver& operator=(const TZipBaseArchiver&) = delete;

    // Published settings. Storing FileName opens nothing; Open reads it.
    std::string FileName;
    bool OpenCorruptedArchives = false; // True: open a file without an end record
    bool ExtractCorruptedFiles = false; // True: failed entries give what was produced
    bool InMemory = false;              // True: Open of a file is refused (native 28)
    TZipSpanningMode SpanningMode = TZipSpanningMode::smNone;
    TZip64Mode Zip64Mode = TZip64Mode::zmAuto; // matters only for writing
    std::string Password;                      // for encrypted entries
    TZipOptions Options;
    TNotifyEvent AfterOpen; // after every successful Open
    // Asked when an encrypted entry's check byte does not fit the password. If
    // it is not assigned the request counts as cancelled (the entry is skipped).
    // A handler that neither changes the password nor sets skip is asked again.
    // The handler may run a nested event loop that extracts other entries of
    // this archive; should it close or reopen the archive meanwhile, the
    // waiting extraction raises native 13.
    TPasswordEvent OnPassword;

    const std::string& Name() const { return name_; }
    void SetName(std::string name) { name_ = std::move(name); }

    // Writing settings, kept in step with each other: the level sets the mode
    // (0, 1, 6, 9); a mode above 9 raises native 5.
    TZipCompressionLevel CompressionLevel() const { return compressionLevel_; }
    void SetCompressionLevel(TZipCompressionLevel level);
    uint8_t CompressionMode() const { return compressionMode_; }
    void SetCompressionMode(uint8_t mode);

    // Opens FileName and reads its central directory. mode: bits 0-1 access
    // (0 read), bits 4-7 the sharing granted to other openers (0 none). Read
    // access holds a read lock, taken without waiting, until Close: other readers
    // open the file too, while one that holds it for writing (a write lock, which
    // only someone who may write the file can take) makes Open fail with "Cannot
    // open file <name>", as it keeps readers' locks out.
    // Raises native 10 (no file-name part), 12 (no such file), 28 (InMemory),
    // 48 (no end record), 44 (one volume of a multi-volume archive), 40, 35, and
    // EFOpenError / EReadError. Creating archives (mode $FFFF) is not supported
    // and raises std::invalid_argument. After a failure past the first three
    // checks the component is closed and the file released.
    void Open(uint16_t mode);
    // Releases the file and the directory; does nothing when closed.
    void Close();

    bool Active() const { return open_; }
    uint16_t OpenMode() const { return openMode_; }

    // The directory of the open archive, in stored order; native 13 when closed.
    const TZipDirManager& Directory() const;
    int32_t EntryCount() const { return open_ ? directory_->Items().Count() : 0; }

    // Replaces bytes with the uncompressed bytes of the first entry that matches
    // entryName (case-insensitive; '*' and '?' make it a pattern). On an error
    // bytes keep their previous content. Raises native 13 (not open), 15 (no
    // match), 8 (size or CRC-32 differ, unless ExtractCorruptedFiles) and
    // EReadError (local header past the end of the file). A password request
    // that is cancelled gives an empty string without error.
    void ExtractEntryBytes(const std::string& entryName, std::string& bytes);
    // ExtractEntryBytes for callers that know how large an entry may be. An
    // entry that declares more than maxBytes, or whose compressed data are
    // larger than any data of maxBytes could be, raises EZipEntryTooLarge
    // before any of it is read. Output past the declared size fails the entry
    // as always, so at most maxBytes + 1 bytes are ever produced.
    void ExtractEntryBytesUpTo(const std::string& entryName, std::string& bytes, uint64_t maxBytes);

    // Index of the first entry from startIndex on that matches name, or -1;
    // fills description when one is given. Native 13 when closed.
    int32_t FindEntry(const std::string& name, int32_t startIndex = 0, TZipArchiveItem* description = nullptr) const;
    // The identity of the data the first entry matching name leads to, or nothing when
    // no entry matches. Native 13 when closed.
    std::optional<EntryIdentity> FindEntryIdentity(const std::string& name) const;
    // Description of the entry at index (native 16 outside the list).
    TZipArchiveItem DescribeEntry(int32_t index) const;

    // Appends the entry's data at index to destination and checks it, as
    // ExtractEntryBytes does; native 16 for an index outside the list.
    void ExtractEntryToStream(int32_t index, std::string& destination);

protected:
    // Whether the central directory search tries the component's own end
    // record signature before the standard one.
    virtual bool SearchesOwnSignature() const { return true; }
    // Signature an empty directory's end record starts with.
    virtual const TZipDirManager::Signature& DirectorySignature() const;

    bool HasEndRecord();
    // Asks OnPassword for a new password. Returns true when the entry is to be
    // skipped; otherwise Password may have been replaced. The answer is
    // returned rather than kept, so that extractions nested in the handler
    // cannot change it.
    bool RequestPassword(const std::string& entryName);

private:
    // How decoding one entry ended.
    enum class DecodeOutcome {
        Decoded, // all data decoded; size and CRC-32 still to be checked
        Failed,  // damaged or unreadable data: the entry fails its checks
        Skipped, // the password request was cancelled: nothing is kept
    };

    void RequireOpen() const;
    int32_t FindByName(const std::string& requested, int32_t startIndex) const;
    int32_t FindByPattern(const std::string& requested, int32_t startIndex) const;
    // Decodes the entry at index into out (fresh) and checks it; returns false
    // when nothing is to be kept because the password request was cancelled.
    bool DecodeEntry(int32_t index, std::string& out);
    DecodeOutcome DecodeStoredOrDeflated(const TDirItem& item, std::span<const uint8_t> localHeader, uint64_t dataStart,
                                         std::string& out);
    // Finds the keys whose decrypted encryption header at position carries the
    // check byte, asking for passwords until one fits or the request is
    // cancelled.
    DecodeOutcome ReadEncryptionHeader(const TDirItem& item, std::span<const uint8_t> localHeader, uint64_t position,
                                       std::optional<glyphtint::archive::PkwareKeys>& keys);

    std::string name_;
    TZipCompressionLevel compressionLevel_ = TZipCompressionLevel::clNormal;
    uint8_t compressionMode_ = 6;

    bool open_ = false;
    // Counts every Open and Close, so that an extraction waiting in a password
    // request can tell whether the directory it was reading is still there.
    uint64_t generation_ = 0;
    uint16_t openMode_ = 0;
    std::optional<glyphtint::io::FileStream> stream_;
    std::unique_ptr<TZipDirManager> directory_;
    // First index of every item name, folded to upper case, for lookups by name;
    // it belongs to the directory of generation nameIndexGeneration_.
    mutable std::unordered_map<std::string, int32_t> nameIndex_;
    mutable uint64_t nameIndexGeneration_ = 0;
};
