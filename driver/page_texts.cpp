#include "driver/page_texts.h"

#include "base/cp852.h"

namespace qm {

std::vector<std::string> PlItems(std::span<const char* const> texts) {
  std::vector<std::string> out;
  for (const char* t : texts) out.push_back(Pl(t));
  return out;
}

}  // namespace qm
