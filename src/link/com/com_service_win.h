// The handheld vendor's connectivity service, a COM server, behind the link's service
// interfaces (Windows only). The calling thread must have joined COM's multithreaded
// apartment (CoInitializeEx with COINIT_MULTITHREADED) before Open.
#pragma once

#ifdef _WIN32

#include "link/connectivity_service.h"

namespace lexora {

// Creates the vendor's device manager (CoCreateInstance of its class, OleRun,
// QueryInterface) on each call and wraps every vendor object it hands out. A service in
// another process whose interfaces this program has no proxy/stub for gives
// REGDB_E_IIDNOTREG.
ServiceFactory vendorServiceFactory();

}  // namespace lexora

#endif  // _WIN32
