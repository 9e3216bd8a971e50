// The HTML named character references (a generated table: scripts/gen_html_entities.py).
#pragma once

#include <span>
#include <string_view>

namespace lexora {

struct HtmlEntity {
  std::string_view name;  // as written after '&': "amp;", and "amp" for the legacy names
  std::string_view text;  // UTF-8
};

// Every entity, sorted by name (bytewise).
std::span<const HtmlEntity> htmlEntities();

}  // namespace lexora
