// Cell values: null, integer, UTF-8 text or a lazily loaded binary blob.
#include "engine/db/value.h"

namespace msi {

struct Blob::State {
  std::optional<Bytes> data;
  std::function<Bytes()> loader;
};

Blob::Blob(Bytes data) : state_(std::make_shared<State>()) { state_->data = std::move(data); }

Blob::Blob(std::function<Bytes()> loader) : state_(std::make_shared<State>()) {
  state_->loader = std::move(loader);
}

const Bytes& Blob::bytes() const {
  static const Bytes empty;
  if (!state_) return empty;
  if (!state_->data) {
    // A loader that throws leaves the blob unloaded, so a later call can retry.
    state_->data = state_->loader ? state_->loader() : Bytes();
    state_->loader = nullptr;
  }
  return *state_->data;
}

bool Blob::sameAs(const Blob& other) const noexcept { return state_ == other.state_; }

bool Blob::operator==(const Blob& other) const {
  if (state_ == other.state_) return true;
  return bytes() == other.bytes();
}

Value::Value(std::string s) {
  if (!s.empty()) v_ = std::move(s);
}

std::string Value::text() const {
  if (isInt()) return std::to_string(asInt());
  if (isString()) return asString();
  return {};
}

}  // namespace msi
