#include "engine/session/sequence_runner.h"

#include <algorithm>

#include "engine/session/table_rows.h"

namespace msi {

SequenceResult runSequence(Session& session, std::string_view table,
                           const SequenceOptions& options) {
  SequenceResult result;
  const TableRows rows(*session.database(), table, {"Action", "Condition", "Sequence"});
  result.tableFound = rows.exists();
  struct Row {
    std::string action, condition;
    int sequence;
  };
  std::vector<Row> order;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const auto sequence = rows.integer(i, 2);
    if (sequence && *sequence > 0) order.push_back({rows.text(i, 0), rows.text(i, 1), *sequence});
  }
  std::stable_sort(order.begin(), order.end(),
                   [](const Row& a, const Row& b) { return a.sequence < b.sequence; });

  for (const Row& row : order) {
    SequenceStep step{row.action, row.sequence};
    if (!row.condition.empty() &&
        session.evaluateCondition(row.condition) == ConditionResult::False) {
      step.kind = SequenceStep::Kind::ConditionFalse;
      result.steps.push_back(step);
      continue;
    }
    if (row.action == "ExecuteAction" && options.stopAtExecuteAction) {
      step.kind = SequenceStep::Kind::ExecuteAction;
      result.steps.push_back(step);
      break;
    }
    if (!options.runDialogs && session.actionKind(row.action) == Session::ActionKind::Dialog) {
      step.kind = SequenceStep::Kind::DialogSkipped;
      result.steps.push_back(step);
      continue;
    }
    step.status = session.doAction(row.action);
    result.steps.push_back(step);
    if (step.status == ActionStatus::Finished) break;
    if (step.status != ActionStatus::Success && step.status != ActionStatus::NoAction) {
      result.status = step.status;
      break;
    }
  }
  return result;
}

}  // namespace msi
