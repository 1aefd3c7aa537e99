#include "engine/cfb/file_output.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <random>
#include <system_error>

#include "engine/cfb/compound_file.h"

namespace msi::cfb {

void replaceFile(FileSystem& files, const std::filesystem::path& target,
                 std::initializer_list<std::span<const std::uint8_t>> parts) {
  try {
    TemporarySibling temp(target, files);
    std::uint64_t at = 0;
    for (const auto& part : parts) {
      writeAt(temp.file(), at, part.data(), part.size());
      at += part.size();
    }
    temp.commit();
  } catch (const SystemFailure& f) {
    throw Error(target.string() + ": " + f.message(), ErrorKind::Io);
  }
}

void replaceFile(FileSystem& files, const std::filesystem::path& target,
                 const std::function<void(const PieceWriter& put)>& write) {
  try {
    TemporarySibling temp(target, files);
    write([&](std::uint64_t offset, std::span<const std::uint8_t> bytes) {
      writeAt(temp.file(), offset, bytes.data(), bytes.size());
    });
    temp.commit();
  } catch (const SystemFailure& f) {
    throw Error(target.string() + ": " + f.message(), ErrorKind::Io);
  }
}

std::string SystemFailure::message() const { return what + ": " + std::strerror(error); }

namespace {
void check(int error, const std::string& what) {
  if (error != 0) throw SystemFailure{what, error};
}
}  // namespace

void writeAt(WritableFile& file, std::uint64_t offset, const std::uint8_t* data, std::size_t size) {
  check(file.writeAt(offset, data, size), "cannot write");
}

void syncData(WritableFile& file) { check(file.sync(), "cannot flush to disk"); }

void closeFile(WritableFile& file) { check(file.close(), "cannot close"); }

SequentialWriter::SequentialWriter(WritableFile& file) : file_(file) { buffer_.reserve(1 << 20); }

void SequentialWriter::write(const std::uint8_t* data, std::size_t size) {
  if (buffer_.size() + size > buffer_.capacity()) flush();
  if (size >= buffer_.capacity()) {
    writeAt(file_, offset_, data, size);
    offset_ += size;
    return;
  }
  buffer_.append(data, size);
}

void SequentialWriter::zeros(std::size_t size) {
  static constexpr std::uint8_t kZeros[4096] = {};
  while (size > 0) {
    const std::size_t n = std::min(size, sizeof kZeros);
    write(kZeros, n);
    size -= n;
  }
}

void SequentialWriter::flush() {
  if (buffer_.empty()) return;
  writeAt(file_, offset_, buffer_.data(), buffer_.size());
  offset_ += buffer_.size();
  buffer_.clear();
}

TemporarySibling::TemporarySibling(const std::filesystem::path& target, FileSystem& files)
    : files_(files), target_(target) {
  std::optional<mode_t> permissions;
  std::error_code error;
  if (const auto status = std::filesystem::status(target, error); !error && std::filesystem::exists(status))
    permissions = static_cast<mode_t>(status.permissions() & std::filesystem::perms::all);
  std::random_device random;
  const std::filesystem::path dir = target.has_parent_path() ? target.parent_path() : ".";
  for (int attempt = 0; attempt < 100; ++attempt) {
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".%08x.tmp", static_cast<unsigned>(random()));
    path_ = dir / ("." + target.filename().string() + suffix);
    const int error = files_.create(path_, permissions, file_);
    if (error == 0) return;
    if (error != EEXIST) check(error, "cannot create a temporary file in " + dir.string());
  }
  check(EEXIST, "cannot create a temporary file in " + dir.string());
}

TemporarySibling::~TemporarySibling() {
  if (done_ || !file_) return;
  file_.reset();
  files_.remove(path_);
}

void TemporarySibling::commit() {
  syncData(*file_);
  closeFile(*file_);
  check(files_.rename(path_, target_), "cannot rename the temporary file");
  done_ = true;
  // Make the rename itself durable; the new content is already in place, so a failure here
  // is not reported as a failed commit.
  files_.syncFolder(target_.has_parent_path() ? target_.parent_path() : ".");
}

}  // namespace msi::cfb
