// Fuzz target: arbitrary bytes as a compound file, opened as a package and run as a session:
// the UI sequence without dialogs, then costing again, a feature choice and a directory move.
// Messages and errors are expected; crashes, hangs and huge allocations are not.
// Seeds: the whole packages of fuzz/corpus/cfb (fuzz/seed.sh).
#include <cstddef>
#include <cstdint>

#include "engine/cfb/compound_file.h"
#include "engine/db/database.h"
#include "engine/session/sequence_runner.h"
#include "engine/session/session.h"

namespace {

class QuietHost : public msi::SessionHost {
 public:
  void message(msi::MessageKind, std::string_view) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::shared_ptr<msi::Database> db;
  try {
    auto reader = msi::cfb::Reader::fromBytes(msi::cfb::Bytes(data, data + size), "fuzz");
    db = msi::Database::open(reader);
  } catch (const std::exception&) {
    return 0;
  }
  QuietHost host;
  msi::SessionOptions options;
  options.machine = msi::EmulatedMachine{};
  options.host = &host;
  std::unique_ptr<msi::Session> session;
  try {
    session = msi::Session::open(db, options);
  } catch (const msi::Error&) {
    return 0;
  }
  // A table that cannot be read is an Error wherever it is first read.
  try {
    msi::SequenceOptions sequence;
    sequence.runDialogs = false;
    msi::runSequence(*session, "InstallUISequence", sequence);
  } catch (const msi::Error&) {
  }
  session->doAction("CostInitialize");
  session->doAction("CostFinalize");
  try {
    if (const msi::FeatureTree* features = session->featureTree(); features && !features->entries().empty())
      session->setFeatureRequestState(features->entries().front().name, msi::InstallState::Local, true);
    if (const msi::DirectoryTree* dirs = session->directoryTree(); dirs && !dirs->entries().empty())
      session->setTargetPath(dirs->entries().back().key, "C:\\Fuzz\\Target");
  } catch (const msi::Error&) {
  }
  (void)session->volumeCosts();
  return 0;
}
