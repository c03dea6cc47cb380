// Opening an executable with LLVM's object reader, checked to be a PE file
// and, when asked, an x86_64 one.
#include "tools/vexlor/CoffObject.h"

bool OpenCoffObject(const std::string& fileName, bool requireX64, TCoffObject& result,
                    std::string& error) {
  auto buffer = llvm::MemoryBuffer::getFile(fileName, false, false);
  if (!buffer) {
    error = fileName + ": " + buffer.getError().message();
    return false;
  }
  auto object = llvm::object::ObjectFile::createObjectFile((*buffer)->getMemBufferRef());
  if (!object) {
    error = fileName + ": " + llvm::toString(object.takeError());
    return false;
  }
  result.Buffer = std::move(*buffer);
  result.Object = std::move(*object);
  result.Coff = llvm::dyn_cast<llvm::object::COFFObjectFile>(result.Object.get());
  if (result.Coff == nullptr) {
    error = fileName + ": not a PE file";
    return false;
  }
  if (requireX64 && (result.Coff->getMachine() != llvm::COFF::IMAGE_FILE_MACHINE_AMD64 ||
                     result.Coff->getPE32PlusHeader() == nullptr)) {
    error = fileName + ": not an x86_64 PE executable";
    return false;
  }
  return true;
}
