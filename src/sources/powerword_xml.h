// `convert PowerWord XML`: the KingSoft PowerWord XML of a StarDict "k" field as plain
// text, one line per leaf text, with phonetic notation re-mapped and bracketed, numbered
// explanation items, header lines for the sections of the explanation block and the
// inline span markup removed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace lexora {

// State the PowerWord conversion carries from field to field while one StarDict dictionary
// loads: the reader's own, created fresh for each load.
struct PowerWordWalkState {
  bool numberingOn = false;
  bool basicMeaningPending = true;
  int32_t itemCounter = 1;
};

// The longest field given to the XML parser, in UTF-16 code units. A parsed tree costs
// many times its text (up to some 70 bytes of memory per unit for a field of empty
// elements), so a field is bounded before it is parsed. A PowerWord field holds one word's
// entry, a few kilobytes; the bound is eight times what an entry can keep (65,536 bytes),
// room for markup around any text an entry could hold whole (each explanation item costs
// 23 units of markup, and each unit of its text one to three bytes of the entry). A longer
// field is treated like one that does not parse.
inline constexpr size_t kMaxPowerWordField = size_t{8} * 65536;

// Replaces `output` with the converted text of `field` and returns 0; returns -1 with an
// empty `output` when the field is not well-formed XML (wrapped in one element) or is
// longer than kMaxPowerWordField, which is treated alike. `state` carries the numbering
// from field to field for one dictionary load.
//
// The XML is parsed by the system's component (platform/xml_document.h) strictly and
// offline: no network, no DTD or external entity is loaded (a DTD cannot occur inside the
// wrapper element), so only the predefined entities and character references are expanded,
// and nesting is bounded by the parser's depth limit.
int convertPowerWordXml(PowerWordWalkState& state, std::u16string_view field,
                        std::u16string& output);

// The two text rules of the conversion, on their own.
std::u16string applyPhoneticFontMap(std::u16string_view text);
std::u16string applySpanMarkers(std::u16string_view text);

}  // namespace lexora
