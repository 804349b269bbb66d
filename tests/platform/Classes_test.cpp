// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Classes.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/Application.h"

namespace orr {
namespace {

using ::testing::ElementsAre;

std::vector<std::string> Events;

class TRecorder : public TDataModule {
 public:
  TRecorder(TComponent* owner, std::string name, bool throwOnDestroy = false)
      : TDataModule(owner), throwOnDestroy_(throwOnDestroy) {
    Name = std::move(name);
  }
  ~TRecorder() override { Events.push_back("free " + Name); }

 protected:
  void DataModuleDestroy() override {
    // Every object of the tree is marked before any handler runs.
    std::string marks;
    for (TComponent* c = this; c != nullptr; c = c->Owner()) marks += c->IsDestroying() ? "D" : "-";
    Events.push_back("destroy " + Name + " " + marks);
    if (throwOnDestroy_) throw std::runtime_error(Name + " failed");
  }

 private:
  bool throwOnDestroy_;
};

TEST(Components, OwnerDestroysLastCreatedFirstHandlersBeforeChildren) {
  Events.clear();
  {
    TApplication app(std::make_unique<THeadlessBackend>());
    auto* a = TComponent::Create<TRecorder>(&app, "a");
    TComponent::Create<TRecorder>(a, "a1");
    TComponent::Create<TRecorder>(a, "a2");
    TComponent::Create<TRecorder>(&app, "b");
    app.Shutdown();
    EXPECT_EQ(app.ComponentCount(), 0);
  }
  EXPECT_THAT(Events, ElementsAre("destroy b DD", "free b", "destroy a DD", "destroy a2 DDD", "free a2",
                                  "destroy a1 DDD", "free a1", "free a"));
}

TEST(Components, FailingDestructionHandlerIsReportedAndTheNextOneStillRuns) {
  Events.clear();
  std::vector<std::string> reported;
  TApplication app(std::make_unique<THeadlessBackend>());
  app.OnException = [&](TComponent* sender, const std::exception& e) {
    reported.push_back(sender->Name + ": " + e.what());
  };
  TComponent::Create<TRecorder>(&app, "a");
  TComponent::Create<TRecorder>(&app, "b", true);
  app.Shutdown();
  EXPECT_THAT(reported, ElementsAre("b: b failed"));
  EXPECT_THAT(Events, ElementsAre("destroy b DD", "free b", "destroy a DD", "free a"));
}

TEST(Components, FreeComponentDestroysOnlyThatOneAndIgnoresStrangers) {
  Events.clear();
  TApplication app(std::make_unique<THeadlessBackend>());
  auto* a = TComponent::Create<TRecorder>(&app, "a");
  auto* b = TComponent::Create<TRecorder>(&app, "b");
  TRecorder stranger(nullptr, "s");
  app.FreeComponent(&stranger);
  app.FreeComponent(a);
  EXPECT_EQ(app.ComponentCount(), 1);
  EXPECT_EQ(app.Components(0), b);
  EXPECT_FALSE(b->IsDestroying());
  EXPECT_THAT(Events, ElementsAre("destroy a D-", "free a"));  // the owner goes on living
  app.Shutdown();
}

}  // namespace
}  // namespace orr
