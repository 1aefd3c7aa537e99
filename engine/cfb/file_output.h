// Writing files safely over the file seam: whole writes that report errno, a buffered
// sequential writer, and a temporary sibling that either replaces its target by rename or
// disappears. Private to engine/cfb.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "engine/cfb/file_system.h"

namespace msi::cfb {

// A failed file operation; `what` says what was being done, `error` (an errno value) why.
struct SystemFailure {
  std::string what;
  int error = 0;
  std::string message() const;  // "<what>: <strerror>"
};

// These throw SystemFailure.
void writeAt(WritableFile& file, std::uint64_t offset, const std::uint8_t* data, std::size_t size);
void syncData(WritableFile& file);
void closeFile(WritableFile& file);

// Sequential writer with a buffer, for writing a whole new file.
class SequentialWriter {
 public:
  explicit SequentialWriter(WritableFile& file);
  void write(const std::uint8_t* data, std::size_t size);
  void zeros(std::size_t size);
  void flush();
  std::uint64_t written() const { return offset_ + buffer_.size(); }

 private:
  WritableFile& file_;
  std::uint64_t offset_ = 0;
  std::basic_string<std::uint8_t> buffer_;
};

// A new file beside `target`, named so it cannot collide, created with the permissions a new
// file would get (or the target's, when it exists). Unless commit() succeeds, the destructor
// removes it.
class TemporarySibling {
 public:
  TemporarySibling(const std::filesystem::path& target, FileSystem& files);  // throws SystemFailure
  ~TemporarySibling();
  TemporarySibling(const TemporarySibling&) = delete;
  TemporarySibling& operator=(const TemporarySibling&) = delete;

  WritableFile& file() { return *file_; }
  const std::filesystem::path& path() const { return path_; }
  // Flushes to disk, renames over the target and makes the rename durable.
  void commit();

 private:
  FileSystem& files_;
  std::filesystem::path target_;
  std::filesystem::path path_;
  std::unique_ptr<WritableFile> file_;
  bool done_ = false;
};

}  // namespace msi::cfb
