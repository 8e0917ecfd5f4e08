#include "encoder/refusal_reason.h"

namespace lumera {

const char* RefusalText(TRefusal refusal) {
  switch (refusal) {
    case TRefusal::None:
      return "nothing refuses it";
    case TRefusal::RootTotalFull:
      return "the root table's total would reach 0x10000";
    case TRefusal::TableTotalFull:
      return "a table's total would reach 0x10000";
    case TRefusal::EndMarkerNoShare:
      return "the end marker's share of the range would be 0";
    case TRefusal::EntryNoShare:
      return "an entry's share of the range would be 0";
    case TRefusal::LiteralNotHeld:
      return "the context table does not hold the byte, so it must be escaped";
    case TRefusal::CopyNotHeld:
      return "the table holds fewer copies of the byte than the literal names";
    case TRefusal::EscapeFromRoot:
      return "the walk reached the root, which has no context to escape from";
    case TRefusal::ContextTableFull:
      return "the context table has no room for the escaped byte";
    case TRefusal::InvalidOffset:
      return "the offset code names no output to copy from";
    case TRefusal::LengthUncodable:
      return "the length tables code only lengths 0 to 255 and 65535";
    case TRefusal::AfterEnd:
      return "the end marker has been coded already";
  }
  return "an unknown reason";
}

}  // namespace lumera
