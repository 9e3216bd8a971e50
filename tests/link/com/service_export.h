// The test connectivity server: exports a service of the link's own kind (the fake, or the
// socket service that reaches lexora-handheld) as the vendor's device manager class and
// its seven interfaces, so that the COM client meets the calls the vendor's service
// answers, through CoCreateInstance, OleRun and QueryInterface. Windows only.
#pragma once

#include <functional>
#include <vector>

#include "link/com/com_ref.h"
#include "link/com/vendor_interfaces.h"
#include "link/connectivity_service.h"

namespace lexora::test {

// A property no service of the link's kind can give, which the server offers after the
// service's own: a name and a value of the kinds a vendor's service may hand out.
struct OddProperty {
  enum class Name {
    Pin,         // "BBPIN"
    Null,        // a null BSTR
    PinThenNul,  // "BBPIN", a NUL, then "X": the same first six ANSI bytes as "BBPIN"
    Long,        // "BBPIN" and 295 more ASCII letters: 300 ANSI bytes
  };
  enum class Value {
    Null,      // VT_NULL
    True,      // VT_BOOL, VARIANT_TRUE
    Real,      // VT_R8, 2.5
    Huge,      // VT_I8, 2^40: beyond 32 bits
    Dispatch,  // VT_DISPATCH, an object with no value property
    Text,      // VT_BSTR, "PIN": no number
  };
  Name name = Name::Pin;
  Value value = Value::Text;
};

// Misbehaviour of the server itself, beyond what the exported service is told to do.
struct ServerFaults {
  bool refuseRun = false;                  // OleRun of the device manager fails
  bool withoutManagerInterface = false;    // the object does not answer the manager's id
  std::vector<OddProperty> oddProperties;  // offered after every device's own properties
};

// Where each new device manager comes from: the service and the faults current at the
// moment CoCreateInstance reaches the class factory.
using ServiceSource = std::function<void(ServiceFactory& service, ServerFaults& faults)>;

// A class factory (one reference, the caller's) for the device manager class.
IClassFactory* newServiceClassFactory(ServiceSource source);

// Told of every failed call into a client's sink (the method's name and the result), as
// when the client's process is gone; the service goes on either way. Set before serving.
void setSinkFailureReport(std::function<void(const char* call, HRESULT result)> report);

}  // namespace lexora::test
