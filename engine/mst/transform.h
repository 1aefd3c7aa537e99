// Transforms (.mst): the differences between two installer databases, stored so that the
// installer can replay them on the reference database.
//
// generateTransform compares a changed database with its reference and writes the change
// records; createTransformSummaryInfo adds the summary information the installer checks;
// applyTransform replays a transform on a database; describeTransform lists its changes.
//
// Decisions where the installer's documentation is silent (see also describe.cpp):
// - Identical databases give no transform: generateTransform returns false and writes
//   nothing (an existing file at `out` is left alone). A change to the neutral codepage 0
//   cannot be carried by a transform and does not count as a difference.
// - Update masks are 16 bits wide, so a row whose changed cells include a column past the
//   16th is written as a delete record followed by an insert record of the whole row, which
//   every applier replays as "replace the row" without any error condition.
// - Changes to `_Streams` and `_Storages` (cabinets, nested storages) and to the package's
//   own summary information are not part of a transform; binary cells of tables are.
// - Applying: the transform's codepage becomes the database's when they differ and the
//   database is neutral or error condition 0x20 allows it. Records for a table the database
//   does not have (and the transform does not add) are an error. When an error condition is
//   suppressed, the record that caused it is skipped: the existing row stays as it is, a
//   missing row is not created.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/db/database.h"

namespace msi::mst {

// Error conditions: each bit suppresses one kind of error while applying.
inline constexpr int kErrorAddExistingRow = 0x01;
inline constexpr int kErrorDeleteMissingRow = 0x02;
inline constexpr int kErrorAddExistingTable = 0x04;
inline constexpr int kErrorDeleteMissingTable = 0x08;
inline constexpr int kErrorUpdateMissingRow = 0x10;
inline constexpr int kErrorChangeCodepage = 0x20;
inline constexpr int kErrorViewTransform = 0x100;  // not supported: use describeTransform
inline constexpr int kErrorConditionsMask = 0x3F;

// Validation flags, stored in the transform's summary for the installer's checks.
inline constexpr int kValidateLanguage = 0x0001;
inline constexpr int kValidateProduct = 0x0002;
inline constexpr int kValidatePlatform = 0x0004;
inline constexpr int kValidateMajorVersion = 0x0008;
inline constexpr int kValidateMinorVersion = 0x0010;
inline constexpr int kValidateUpdateVersion = 0x0020;
inline constexpr int kValidateNewLessBaseVersion = 0x0040;
inline constexpr int kValidateNewLessEqualBaseVersion = 0x0080;
inline constexpr int kValidateNewEqualBaseVersion = 0x0100;
inline constexpr int kValidateNewGreaterEqualBaseVersion = 0x0200;
inline constexpr int kValidateNewGreaterBaseVersion = 0x0400;
inline constexpr int kValidateUpgradeCode = 0x0800;
inline constexpr int kValidationMask = 0x0FFF;

// Writes a transform that turns `reference` into `changed`, atomically. Returns false (and
// writes no file) when there is nothing to record. Throws Error naming the table or the file
// when the schemas cannot be related by a transform (a column redefined, removed, or a key
// added) or the file cannot be written. The same inputs always give the same bytes.
bool generateTransform(Database& changed, Database& reference, const std::filesystem::path& out,
                       cfb::FileSystem& files = cfb::FileSystem::system());

// Adds summary information to the transform at `mst` (made from the same two databases):
// templates, product codes and versions, the larger minimum installer version, and the
// error conditions and validation flags the installer uses when it applies the transform.
// Throws Error naming the database that lacks ProductCode or ProductVersion (or UpgradeCode
// when kValidateUpgradeCode is asked for). `created` defaults to the current time.
void createTransformSummaryInfo(Database& changed, Database& reference,
                                const std::filesystem::path& mst, int errorConditions,
                                int validation, std::optional<FileTime> created = std::nullopt,
                                cfb::FileSystem& files = cfb::FileSystem::system());

// Applies the transform at `mst` to `db` in memory (commit() writes it). Errors the flags do
// not suppress, damaged or hostile transforms, and records that name strings, columns or
// tables that do not exist throw Error; `db` is then as it was before the call.
void applyTransform(Database& db, const std::filesystem::path& mst, int errorConditions);
// The same for a transform already opened: in memory, a package's sub-storage, fuzzing.
void applyTransform(Database& db, std::shared_ptr<const cfb::Reader> mst, int errorConditions);

// The error conditions stored in a transform's summary information (its low word), if any.
std::optional<int> storedErrorConditions(const std::filesystem::path& mst);

// One change of a transform, as `transform show` prints it.
struct Change {
  enum Kind { AddTable, DropTable, AddColumn, InsertRow, UpdateCell, DeleteRow, Codepage, Undecoded };
  Kind kind = UpdateCell;
  std::string table;
  std::string key;       // primary-key values joined with '.', as in binary stream names
  std::string column;    // column name; for AddColumn also; empty for row and table changes
  std::string oldValue;  // from the base database when one is given
  std::string newValue;  // cell text; binary cells as "[binary N bytes]"; column definitions
  bool binary = false;   // a cell of a binary column: its data is the stream "table.key"
};

// Every change of the transform at `mst`, in the order the records hold them. Table layouts
// come from `base` when given (old values too), else from the transform's own `_Columns`
// records and the standard installer tables; records of other tables are listed as one
// Undecoded line per table.
std::vector<Change> describeTransform(const std::filesystem::path& mst, Database* base);
std::vector<Change> describeTransform(std::shared_ptr<const cfb::Reader> mst, Database* base);

// One line of text, fields separated by TAB: operation, table, key, column, old, new.
// TAB, CR, LF and backslash inside fields are escaped as \t \r \n \\.
std::string formatChange(const Change& change);

}  // namespace msi::mst
