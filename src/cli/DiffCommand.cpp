#include <string>
#include <vector>

#include "cli/Commands.h"
#include "cli/Json.h"
#include "core/spriteAnalysis.h"
#include "core/versionDetect.h"

namespace tess::cli {

namespace {

std::vector<std::int32_t> idRange(std::size_t first, std::size_t last) {
  std::vector<std::int32_t> ids;
  for (std::size_t id = first; id <= last; ++id) ids.push_back(static_cast<std::int32_t>(id));
  return ids;
}

}  // namespace

int runDiff(TCliContext& context) {
  const auto& operands = context.arguments().operands;
  if (operands.size() != 2) {
    context.usageError("diff takes two files, A and B");
    return kExitTrouble;
  }
  TOpenedFile a;
  TOpenedFile b;
  if (!openSpriteFile(context, operands[0], a) || !openSpriteFile(context, operands[1], b)) {
    return kExitTrouble;
  }
  const auto& left = a.file->Sprites;
  const auto& right = b.file->Sprites;
  const std::size_t common = std::min(left.size(), right.size());
  std::vector<std::int32_t> changed;
  for (std::size_t i = 0; i < common; ++i) {
    if (!samePixels(*left[i], *right[i])) changed.push_back(static_cast<std::int32_t>(i + 1));
  }
  const std::vector<std::int32_t> added = idRange(left.size() + 1, right.size());
  const std::vector<std::int32_t> removed = idRange(right.size() + 1, left.size());
  const bool differ = !changed.empty() || !added.empty() || !removed.empty();
  // Equal sprites in files of another signature or layout: no difference of pixels, but the
  // files are not interchangeable.
  const bool sameSignature = a.signature == b.signature;
  const bool sameLayout = a.layout == b.layout;
  if (!sameSignature) {
    context.note({}, "the signatures differ: " + signatureHex(a.signature) + " and " +
                         signatureHex(b.signature));
  }
  if (!sameLayout) {
    context.note(
        {}, "the layouts differ: " + describeLayout(a.layout) + " and " + describeLayout(b.layout));
  }

  if (context.arguments().has("json")) {
    context.print("{\"changed\":" + jsonArray(changed) + ",\"added\":" + jsonArray(added) +
                  ",\"removed\":" + jsonArray(removed) +
                  ",\"sameSignature\":" + (sameSignature ? "true" : "false") +
                  ",\"sameLayout\":" + (sameLayout ? "true" : "false") + "}");
  } else if (!differ) {
    context.print("no differences");
  } else {
    if (!changed.empty()) context.print("changed: " + formatIdList(changed));
    if (!added.empty()) context.print("added: " + formatIdList(added));
    if (!removed.empty()) context.print("removed: " + formatIdList(removed));
  }
  return differ ? kExitNegative : kExitOk;
}

}  // namespace tess::cli
