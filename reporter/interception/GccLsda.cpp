// Decoding GCC's LSDA: the pointer encodings, the call-site table and the
// action and type tables, matched as the runtime's personality routine does.
#include "reporter/interception/GccLsda.h"

#include <cstring>

namespace {

// Pointer encodings of the tables (the DWARF exception-header values).
constexpr std::uint8_t kOmit = 0xFF;
constexpr std::uint8_t kAbsPtr = 0x00, kULeb = 0x01, kUData2 = 0x02, kUData4 = 0x03, kUData8 = 0x04,
                       kSLeb = 0x09, kSData2 = 0x0A, kSData4 = 0x0B, kSData8 = 0x0C;
constexpr std::uint8_t kPcRel = 0x10, kIndirect = 0x80;

class TReader {
 public:
  explicit TReader(const std::uint8_t* p) : p_(p) {}
  const std::uint8_t* Pos() const { return p_; }
  std::uint8_t U8() { return *p_++; }
  std::uint64_t ULeb() {
    std::uint64_t value = 0;
    unsigned shift = 0;
    std::uint8_t byte;
    do {
      byte = *p_++;
      if (shift < 64) value |= static_cast<std::uint64_t>(byte & 0x7F) << shift;
      shift += 7;
    } while (byte & 0x80);
    return value;
  }
  std::int64_t SLeb() {
    std::int64_t value = 0;
    unsigned shift = 0;
    std::uint8_t byte;
    do {
      byte = *p_++;
      if (shift < 64) value |= static_cast<std::int64_t>(byte & 0x7F) << shift;
      shift += 7;
    } while (byte & 0x80);
    if (shift < 64 && (byte & 0x40)) value |= -(std::int64_t{1} << shift);
    return value;
  }
  template <class T>
  T Fixed() {
    T value;
    std::memcpy(&value, p_, sizeof(T));
    p_ += sizeof(T);
    return value;
  }
  // False for an encoding these tables never use.
  bool Encoded(std::uint8_t encoding, std::uintptr_t& value) {
    const std::uintptr_t at = reinterpret_cast<std::uintptr_t>(p_);
    switch (encoding & 0x0F) {
      case kAbsPtr:
        value = Fixed<std::uint64_t>();
        break;
      case kULeb:
        value = ULeb();
        break;
      case kUData2:
        value = Fixed<std::uint16_t>();
        break;
      case kUData4:
        value = Fixed<std::uint32_t>();
        break;
      case kUData8:
        value = Fixed<std::uint64_t>();
        break;
      case kSLeb:
        value = static_cast<std::uintptr_t>(SLeb());
        break;
      case kSData2:
        value = static_cast<std::uintptr_t>(Fixed<std::int16_t>());
        break;
      case kSData4:
        value = static_cast<std::uintptr_t>(Fixed<std::int32_t>());
        break;
      case kSData8:
        value = static_cast<std::uintptr_t>(Fixed<std::int64_t>());
        break;
      default:
        return false;
    }
    if (value != 0) {
      if ((encoding & 0x70) == kPcRel) {
        value += at;
      } else if ((encoding & 0x70) != 0) {
        return false;
      }
      if (encoding & kIndirect) value = *reinterpret_cast<const std::uintptr_t*>(value);
    }
    return true;
  }

 private:
  const std::uint8_t* p_;
};

std::size_t EncodedSize(std::uint8_t encoding) {
  switch (encoding & 0x07) {
    case kAbsPtr:
      return sizeof(void*);
    case kUData2:
      return 2;
    case kUData4:
      return 4;
    case kUData8:
      return 8;
    default:
      return 0;
  }
}

struct TTypeTable {
  const std::uint8_t* Base = nullptr;
  std::uint8_t Encoding = kOmit;

  // Catch type of a filter index; false when it cannot be read.
  bool Entry(std::int64_t filter, const std::type_info*& type) const {
    const std::size_t size = EncodedSize(Encoding);
    if (!Base || size == 0) return false;
    TReader reader(Base - filter * static_cast<std::int64_t>(size));
    std::uintptr_t value = 0;
    if (!reader.Encoded(Encoding, value)) return false;
    type = reinterpret_cast<const std::type_info*>(value);
    return true;
  }
};

// A throw specification (negative filter): the thrown type must be listed.
bool SpecificationAllows(const TTypeTable& types, std::int64_t filter,
                         const TVexlorExceptionObject& thrown) {
  TReader list(types.Base - filter - 1);
  for (std::uint64_t index = list.ULeb(); index != 0; index = list.ULeb()) {
    const std::type_info* type = nullptr;
    if (!types.Entry(static_cast<std::int64_t>(index), type)) return true;
    if (!type || CatchClauseMatches(*type, thrown)) return true;
  }
  return false;
}

}  // namespace

bool CatchClauseMatches(const std::type_info& catchType, const TVexlorExceptionObject& thrown) {
  if (!thrown.Type) return false;
  void* object = thrown.Object;
  // A thrown pointer is matched by the pointer value, not the place it is
  // stored in, as the runtime's own personality routine does.
  if (thrown.Type->__is_pointer_p() && object) object = *static_cast<void**>(object);
  return catchType.__do_catch(thrown.Type, &object, 1);
}

TFrameCatch ClassifyGccFrame(const std::uint8_t* lsda, std::uintptr_t functionStart,
                             std::uintptr_t ip, const TVexlorExceptionObject& thrown) {
  if (!lsda) return TFrameCatch::None;
  TReader reader(lsda);
  std::uintptr_t landingBase = functionStart;
  const std::uint8_t lpStartEncoding = reader.U8();
  if (lpStartEncoding != kOmit && !reader.Encoded(lpStartEncoding, landingBase)) {
    return TFrameCatch::Typed;  // unreadable tables: assume the frame catches
  }
  TTypeTable types;
  types.Encoding = reader.U8();
  if (types.Encoding != kOmit) {
    const std::uint64_t offset = reader.ULeb();
    types.Base = reader.Pos() + offset;
  }
  const std::uint8_t callSiteEncoding = reader.U8();
  const std::uint64_t callSiteLength = reader.ULeb();
  const std::uint8_t* actionTable = reader.Pos() + callSiteLength;

  while (reader.Pos() < actionTable) {
    std::uintptr_t start = 0, length = 0, landingPad = 0;
    if (!reader.Encoded(callSiteEncoding, start) || !reader.Encoded(callSiteEncoding, length) ||
        !reader.Encoded(callSiteEncoding, landingPad)) {
      return TFrameCatch::Typed;
    }
    const std::uint64_t action = reader.ULeb();
    // The table is sorted: an ip before this entry has no entry at all.
    if (ip < functionStart + start) break;
    if (ip >= functionStart + start + length) continue;
    if (landingPad == 0 || action == 0) return TFrameCatch::None;

    const std::uint8_t* record = actionTable + action - 1;
    for (;;) {
      TReader actionReader(record);
      const std::int64_t filter = actionReader.SLeb();
      const std::uint8_t* displacementAt = actionReader.Pos();
      const std::int64_t displacement = actionReader.SLeb();
      if (filter > 0) {
        const std::type_info* type = nullptr;
        if (!types.Entry(filter, type)) return TFrameCatch::Typed;
        if (!type) return TFrameCatch::CatchAll;
        if (CatchClauseMatches(*type, thrown)) return TFrameCatch::Typed;
      } else if (filter < 0) {
        if (!SpecificationAllows(types, filter, thrown)) return TFrameCatch::Terminate;
      }
      if (displacement == 0) return TFrameCatch::None;
      record = displacementAt + displacement;
    }
  }
  // An ip without an entry may not leave the function by an exception.
  return TFrameCatch::Terminate;
}
