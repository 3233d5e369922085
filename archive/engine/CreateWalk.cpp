// Wildcard mode: the files matching a mask in a base folder and, with
// recursion, in the folders below it, walked breadth first.
//
// Folder slots are the folder entries' numbers: slot 0 is the base folder
// (the archive's root), the walk's kept folders take slots 1.. in the order
// found, and folders re-created to complete a path follow them.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "archive/engine/CreateCollect.h"
#include "archive/engine/EngineState.h"
#include "platform/DosTime.h"
#include "platform/Names.h"

namespace zorellz {

namespace {

constexpr std::size_t kMaxSlots = static_cast<std::size_t>(kLZMaxFolders) + 1;

struct TFolderSlot {
  std::string Path;  // with its trailing separator; "" is the current folder
  std::string StoredName;
  std::int32_t DateTime = 0;
  // Re-created to complete the path of a kept folder below it.
  bool Intermediate = false;
  // Left out with all it holds: no slot was left for a folder above it.
  bool Dropped = false;
  std::size_t Parent = 0;
  std::vector<TDirEntry> Files;  // those matching the mask
};

struct TFolderListing {
  std::vector<std::string> Subfolders;
  std::vector<TDirEntry> Files;
};

// Whether a listed file is one of the outputs, from its listing's status
// when that is known.
bool IsOutput(const std::string& path, const TDirEntry& entry, const TLZOutputFiles& outputs) {
  if (!entry.StatusKnown) return LZIsOutputFile(path, outputs);
  const std::vector<TFileIdentity>& identities = outputs.Identities;
  return std::find(identities.begin(), identities.end(), entry.Status.Identity) !=
         identities.end();
}

std::string WithoutSeparator(const std::string& folder) {
  return folder.empty() ? folder : folder.substr(0, folder.size() - 1);
}

TFolderSlot MakeSlot(std::string path, std::string stored_name, std::int32_t date_time) {
  TFolderSlot slot;
  slot.Path = std::move(path);
  slot.StoredName = std::move(stored_name);
  slot.DateTime = date_time;
  return slot;
}

class TFolderWalk {
 public:
  TFolderWalk(const std::string& file_specs, TLZRecurse recurse, const TLZOutputFiles& outputs,
              const TLZCollection& collection)
      : mask_(ExtractFileName(file_specs)),
        recurse_(recurse),
        outputs_(outputs),
        collection_(collection) {
    slots_.push_back(MakeSlot(ExtractFilePath(file_specs), "", 0));
    FirstVisit(slots_[0].Path.empty() ? "." : slots_[0].Path);
  }

  void Run(TLZCollection& collection) {
    ScanFolders();
    LinkParents();
    const std::vector<std::uint16_t> numbers = NumberFolders();
    AddFolderEntries(numbers, collection);
    AddFileEntries(numbers, collection);
  }

 private:
  // Visits the slots in order, appending subfolders while recursion is on
  // and removing folders that hold nothing to take.
  void ScanFolders() {
    bool recursing = recurse_ != LZNoRecurse;
    const bool keep_every_folder = !mask_.empty() && mask_.back() == '*';
    std::size_t p = 0;
    while (p < slots_.size()) {
      const std::string folder = slots_[p].Path;
      TFolderListing listing = ListFolder(folder);
      if (recursing) AppendSubfolders(folder, listing.Subfolders);
      if (p == 0 && recurse_ == LZRecurseOnce) recursing = false;
      if (p > 0 && listing.Files.empty() && !keep_every_folder) {
        // Its subfolders, appended above, stay: they may hold matches.
        slots_.erase(slots_.begin() + static_cast<std::ptrdiff_t>(p));
        continue;
      }
      slots_[p].Files = std::move(listing.Files);
      ++p;
    }
  }

  TFolderListing ListFolder(const std::string& folder) const {
    std::vector<TDirEntry> entries;
    ListDirectory(folder.empty() ? "." : folder, entries);
    TFolderListing listing;
    for (const TDirEntry& entry : entries) {
      // A folder reached through a link could lead back up or out of the
      // tree, so it is not descended.
      if (entry.IsDirectory && !entry.IsSymlink) {
        listing.Subfolders.push_back(entry.Name);
      } else if (!LZMatchCreateMask(mask_, entry.Name)) {
        continue;
      } else if (!entry.IsRegular) {
        // Never read (it could block or lead out of the tree), but named.
        collection_.Skip(folder + entry.Name, TLZSkipReason::kNotRegular);
      } else if (!IsOutput(folder + entry.Name, entry, outputs_)) {
        listing.Files.push_back(entry);
      }
    }
    return listing;
  }

  void AppendSubfolders(const std::string& folder, const std::vector<std::string>& names) {
    for (const std::string& name : names) {
      const std::string path = folder + name;
      std::optional<std::string> stored_name = LZStoredName(name);
      if (!FirstVisit(path)) continue;
      if (slots_.size() >= kMaxSlots) {
        collection_.Skip(path, TLZSkipReason::kEntryLimit);
      } else if (!stored_name) {
        collection_.Skip(path, TLZSkipReason::kNameNotStorable);
      } else {
        slots_.push_back(
            MakeSlot(path + kNativeSeparator, std::move(*stored_name), GetFileDosDate(path)));
      }
    }
  }

  // False for a folder met before under another path: a folder mounted
  // inside itself would otherwise be walked without end.
  bool FirstVisit(const std::string& path) {
    TFileIdentity identity;
    if (!GetFileIdentity(path, identity)) return false;
    return visited_.emplace(identity.Device, identity.Inode).second;
  }

  // Gives every kept folder its parent's slot.  A parent that the scan
  // removed is re-created; when no slot is left for it, the folder is
  // dropped rather than put under a wrong parent.
  void LinkParents() {
    const std::size_t walked = slots_.size();
    for (std::size_t p = 0; p < walked; ++p) index_.emplace(slots_[p].Path, p);
    for (std::size_t p = 1; p < walked; ++p) {
      const std::string parent_path = ExtractFilePath(WithoutSeparator(slots_[p].Path));
      const std::optional<std::size_t> parent = ResolveFolder(parent_path);
      if (parent && !slots_[*parent].Dropped) {
        slots_[p].Parent = *parent;
      } else {
        slots_[p].Dropped = true;
      }
    }
  }

  // The slot of `folder`, re-creating on the way down from the base the
  // folders that are missing; empty when a folder on the way is dropped or
  // cannot be re-created.
  std::optional<std::size_t> ResolveFolder(const std::string& folder) {
    if (const auto found = index_.find(folder); found != index_.end()) return found->second;
    std::size_t previous = 0;
    std::string walked = slots_[0].Path;
    while (walked.size() < folder.size()) {
      const std::size_t end = folder.find(kNativeSeparator, walked.size());
      if (end == std::string::npos) return std::nullopt;
      walked = folder.substr(0, end + 1);
      if (const auto found = index_.find(walked); found != index_.end()) {
        if (slots_[found->second].Dropped) return std::nullopt;
        previous = found->second;
        continue;
      }
      const std::optional<std::size_t> created = AppendIntermediate(walked, previous);
      if (!created) return std::nullopt;
      previous = *created;
    }
    return previous;
  }

  std::optional<std::size_t> AppendIntermediate(const std::string& path, std::size_t parent) {
    if (slots_.size() >= kMaxSlots) return std::nullopt;
    std::optional<std::string> stored_name = LZStoredName(ExtractFileName(WithoutSeparator(path)));
    if (!stored_name) return std::nullopt;
    TFolderSlot slot = MakeSlot(path, std::move(*stored_name), kLZFolderDate);
    slot.Intermediate = true;
    slot.Parent = parent;
    slots_.push_back(std::move(slot));
    index_.emplace(path, slots_.size() - 1);
    return slots_.size() - 1;
  }

  // The entry number of each slot once the dropped ones are taken out.
  std::vector<std::uint16_t> NumberFolders() const {
    std::vector<std::uint16_t> numbers(slots_.size(), 0);
    std::uint16_t next = 0;
    for (std::size_t p = 0; p < slots_.size(); ++p) {
      if (!slots_[p].Dropped) numbers[p] = next++;
    }
    return numbers;
  }

  void AddFolderEntries(const std::vector<std::uint16_t>& numbers, TLZCollection& collection) {
    for (std::size_t p = 1; p < slots_.size(); ++p) {
      const TFolderSlot& slot = slots_[p];
      if (slot.Dropped) continue;
      TLZBuildEntry entry;
      entry.IsFolder = true;
      entry.FolderIndex = numbers[p];
      entry.ParentIndex = numbers[slot.Parent];
      entry.Version = "-";
      entry.DateTime = slot.DateTime;
      entry.Path = WithoutSeparator(slot.Path);
      entry.StoredName = slot.StoredName;
      // Folders found by the scan carry no attributes; re-created ones
      // carry those the folder has now.
      if (slot.Intermediate) entry.Attributes = std::max(GetFileAttributesNative(entry.Path), 0);
      entry.Number = static_cast<std::int32_t>(collection.Entries.size() + 1);
      entry.Method = kLZMethodFolder;
      collection.Entries.push_back(std::move(entry));
    }
  }

  void AddFileEntries(const std::vector<std::uint16_t>& numbers, TLZCollection& collection) {
    for (std::size_t p = 0; p < slots_.size(); ++p) {
      for (const TDirEntry& file : slots_[p].Files) {
        const std::string path = slots_[p].Path + file.Name;
        if (slots_[p].Dropped) {
          collection.Skip(path, TLZSkipReason::kEntryLimit);
        } else if (file.StatusKnown) {
          LZCollectFile(path, file.Status, numbers[p], outputs_, collection);
        } else {
          LZCollectFile(path, numbers[p], outputs_, collection);
        }
      }
    }
  }

  const std::string mask_;
  const TLZRecurse recurse_;
  const TLZOutputFiles& outputs_;
  const TLZCollection& collection_;
  std::vector<TFolderSlot> slots_;
  std::unordered_map<std::string, std::size_t> index_;
  std::set<std::pair<std::uint64_t, std::uint64_t>> visited_;
};

}  // namespace

void LZCollectWildcard(const std::string& file_specs, TLZRecurse recurse,
                       const TLZOutputFiles& outputs, TLZCollection& collection) {
  TFolderWalk(file_specs, recurse, outputs, collection).Run(collection);
}

}  // namespace zorellz
