// How a link test reaches its service: directly, or on Windows also through COM, where the
// test connectivity server exports the service as the vendor's class and the link goes
// through CoCreateInstance and the COM client. The link tests run over every route there
// is, so the same expectations hold for the COM path.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "link/connectivity_service.h"

namespace lexora::test {

enum class ServiceRoute { Direct, Com };

std::vector<ServiceRoute> serviceRoutes();
std::string routeName(const ::testing::TestParamInfo<ServiceRoute>& info);
inline void PrintTo(ServiceRoute route, std::ostream* out) {
  *out << (route == ServiceRoute::Com ? "Com" : "Direct");
}

// `service` reached by `route`, for as long as the object lives: hand factory() to the link.
class RoutedService {
 public:
  RoutedService(ServiceRoute route, ServiceFactory service);
  ~RoutedService();
  RoutedService(const RoutedService&) = delete;
  RoutedService& operator=(const RoutedService&) = delete;
  ServiceFactory factory() const { return factory_; }

  struct Registration;

 private:
  ServiceFactory factory_;
  std::unique_ptr<Registration> registration_;
};

}  // namespace lexora::test
