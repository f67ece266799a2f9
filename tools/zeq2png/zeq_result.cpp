#include "zeq2png/zeq_result.h"

#include <cstdio>

namespace zeq2png {

const char* ZeqResultName(ZeqResult result) {
  const ZeqResultEntry* row = png2zeq::FindResultRow(kZeqResults, result);
  return row != nullptr ? row->name : "Unknown";
}

const char* ZeqResultMessage(ZeqResult result) {
  const ZeqResultEntry* row = png2zeq::FindResultRow(kZeqResults, result);
  return row != nullptr ? row->message : "";
}

void PrintZeqResultCodes() {
  std::printf("Error codes:\nValue  Description\n");
  for (const ZeqResultEntry& entry : kZeqResults) {
    std::printf(" %3u   %-22s %s\n", static_cast<unsigned>(entry.code), entry.name,
                entry.message);
  }
}

}  // namespace zeq2png
