// What the test connectivity server has handed out and not yet had back: the BSTRs it
// allocated (names and text values), the objects inside the VARIANTs it returned, and its
// references to the client's sink. A client that leaks one, or never lets the server let go
// of its sink, leaves a count above 0. Counts this process only. Windows only.
#pragma once

#include <windows.h>
// After windows.h, which it needs.
#include <oleauto.h>

#include <string_view>

namespace lexora::test {

struct ServerCounts {
  int bstrs = 0;
  int variantObjects = 0;
  int sinkReferences = 0;
  friend bool operator==(const ServerCounts&, const ServerCounts&) = default;
};

ServerCounts liveServerObjects();

// A BSTR the server hands out, counted until the client frees it; null when out of memory.
BSTR countedBstr(std::u16string_view text);
// Whether freeing a BSTR is seen at all here (OLE's string cache is off and BSTRs come from
// the task allocator): without it every count of BSTRs would read 0.
bool bstrsAreCounted();

// The counts of variant objects and sink references, kept by their holders.
void countVariantObject(int change);
void countSinkReference(int change);

// The server's own objects that a client still holds (device manager, devices, channels...):
// a server in a process of its own ends when none is left.
int liveExportedObjects();
void countExportedObject(int change);

}  // namespace lexora::test
