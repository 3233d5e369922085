// The base of the library's non-visual components: an owner that destroys
// what it owns, a name and a tag.  Destroying a component destroys the
// components it owns (last created first) and removes it from its owner.
// A component given an owner is therefore allocated with new and left to it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "zorellz/platform/Export.h"

ZORELLZ_API_BEGIN
namespace zorellz {

class TComponent {
 public:
  explicit TComponent(TComponent* owner);
  virtual ~TComponent();

  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  TComponent* Owner() const { return owner_; }
  int ComponentCount() const { return static_cast<int>(owned_.size()); }
  TComponent* Components(int index) const { return owned_.at(static_cast<std::size_t>(index)); }

  std::string Name;
  std::int32_t Tag = 0;

 private:
  TComponent* owner_;
  std::vector<TComponent*> owned_;
};

}  // namespace zorellz
ZORELLZ_API_END
