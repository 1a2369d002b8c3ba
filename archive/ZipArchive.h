// TZipArchive: the archive component the program uses, named ZipArchive1 in its messages.
#pragma once

#include <string>

#include "archive/ZipBaseArchiver.h"

// Typical use:
//   TZipArchive zip;               // messages carry the prefix "ZipArchive1: "
//   zip.FileName = path;
//   zip.Open(0);                   // read, no sharing
//   zip.ExtractEntryBytes("a.jpg", bytes);
//   zip.Close();
// Unlike the base class it looks only for the standard end record when reading
// the directory, so an archive ending in the base class's own end record is
// rebuilt from its local headers.
class TZipArchive : public TZipBaseArchiver {
public:
    explicit TZipArchive(std::string name = "ZipArchive1");

protected:
    bool SearchesOwnSignature() const override { return false; }
    const TZipDirManager::Signature& DirectorySignature() const override;
};
