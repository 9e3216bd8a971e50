// Values put into texts: a text names each value it shows as {name}, so each language
// places its values where its grammar wants them. platform/ui_language.h has the form
// that picks a BilingualText in the interface language first.
#pragma once

#include <concepts>
#include <initializer_list>
#include <string>
#include <string_view>

namespace lexora {

// The integers shown as numbers; a char16_t is a letter and a bool has no digits.
template <typename T>
concept WholeNumber = std::integral<T> && !std::same_as<T, char16_t> && !std::same_as<T, bool>;

// One named value: a piece of text, a letter, or a whole number in decimal.
struct TextField {
  TextField(std::u16string_view field, std::u16string_view text) : name(field), value(text) {}
  TextField(std::u16string_view field, char16_t letter) : name(field), value(1, letter) {}
  template <WholeNumber Number>
  TextField(std::u16string_view field, Number number) : name(field) {
    const std::string digits = std::to_string(number);
    value.assign(digits.begin(), digits.end());
  }

  std::u16string_view name;
  std::u16string value;
};

// `text` with each {name} of `fields` replaced by its value. The values are not searched
// again, so a value that itself reads {name} is shown as it is; a {name} no field names
// stays as written.
std::u16string formatText(std::u16string_view text, std::initializer_list<TextField> fields);

}  // namespace lexora
