#include "platform/com_apartment.h"

namespace lexora {

// No COM here: the connectivity service is reached through a socket instead.
ComApartment::ComApartment() = default;
ComApartment::~ComApartment() = default;

}  // namespace lexora
