#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "ConService/Service.h"
#include "support/Sandbox.h"

namespace brisel::test {

// A service running on a loopback address inside a sandbox program folder.
class RunningServiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    service = std::make_unique<Service>();
    catalogue = &service->Catalogue();
    catalogue->SetPresenceRetestInterval(std::chrono::milliseconds(0));
  }
  void TearDown() override {
    catalogue = nullptr;
    service.reset();
  }

  // Starts the threads on `address` and waits until both have opened their sockets.
  void Start(const std::string& address = "127.0.0.1") {
    ASSERT_EQ(service->SetServiceAddress(address), 1);
    Service::ThreadsState state = service->WaitForServiceThreads(std::chrono::seconds(5));
    ASSERT_TRUE(state.settled);
    ASSERT_TRUE(state.udpRunning) << state.udpError;
    ASSERT_TRUE(state.httpRunning) << state.httpError;
  }

  std::string Video(const std::string& name) { return sandbox.WriteFile("videos/" + name, name); }

  Sandbox sandbox;
  std::unique_ptr<Service> service;
  ShareCatalogue* catalogue = nullptr;  // the service's
};

}  // namespace brisel::test
