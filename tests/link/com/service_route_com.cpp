// On Windows the link reaches its service directly and through COM.
#include "link/com/com_service_win.h"
#include "link/com/in_process_server.h"
#include "link/service_route.h"

namespace lexora::test {

struct RoutedService::Registration {
  explicit Registration(ServiceFactory service) : server(std::move(service)) {}
  InProcessServer server;
};

std::vector<ServiceRoute> serviceRoutes() {
  return {ServiceRoute::Direct, ServiceRoute::Com};
}

std::string routeName(const ::testing::TestParamInfo<ServiceRoute>& info) {
  return info.param == ServiceRoute::Com ? "Com" : "Direct";
}

RoutedService::RoutedService(ServiceRoute route, ServiceFactory service) {
  if (route == ServiceRoute::Direct) {
    factory_ = std::move(service);
    return;
  }
  registration_ = std::make_unique<Registration>(std::move(service));
  factory_ = vendorServiceFactory();
}

RoutedService::~RoutedService() = default;

}  // namespace lexora::test
