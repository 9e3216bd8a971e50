// `convert StarDict fields`: one StarDict data block, split into fields by the
// dictionary's sametypesequence, turned into the entry's plain-text explanation.
#pragma once

#include <string>
#include <string_view>

#include "sources/powerword_xml.h"

namespace lexora {

// Replaces `explanation` with the explanation (UTF-8) of `block`: each understood field's
// text and an LF, in field order ("t" in brackets, "g" without its tags, "l" decoded with
// the ANSI code page, "k" through the PowerWord conversion), phonetic letters normalised,
// the trailing run of LFs removed. The end of `block` ends its last field.
//
// With `markupAsText`, "h" (HTML) and "x" (XDXF) fields are turned into text too
// (appendMarkupAsText); otherwise they are dropped like the types no conversion knows.
// Fields of upper-case types (W, P, X, ...) are dropped: they are stored as a 32-bit
// big-endian size and that many bytes, except the block's last field, which runs to the
// end of the block. Returns false when the block is damaged: it ends before all its
// fields (the missing ones are empty) or a size reaches beyond it (the fields from there
// on are empty). Nothing outside `block` is read either way.
bool convertStarDictFields(std::string_view block, std::u16string_view sametypesequence,
                           PowerWordWalkState& powerWordWalkState, std::string& explanation,
                           bool markupAsText = false);

// What convertStarDictFieldsStart could make of the start of a block.
struct BlockStartConversion {
  enum Outcome {
    complete,  // every field ended within the start: all is as for the whole block
    enough,    // a field runs on, but the start decides what an entry keeps (see below)
    needMore,  // the start decides too little; nothing changed
  };
  Outcome outcome;
  bool sound;  // as convertStarDictFields returns; true when not known
};

// convertStarDictFields for a block of which only `start` was read, the rest being longer.
// On `complete`, `explanation` and `sound` are exactly the whole block's. On `enough`, once
// its TABs become spaces and its backslash-n pairs LFs (as the reader does), `explanation`
// is more than `keep` + 1 bytes long, and all but its last byte are the same as in the
// whole block's explanation so treated, which is longer than `keep` too; a block with a
// PowerWord field ("k") from the cut on is never `enough`, since converting that field
// changes the walk state for the entries after it. On `needMore`,
// `explanation` is empty and the walk state as it was. Reading a block's start, then more
// only when asked, keeps the cost of a block that claims a huge size to what is kept of it.
BlockStartConversion convertStarDictFieldsStart(std::string_view start, size_t keep,
                                                std::u16string_view sametypesequence,
                                                PowerWordWalkState& powerWordWalkState,
                                                std::string& explanation,
                                                bool markupAsText = false);

// Every backslash followed by a lower-case n becomes one LF, left to right: the reader's
// last step on a headword and on an explanation (after TABs become spaces).
void joinBackslashN(std::string& text);

// `strip markup tags`: removes every '<' with the text up to the next '>'; a '<' with no
// '>' after it, and all text after it, stays. Entities are not decoded.
std::u16string stripMarkupTags(std::u16string_view text);

}  // namespace lexora
