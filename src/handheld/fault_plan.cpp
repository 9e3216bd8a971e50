#include "handheld/fault_plan.h"

namespace lexora::handheld {

bool FaultPlan::spoilAcknowledgement(int64_t ack, std::vector<uint8_t>& bytes) const {
  if (ack < faultFirst || ack > faultLast || bytes.empty()) return true;
  switch (ackFault) {
    case AckFault::None:
      break;
    case AckFault::NoAck:
      return false;
    case AckFault::WrongType:
      bytes[0] = wrongAckType;  // the type byte leads every message
      break;
    case AckFault::Short:
      bytes.resize(kMessageHeaderSize - 1);  // cut inside the header
      break;
    case AckFault::Overlong:
      bytes.push_back(0);
      break;
  }
  return true;
}

}  // namespace lexora::handheld
