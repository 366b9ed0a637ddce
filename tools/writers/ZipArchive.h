#pragma once
// Zip archives for sample game data: the file layer's writer (ZipWriter.h),
// under the names the sample writers and tests use.
#include "platform/files/ZipWriter.h"

namespace writers {

using ZipEntry = platform::files::ArchiveMember;

inline void writeZip(const std::string& path, const std::vector<ZipEntry>& entries)
{
    platform::files::WriteZipArchive(path, entries);
}

inline std::vector<ZipEntry> readZip(const std::string& path) { return platform::files::ReadZipArchive(path); }

} // namespace writers
