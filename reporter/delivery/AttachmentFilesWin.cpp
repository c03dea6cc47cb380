// Attachment files read whole through Win32, shared with any writer, so a file
// another program still holds open can be attached.
#include "reporter/delivery/AttachmentFilesWin.h"

#include <windows.h>

#include "reporter/config/Trace.h"
#include "reporter/delivery/MailAddresses.h"
#include "runtime/FileNames.h"

namespace {

struct THandle {
  HANDLE handle;
  ~THandle() {
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  }
};

bool ReadWhole(const std::string& name, std::string& content) {
  THandle file{CreateFileA(name.c_str(), GENERIC_READ,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)};
  if (file.handle == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.handle, &size) || size.QuadPart > 0x7FFFFFFF) return false;
  content.resize(static_cast<std::size_t>(size.QuadPart));
  std::size_t done = 0;
  while (done < content.size()) {
    DWORD got = 0;
    if (!ReadFile(file.handle, content.data() + done, static_cast<DWORD>(content.size() - done),
                  &got, nullptr) ||
        got == 0)
      break;
    done += got;
  }
  content.resize(done);
  return true;
}

}  // namespace

bool AttachmentFileExists(const std::string& name) {
  const std::string trimmed = TrimText(name);
  if (trimmed.empty()) return false;
  const DWORD attributes = GetFileAttributesA(trimmed.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::vector<TMimeAttachment> ReadAttachmentFiles(const std::vector<std::string>& names) {
  std::vector<TMimeAttachment> files;
  for (const std::string& name : names) {
    if (!AttachmentFileExists(name)) continue;
    const std::string trimmed = TrimText(name);
    TMimeAttachment file;
    file.FileName = ExtractFileName(trimmed);
    if (!ReadWhole(trimmed, file.Content)) {
      Trace("ReadAttachmentFiles", {"cannot read", trimmed});
      continue;
    }
    files.push_back(std::move(file));
  }
  return files;
}
