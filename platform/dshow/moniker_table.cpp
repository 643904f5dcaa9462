#include "platform/dshow/moniker_table.h"

#include <algorithm>
#include <cctype>

namespace {

bool SameName(const std::u16string& a, const WCHAR* b) { return DsEqualNoCase(a.c_str(), b); }

bool TakesType(const MonikerEntry& e, const AM_MEDIA_TYPE* type) {
  if (!type) return true;
  for (const FilterPinType& t : e.inputs)
    if (DsMatchesPartialType(type, t.major, t.subtype)) return true;
  return false;
}

std::string ExtensionOf(const WCHAR* fileName) {
  const std::string name = DsNarrow(fileName);
  const size_t slash = name.find_last_of('/');
  const size_t dot = name.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  std::string ext = name.substr(dot + 1);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext;
}

}  // namespace

bool IsWellFormedDisplayName(const WCHAR* name) {
  static constexpr char16_t kPrefix[] = u"@device:";
  if (!name) return false;
  size_t i = 0;
  for (; kPrefix[i]; ++i) {
    WCHAR c = name[i];
    if (c >= u'A' && c <= u'Z') c = static_cast<WCHAR>(c - u'A' + u'a');
    if (c != kPrefix[i]) return false;
  }
  size_t letters = 0;
  for (; name[i] && name[i] != u':'; ++i, ++letters) {
    const WCHAR c = name[i];
    if (!((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'))) return false;
  }
  return letters >= 2 && name[i] == u':' && name[i + 1] != 0;
}

CMonikerTable& CMonikerTable::Instance() {
  static CMonikerTable table;
  return table;
}

void CMonikerTable::Register(const MonikerEntry& entry) {
  std::lock_guard lock(lock_);
  for (MonikerEntry& e : entries_) {
    if (SameName(e.displayName, entry.displayName.c_str())) {
      e = entry;
      return;
    }
  }
  entries_.push_back(entry);
}

bool CMonikerTable::Unregister(const WCHAR* displayName) {
  std::lock_guard lock(lock_);
  const auto it = std::find_if(entries_.begin(), entries_.end(),
                               [&](const MonikerEntry& e) { return SameName(e.displayName, displayName); });
  if (it == entries_.end()) return false;
  entries_.erase(it);
  return true;
}

bool CMonikerTable::Contains(const WCHAR* displayName) const {
  std::lock_guard lock(lock_);
  return std::any_of(entries_.begin(), entries_.end(),
                     [&](const MonikerEntry& e) { return SameName(e.displayName, displayName); });
}

HRESULT CMonikerTable::Bind(const WCHAR* displayName, IBaseFilter** out) const {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!IsWellFormedDisplayName(displayName)) return MK_E_SYNTAX;
  FilterFactory create = nullptr;
  void* context = nullptr;
  {
    std::lock_guard lock(lock_);
    for (const MonikerEntry& e : entries_) {
      if (SameName(e.displayName, displayName)) {
        create = e.create;
        context = e.context;
        break;
      }
    }
  }
  if (!create) return MK_E_NOOBJECT;
  // The factory runs outside the table's lock: it may register filters itself.
  *out = create(context);
  return *out ? S_OK : E_OUTOFMEMORY;
}

std::vector<MonikerEntry> CMonikerTable::Find(FilterRole role, const AM_MEDIA_TYPE* inputType) const {
  std::vector<MonikerEntry> found;
  {
    std::lock_guard lock(lock_);
    for (const MonikerEntry& e : entries_)
      if (e.role == role && e.create && TakesType(e, inputType)) found.push_back(e);
  }
  std::stable_sort(found.begin(), found.end(),
                   [](const MonikerEntry& a, const MonikerEntry& b) { return a.merit > b.merit; });
  return found;
}

std::vector<MonikerEntry> CMonikerTable::SourcesFor(const WCHAR* fileName) const {
  const std::string ext = ExtensionOf(fileName);
  std::vector<MonikerEntry> claiming;
  std::vector<MonikerEntry> general;
  for (MonikerEntry& e : Find(FilterRole::kSource, nullptr)) {
    if (e.extensions.empty()) {
      general.push_back(std::move(e));
    } else if (!ext.empty() && std::find(e.extensions.begin(), e.extensions.end(), ext) != e.extensions.end()) {
      claiming.push_back(std::move(e));
    }
  }
  claiming.insert(claiming.end(), std::make_move_iterator(general.begin()), std::make_move_iterator(general.end()));
  return claiming;
}
