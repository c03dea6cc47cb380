// A read-only view of a PE file on disk, as far as the tool needs it: image
// base, sections, and the resource tree (type id / name / first language).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct TPeSection {
  std::string Name;
  std::uint32_t VirtualAddress = 0;
  std::uint32_t VirtualSize = 0;
  std::uint32_t RawOffset = 0;
  std::uint32_t RawSize = 0;
};

class TPeFile {
 public:
  // False with a message for a file that is no PE32+ image.
  bool Load(const std::string& fileName, std::string& error);

  const std::vector<std::uint8_t>& Bytes() const { return FBytes; }
  std::uint64_t ImageBase() const { return FImageBase; }
  std::uint32_t SizeOfImage() const { return FSizeOfImage; }
  bool IsLibrary() const { return FIsLibrary; }
  const std::vector<TPeSection>& Sections() const { return FSections; }
  const TPeSection* FindSection(const std::string& name) const;
  // File offset of an RVA inside a section's raw data.
  std::optional<std::size_t> OffsetOf(std::uint32_t rva, std::uint32_t size) const;
  // The bytes of a resource of a numeric type with a string name (upper case,
  // as resource compilers store names), first language; empty when absent.
  std::optional<std::vector<std::uint8_t>> FindResource(std::uint16_t type,
                                                        const std::string& name) const;
  // Where the image ends in the file: everything after it is appended data.
  std::size_t ImageEnd() const;

 private:
  std::uint32_t U32(std::size_t at) const;
  std::uint16_t U16(std::size_t at) const;

  std::vector<std::uint8_t> FBytes;
  std::uint64_t FImageBase = 0;
  std::uint32_t FSizeOfImage = 0;
  bool FIsLibrary = false;
  std::vector<TPeSection> FSections;
  std::uint32_t FResourceRva = 0, FResourceSize = 0;
};
