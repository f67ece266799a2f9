#include "zeq2png/zeq_result.h"

#include <cstdio>

namespace zeq2png {

const char* ZeqResultName(ZeqResult result) {
  const auto index = static_cast<uint32_t>(result);
  return index < kZeqResultCount ? kZeqResults[index].name : "Unknown";
}

const char* ZeqResultMessage(ZeqResult result) {
  const auto index = static_cast<uint32_t>(result);
  return index < kZeqResultCount ? kZeqResults[index].message : "";
}

void PrintZeqResultCodes() {
  std::printf("Error codes:\nValue  Description\n");
  for (const ZeqResultEntry& entry : kZeqResults) {
    std::printf(" %3u   %-22s %s\n", static_cast<unsigned>(entry.code), entry.name,
                entry.message);
  }
}

}  // namespace zeq2png
