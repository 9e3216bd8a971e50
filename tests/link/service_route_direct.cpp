// Where there is no COM, the link reaches its service directly.
#include "link/service_route.h"

namespace lexora::test {

struct RoutedService::Registration {};

std::vector<ServiceRoute> serviceRoutes() {
  return {ServiceRoute::Direct};
}

std::string routeName(const ::testing::TestParamInfo<ServiceRoute>&) {
  return "Direct";
}

RoutedService::RoutedService(ServiceRoute, ServiceFactory service) : factory_(std::move(service)) {}

RoutedService::~RoutedService() = default;

}  // namespace lexora::test
