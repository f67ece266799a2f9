#include "pixels/dither_methods.h"

#include "common/options.h"
#include "pixels/burkes_dither.h"

namespace png2zeq {
namespace {

// The first row is what -dither alone gives.
constexpr DitherMethod kDitherMethods[] = {
    {"burkes", BurkesDitherState, BurkesDitherError, kBurkesRowPath},
};

}  // namespace

const DitherMethod& DefaultDitherMethod() { return kDitherMethods[0]; }

const DitherMethod* FindDitherMethod(const char* name) { return FindOption(kDitherMethods, name); }

const DitherMethod* DitherMethodOf(const ConversionJob& job) {
  for (const DitherMethod& method : kDitherMethods) {
    if (job.ditherError != nullptr && job.ditherError == method.error) return &method;
  }
  return nullptr;
}

}  // namespace png2zeq
