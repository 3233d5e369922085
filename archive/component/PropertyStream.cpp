#include "zorellz/component/PropertyStream.h"

#include <array>
#include <functional>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/Names.h"

namespace zorellz {
namespace {

// One stored value bound to its setter, ready to apply.
using TPropertyAction = std::function<void(TZorelLZObj&)>;

[[noreturn]] void Refuse(const TStoredProperty& property, const std::string& cause) {
  throw EStoredPropertyError(property.Name, cause);
}

template <typename T>
const T& ValueAs(const TStoredProperty& property, const char* kind) {
  const T* value = std::get_if<T>(&property.Value);
  if (value == nullptr) Refuse(property, std::string("needs ") + kind);
  return *value;
}

// ---- Enumeration identifiers ----

template <typename E>
struct TIdentifier {
  std::string_view Name;
  E Value;
};

constexpr std::array<TIdentifier<TLZRecurse>, 3> kRecurseIdentifiers = {{
    {"LZNoRecurse", LZNoRecurse},
    {"LZRecurseOnce", LZRecurseOnce},
    {"LZFullRecurse", LZFullRecurse},
}};

constexpr std::array<TIdentifier<TLZCompressionChoices>, 3> kCompressionIdentifiers = {{
    {"LZNoCompression", LZNoCompression},
    {"LZFastCompression", LZFastCompression},
    {"LZMaxCompression", LZMaxCompression},
}};

constexpr std::array<TIdentifier<LZFloppyDiskTypes>, 7> kDiskTypeIdentifiers = {{
    {"FloppyDisk1440", FloppyDisk1440},
    {"FloppyDisk720", FloppyDisk720},
    {"FloppyDisk2880", FloppyDisk2880},
    {"FloppyDisk360", FloppyDisk360},
    {"FloppyDisk1200", FloppyDisk1200},
    {"FloppyDiskZip", FloppyDiskZip},
    {"FloppyDiskOther", FloppyDiskOther},
}};

template <typename E, std::size_t N>
E IdentifierValue(const TStoredProperty& property,
                  const std::array<TIdentifier<E>, N>& identifiers) {
  const std::string& name = ValueAs<TStoredIdent>(property, "an identifier").Name;
  for (const TIdentifier<E>& identifier : identifiers) {
    if (SameTextAscii(identifier.Name, name)) return identifier.Value;
  }
  Refuse(property, "unknown identifier \"" + name + "\"");
}

// ---- Binding values to setters ----

template <auto Setter>
TPropertyAction BindString(const TStoredProperty& property) {
  std::string value = ValueAs<std::string>(property, "a string");
  return [value = std::move(value)](TZorelLZObj& object) { (object.*Setter)(value); };
}

template <auto Setter>
TPropertyAction BindBoolean(const TStoredProperty& property) {
  const bool value = ValueAs<bool>(property, "a Boolean");
  return [value](TZorelLZObj& object) { (object.*Setter)(value); };
}

template <auto Setter>
TPropertyAction BindInteger(const TStoredProperty& property) {
  const std::int32_t value = ValueAs<std::int32_t>(property, "an integer");
  return [value](TZorelLZObj& object) { (object.*Setter)(value); };
}

template <auto Setter, const auto& kIdentifiers>
TPropertyAction BindIdentifier(const TStoredProperty& property) {
  const auto value = IdentifierValue(property, kIdentifiers);
  return [value](TZorelLZObj& object) { (object.*Setter)(value); };
}

struct TPropertySlot {
  std::string_view Name;
  TPropertyAction (*Bind)(const TStoredProperty&);
};

constexpr std::array<TPropertySlot, 18> kWritableProperties = {{
    {"InputFileName", BindString<&TZorelLZObj::SetInputName>},
    {"OutputFileName", BindString<&TZorelLZObj::SetOutputName>},
    {"RecurseDirs", BindIdentifier<&TZorelLZObj::SetRecurseDirs, kRecurseIdentifiers>},
    {"DearchiveRecurse", BindBoolean<&TZorelLZObj::SetDearchiveRecurse>},
    {"CheckFileCRCs", BindBoolean<&TZorelLZObj::SetCheckFileCRC>},
    {"ExtractUnExpanded", BindBoolean<&TZorelLZObj::SetExtractUnExpanded>},
    {"CompressionChoice",
     BindIdentifier<&TZorelLZObj::SetCompressionChoices, kCompressionIdentifiers>},
    {"ExtensionstoStore", BindString<&TZorelLZObj::SetExtensionstoStore>},
    {"ArchiveName", BindString<&TZorelLZObj::SetArchiveName>},
    {"ArchiveFileSpecs", BindString<&TZorelLZObj::SetArchiveFileSpecs>},
    {"DeArchiveMask", BindString<&TZorelLZObj::SetDeArchiveMask>},
    {"SFXStub", BindString<&TZorelLZObj::SetSFXStub>},
    {"SFXArchiveName", BindString<&TZorelLZObj::SetSFXArchiveName>},
    {"MakeSFXArchive", BindBoolean<&TZorelLZObj::SetMakeSfxValue>},
    {"SpanDisks", BindBoolean<&TZorelLZObj::SetSpanDisks>},
    {"SpanDiskSize", BindInteger<&TZorelLZObj::SetSpanDiskSize>},
    {"SpanDiskType", BindIdentifier<&TZorelLZObj::SetSpanDiskType, kDiskTypeIdentifiers>},
    {"DeArchiveTargetDirectory", BindString<&TZorelLZObj::SetTargetDirectory>},
}};

// Published, but never stored: computed values, and events, which programs
// assign in code.
constexpr std::array<std::string_view, 3> kReadOnlyProperties = {"ArchiveSize", "SpanDiskCount",
                                                                 "SpanArchiveName"};
constexpr std::array<std::string_view, 9> kEvents = {
    "OnConfirmOverwrite", "OnProgressReport", "OnSeekToReName",  "OnListArchive",  "OnViewArchive",
    "OnRequestPassWord",  "OnCheckPassWord",  "OnMatchFileName", "OnPromptForDisk"};

template <std::size_t N>
bool IsOneOf(const std::string& name, const std::array<std::string_view, N>& names) {
  for (std::string_view candidate : names) {
    if (SameTextAscii(candidate, name)) return true;
  }
  return false;
}

TPropertyAction Bind(const TStoredProperty& property) {
  for (const TPropertySlot& slot : kWritableProperties) {
    if (SameTextAscii(slot.Name, property.Name)) return slot.Bind(property);
  }
  if (IsOneOf(property.Name, kReadOnlyProperties)) Refuse(property, "is read-only");
  if (IsOneOf(property.Name, kEvents)) Refuse(property, "is an event, assigned in code");
  Refuse(property, "no such property");
}

}  // namespace

EStoredPropertyError::EStoredPropertyError(const std::string& property, const std::string& cause)
    : std::runtime_error("stored property \"" + property + "\": " + cause), property_(property) {}

void ApplyStoredProperties(TZorelLZObj& object, std::span<const TStoredProperty> values) {
  // Every value is checked before the first setter runs.
  std::vector<TPropertyAction> actions;
  actions.reserve(values.size());
  for (const TStoredProperty& property : values) actions.push_back(Bind(property));
  for (const TPropertyAction& action : actions) action(object);
}

}  // namespace zorellz
