// The test connectivity server: exports a service of the link's own kind (the fake, or the
// socket service that reaches lexora-handheld) as the vendor's device manager class and
// its seven interfaces, so that the COM client meets the calls the vendor's service
// answers, through CoCreateInstance, OleRun and QueryInterface. Windows only.
#pragma once

#include <functional>

#include "link/com/com_ref.h"
#include "link/com/vendor_interfaces.h"
#include "link/connectivity_service.h"

namespace lexora::test {

// Misbehaviour of the server itself, beyond what the exported service is told to do.
struct ServerFaults {
  bool refuseRun = false;                // OleRun of the device manager fails
  bool withoutManagerInterface = false;  // the object does not answer the manager's id
};

// Where each new device manager comes from: the service and the faults current at the
// moment CoCreateInstance reaches the class factory.
using ServiceSource = std::function<void(ServiceFactory& service, ServerFaults& faults)>;

// A class factory (one reference, the caller's) for the device manager class.
IClassFactory* newServiceClassFactory(ServiceSource source);

}  // namespace lexora::test
