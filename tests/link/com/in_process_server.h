// The test connectivity server registered inside the test process (CoRegisterClassObject),
// so that each test decides what the server does and observes it through the exported
// service. The class stays registered while any InProcessServer lives; the innermost one
// serves every CoCreateInstance. Main thread only (the tests' own). Windows only.
#pragma once

#include "link/com/service_export.h"

namespace lexora::test {

class InProcessServer {
 public:
  // REQUIRES: the process may join COM's multithreaded apartment (the server keeps the
  // calling thread in it for the rest of the process, so the registration never lapses).
  explicit InProcessServer(ServiceFactory service, ServerFaults faults = {});
  ~InProcessServer();
  InProcessServer(const InProcessServer&) = delete;
  InProcessServer& operator=(const InProcessServer&) = delete;

 private:
  InProcessServer* const outer_;
  const ServiceFactory service_;
  const ServerFaults faults_;
};

}  // namespace lexora::test
