// The service's property value: empty, a 32-bit integer or a string, and its conversion
// to a 32-bit integer in the manner of VariantChangeType.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace lexora {

struct Variant {
  enum class Type : uint8_t { Empty = 0, Int32 = 1, String = 2 };
  Type type = Type::Empty;
  int32_t int32 = 0;
  std::u16string string;

  static Variant fromInt32(int32_t value) { return {Type::Int32, value, {}}; }
  static Variant fromString(std::u16string value) { return {Type::String, 0, std::move(value)}; }
};

// Empty converts to 0, an integer to itself, a string when it is a decimal number in
// range (blanks around it and a sign allowed); anything else gives nullopt.
std::optional<int32_t> changeTypeToInt32(const Variant& value);

}  // namespace lexora
