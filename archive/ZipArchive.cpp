// TZipArchive: the archive component the program uses, named ZipArchive1 in its messages.
#include "archive/ZipArchive.h"

TZipArchive::TZipArchive(std::string name) : TZipBaseArchiver(std::move(name))
{
    Zip64Mode = TZip64Mode::zmDisabled;
}

const TZipDirManager::Signature& TZipArchive::DirectorySignature() const
{
    return glyphtint::archive::zipfmt::kEndRecordSig;
}
