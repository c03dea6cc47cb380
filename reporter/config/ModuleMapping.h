// Module mappings: named process-shared memory blocks, one per module and
// purpose, through which the reporters of several modules in one process see
// each other's published options.
//
// Name: the process id as 8 and the module handle as 16 upper-case hex digits,
// then a suffix ("MODULE" for options), e.g. "00000F2C0000000140000000MODULE".
// Layout: a 32-bit little-endian word holding the block's total size (data
// size + 4), then the data. An options block's data is one byte (0 = nothing
// published, 1 = an options stream follows) and the options stream.
//
// Windows: page-file-backed file mappings (ModuleMappingWin.cpp). Natively the
// blocks live in this process only (ModuleMappingNative.cpp), which is all
// the sharing the design needs: modules of one process.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

using TModuleMappingHandle = void*;

constexpr std::string_view kModuleOptionsSuffix = "MODULE";

std::string ModuleMappingName(std::uint32_t processId, std::uintptr_t moduleHandle,
                              std::string_view suffix);

// Opens the block of moduleHandle, or creates it with dataSize bytes of data
// when it does not exist yet. With dataSize 0 it only opens an existing block.
// On success *data points just behind the size word; an existing block keeps
// its own size (see ModuleMappingDataSize). Null when the block cannot be
// created or opened, or when its size word does not fit the memory behind it.
TModuleMappingHandle OpenOrCreateModuleMapping(std::uintptr_t moduleHandle, std::string_view suffix,
                                               std::uint32_t dataSize, std::uint8_t** data);
// Unmaps and closes; a null handle does nothing.
void CloseModuleMapping(TModuleMappingHandle handle, std::uint8_t* data);
// The data size of an open block, from the size word before data.
std::uint32_t ModuleMappingDataSize(const std::uint8_t* data);

// The handle (base address) of the module this code is linked into.
std::uintptr_t ThisModuleHandle();
std::uint32_t ThisProcessId();
// True when fileName is the file of the module this code is linked into.
bool IsThisModuleFile(const std::string& fileName);

// This module's own options block: created at reporter start-up holding the
// byte 0, replaced by every published change, closed at shutdown. All three
// are safe to call from any thread and never raise.
bool CreateOwnModuleOptionsMapping();
// Writes the byte 1 and the options stream into a fresh block.
bool PublishOwnModuleOptions(const std::vector<std::uint8_t>& optionsStream);
void CloseOwnModuleOptionsMapping();

// The options stream published by the reporter of moduleHandle, or false
// when that module published nothing (or its block is damaged).
bool ReadPublishedModuleOptions(std::uintptr_t moduleHandle, std::vector<std::uint8_t>& stream);
