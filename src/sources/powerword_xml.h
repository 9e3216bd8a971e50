// `convert PowerWord XML`: the KingSoft PowerWord XML of a StarDict "k" field as plain
// text, one line per leaf text, with phonetic notation re-mapped and bracketed, numbered
// explanation items, header lines for the sections of the explanation block and the
// inline span markup removed.
#pragma once

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

// Replaces `output` with the converted text of `field` and returns 0; returns -1 with an
// empty `output` when the field is not well-formed XML (wrapped in one element). `state`
// carries the numbering from field to field for one dictionary load.
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
