// Loading and checking a PE file's headers and sections, mapping addresses to
// file offsets, and walking the resource tree.
#include "tools/vexlor/PeFile.h"

#include <algorithm>
#include <fstream>
#include <iterator>

std::uint32_t TPeFile::U32(std::size_t at) const {
  if (at > FBytes.size() || FBytes.size() - at < 4) return 0;
  return static_cast<std::uint32_t>(FBytes[at]) |
         (static_cast<std::uint32_t>(FBytes[at + 1]) << 8) |
         (static_cast<std::uint32_t>(FBytes[at + 2]) << 16) |
         (static_cast<std::uint32_t>(FBytes[at + 3]) << 24);
}

std::uint16_t TPeFile::U16(std::size_t at) const {
  if (at > FBytes.size() || FBytes.size() - at < 2) return 0;
  return static_cast<std::uint16_t>(FBytes[at] | (FBytes[at + 1] << 8));
}

bool TPeFile::Load(const std::string& fileName, std::string& error) {
  std::ifstream file(fileName, std::ios::binary);
  if (!file) {
    error = fileName + ": cannot open";
    return false;
  }
  FBytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  const std::uint32_t pe = U32(0x3C);
  if (U16(0) != 0x5A4D || U32(pe) != 0x00004550 || U16(pe + 24) != 0x20B) {
    error = fileName + ": not a 64-bit PE image";
    return false;
  }
  const std::size_t optional = pe + 24;
  FImageBase = static_cast<std::uint64_t>(U32(optional + 24)) |
               (static_cast<std::uint64_t>(U32(optional + 28)) << 32);
  FSizeOfImage = U32(optional + 56);
  FIsLibrary = (U16(pe + 22) & 0x2000) != 0;
  const std::uint32_t directories = U32(optional + 108);
  if (directories > 2) {
    FResourceRva = U32(optional + 112 + 2 * 8);
    FResourceSize = U32(optional + 112 + 2 * 8 + 4);
  }
  const std::uint16_t count = U16(pe + 6);
  const std::size_t table = optional + U16(pe + 20);
  for (std::uint16_t i = 0; i < count; ++i) {
    const std::size_t at = table + i * 40u;
    if (at + 40 > FBytes.size()) {
      error = fileName + ": section table cut short";
      return false;
    }
    TPeSection section;
    for (std::size_t c = 0; c < 8 && FBytes[at + c] != 0; ++c)
      section.Name += static_cast<char>(FBytes[at + c]);
    section.VirtualSize = U32(at + 8);
    section.VirtualAddress = U32(at + 12);
    section.RawSize = U32(at + 16);
    section.RawOffset = U32(at + 20);
    FSections.push_back(section);
  }
  return true;
}

const TPeSection* TPeFile::FindSection(const std::string& name) const {
  for (const TPeSection& section : FSections)
    if (section.Name == name) return &section;
  return nullptr;
}

std::optional<std::size_t> TPeFile::OffsetOf(std::uint32_t rva, std::uint32_t size) const {
  for (const TPeSection& section : FSections) {
    if (rva < section.VirtualAddress) continue;
    const std::uint64_t inside = rva - section.VirtualAddress;
    if (inside + size > section.RawSize) continue;
    const std::uint64_t offset = section.RawOffset + inside;
    if (offset + size > FBytes.size()) return std::nullopt;
    return static_cast<std::size_t>(offset);
  }
  return std::nullopt;
}

std::size_t TPeFile::ImageEnd() const {
  std::size_t end = 0;
  for (const TPeSection& section : FSections)
    end = std::max<std::size_t>(end, static_cast<std::size_t>(section.RawOffset) + section.RawSize);
  return end;
}

std::optional<std::vector<std::uint8_t>> TPeFile::FindResource(std::uint16_t type,
                                                               const std::string& name) const {
  if (FResourceRva == 0) return std::nullopt;
  const auto root = OffsetOf(FResourceRva, 16);
  if (!root) return std::nullopt;
  const std::size_t base = *root;
  // Entries of the directory at offset: first the named, then the id ones.
  auto findEntry = [&](std::size_t directory, auto matches) -> std::optional<std::uint32_t> {
    const std::uint32_t entries =
        static_cast<std::uint32_t>(U16(directory + 12)) + U16(directory + 14);
    for (std::uint32_t i = 0; i < entries && i < 4096; ++i) {
      const std::size_t entry = directory + 16 + i * 8u;
      if (entry + 8 > FBytes.size()) return std::nullopt;
      if (matches(U32(entry))) return U32(entry + 4);
    }
    return std::nullopt;
  };
  auto subdirectory = [&](std::uint32_t value) -> std::optional<std::size_t> {
    if ((value & 0x80000000u) == 0 || (value & 0x7FFFFFFF) >= FResourceSize) return std::nullopt;
    return base + (value & 0x7FFFFFFF);
  };
  const auto typeEntry = findEntry(base, [&](std::uint32_t id) { return id == type; });
  if (!typeEntry) return std::nullopt;
  const auto names = subdirectory(*typeEntry);
  if (!names) return std::nullopt;
  const auto nameEntry = findEntry(*names, [&](std::uint32_t id) {
    if ((id & 0x80000000u) == 0 || (id & 0x7FFFFFFF) >= FResourceSize) return false;
    const std::size_t text = base + (id & 0x7FFFFFFF);
    if (U16(text) != name.size()) return false;
    for (std::size_t c = 0; c < name.size(); ++c)
      if (U16(text + 2 + 2 * c) != static_cast<std::uint8_t>(name[c])) return false;
    return true;
  });
  if (!nameEntry) return std::nullopt;
  const auto languages = subdirectory(*nameEntry);
  if (!languages) return std::nullopt;
  const auto leaf = findEntry(*languages, [](std::uint32_t) { return true; });
  if (!leaf || (*leaf & 0x80000000u) != 0 || *leaf + 16 > FResourceSize) return std::nullopt;
  const std::size_t dataEntry = base + *leaf;
  const auto data = OffsetOf(U32(dataEntry), U32(dataEntry + 4));
  if (!data) return std::nullopt;
  return std::vector<std::uint8_t>(
      FBytes.begin() + static_cast<std::ptrdiff_t>(*data),
      FBytes.begin() + static_cast<std::ptrdiff_t>(*data + U32(dataEntry + 4)));
}
