// The faults the emulator can be told to make, so that tests can watch the PC's side cope
// with a handheld that misbehaves. The default plan makes none.
#pragma once

#include <climits>
#include <cstdint>
#include <vector>

#include "pack/transfer_message.h"

namespace lexora::handheld {

struct FaultPlan {
  bool noDevice = false;    // announce no device at all
  bool twoDevices = false;  // a second device, which has no Lexora channel
  bool refuseWrites = false;
  int64_t refuseWritesAfter = 0;  // writes accepted before the refusals start
  enum class AckFault { None, NoAck, WrongType, Short, Overlong };
  AckFault ackFault = AckFault::None;
  uint8_t wrongAckType = static_cast<uint8_t>(MessageType::Refusal);
  int64_t faultFirst = 1;  // which acknowledgements (counted from 1) the fault applies to
  int64_t faultLast = INT64_MAX;
  int64_t closeAfter = 0;  // close the channel on receiving this many messages (0: never)
  int ackDelayMs = 0;
  // Hold each end flag until this many connections hold one, then store their dictionaries
  // at once (0: never hold), so that racing senders surely race.
  size_t gatherEndFlags = 0;
  // Name the store's temporary files in a known order instead of at random, so that a test
  // can plant files where they will go.
  bool predictableTempNames = false;

  // Whether the write counted `write` (from 1) is refused.
  bool refusesWrite(int64_t write) const { return refuseWrites && write > refuseWritesAfter; }
  // Applies the acknowledgement fault to the bytes of acknowledgement number `ack` (from
  // 1); false when that acknowledgement is not to be sent at all.
  bool spoilAcknowledgement(int64_t ack, std::vector<uint8_t>& bytes) const;
};

}  // namespace lexora::handheld
