#include "zorellz/component/Component.h"

#include <algorithm>

namespace zorellz {

TComponent::TComponent(TComponent* owner) : owner_(owner) {
  if (owner_ != nullptr) owner_->owned_.push_back(this);
}

TComponent::~TComponent() {
  // Each owned component takes itself off the list as it goes, so the last
  // one created is always at the back.
  while (!owned_.empty()) delete owned_.back();
  if (owner_ != nullptr) {
    std::vector<TComponent*>& siblings = owner_->owned_;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
  }
}

}  // namespace zorellz
