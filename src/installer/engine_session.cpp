#include "src/installer/engine_session.h"

#include "src/installer/engine_database.h"

namespace fennick::installer {
namespace {

constexpr int kErrorFunctionFailed = 1627;
constexpr int kErrorUnknownFeature = 1606;

class EngineSession final : public Session {
 public:
  EngineSession(std::unique_ptr<msi::Session> session, std::function<void()> afterAction)
      : session_(std::move(session)), afterAction_(std::move(afterAction)) {}

  std::string Property(std::string_view name) override {
    return Translate([&] { return session_->property(name); }, kErrorFunctionFailed);
  }
  std::shared_ptr<installer::Database> Database() override {
    return Translate([&] { return WrapDatabase(session_->database()); }, kErrorFunctionFailed);
  }
  std::int32_t EvaluateCondition(std::string_view condition) override {
    return Translate([&] { return static_cast<std::int32_t>(session_->evaluateCondition(condition)); },
                     kErrorFunctionFailed);
  }
  std::int32_t DoAction(std::string_view action) override {
    const auto status =
        Translate([&] { return static_cast<std::int32_t>(session_->doAction(action)); }, kErrorFunctionFailed);
    if (afterAction_) afterAction_();
    return status;
  }
  std::int32_t FeatureRequestState(std::string_view feature) override {
    return Translate([&] { return static_cast<std::int32_t>(session_->featureRequestState(feature)); },
                     kErrorUnknownFeature);
  }

 private:
  std::unique_ptr<msi::Session> session_;
  std::function<void()> afterAction_;
};

// A silent session's messages go nowhere.
class QuietHost final : public msi::SessionHost {
 public:
  void message(msi::MessageKind, std::string_view) override {}
};

std::function<void()> AfterAction(const EngineSetup& setup) {
  if (!setup.dialogs) return {};
  return [dialogs = setup.dialogs] { dialogs->AfterAction(); };
}

}  // namespace

std::shared_ptr<Session> OpenEngineSession(std::shared_ptr<msi::Database> database, int uiLevel,
                                           const EngineSetup& setup) {
  static QuietHost quiet;
  return Translate([&]() -> std::shared_ptr<Session> {
    msi::SessionOptions options;
    options.uiLevel = uiLevel;
    const bool full = uiLevel == kUILevelFull;
    options.host = full ? setup.messages : &quiet;
    options.dialogs = full && setup.dialogs ? &setup.dialogs->Runner() : nullptr;
    if (setup.machine) options.machine = *setup.machine;
    if (full) options.properties = setup.properties;
    return std::make_shared<EngineSession>(msi::Session::open(std::move(database), std::move(options)),
                                           full ? AfterAction(setup) : std::function<void()>{});
  }, 1619);
}

std::shared_ptr<Session> OpenEngineSession(
    std::string_view packagePath, int uiLevel, const EngineSetup& setup,
    const std::function<std::shared_ptr<msi::Database>(const std::string& path)>& open) {
  return Translate([&]() -> std::shared_ptr<Session> {
    msi::SessionOptions options;
    options.uiLevel = uiLevel;
    options.host = setup.messages;
    options.dialogs = setup.dialogs ? &setup.dialogs->Runner() : nullptr;
    if (setup.machine) options.machine = *setup.machine;
    if (uiLevel == kUILevelFull) options.properties = setup.properties;
    return std::make_shared<EngineSession>(msi::Session::open(open(std::string(packagePath)), std::move(options)),
                                           AfterAction(setup));
  }, 1619);
}

}  // namespace fennick::installer
