#include "platform/base/U_StringList.h"

#include "platform/base/U_Errors.h"

TStringList::TSubscription& TStringList::TSubscription::operator=(TSubscription&& other) noexcept {
    if (this != &other) {
        Reset();
        owner_ = std::move(other.owner_);
        id_ = other.id_;
        other.id_ = 0;
    }
    return *this;
}

void TStringList::TSubscription::Reset() {
    if (auto owner = owner_.lock()) owner->Handlers.erase(id_);
    owner_.reset();
    id_ = 0;
}

TStringList& TStringList::operator=(const TStringList& other) {
    if (this != &other) Assign(other.items_);
    return *this;
}

TStringList::TSubscription TStringList::Subscribe(std::function<void()> onChange) {
    const std::size_t id = watchers_->NextId++;
    watchers_->Handlers.emplace(id, std::move(onChange));
    return TSubscription(watchers_, id);
}

void TStringList::CheckIndex(long long index, std::size_t limit) const {
    if (index < 0 || static_cast<unsigned long long>(index) >= limit) throw EListIndexError(index);
}

const std::string& TStringList::At(long long index) const {
    CheckIndex(index, items_.size());
    return items_[static_cast<std::size_t>(index)];
}

void TStringList::Add(std::string item) {
    items_.push_back(std::move(item));
    Changed();
}

void TStringList::Insert(long long index, std::string item) {
    CheckIndex(index, items_.size() + 1);
    items_.insert(items_.begin() + index, std::move(item));
    Changed();
}

void TStringList::Delete(long long index) {
    CheckIndex(index, items_.size());
    items_.erase(items_.begin() + index);
    Changed();
}

void TStringList::Set(long long index, std::string item) {
    CheckIndex(index, items_.size());
    items_[static_cast<std::size_t>(index)] = std::move(item);
    Changed();
}

void TStringList::Move(long long from, long long to) {
    CheckIndex(from, items_.size());
    CheckIndex(to, items_.size());
    if (from == to) return;
    std::string item = std::move(items_[static_cast<std::size_t>(from)]);
    items_.erase(items_.begin() + from);
    items_.insert(items_.begin() + to, std::move(item));
    Changed();
}

void TStringList::Clear() {
    items_.clear();
    Changed();
}

void TStringList::Assign(std::vector<std::string> items) {
    items_ = std::move(items);
    Changed();
}

void TStringList::Changed() {
    // A handler may unsubscribe others; walk a snapshot of the ids.
    std::vector<std::size_t> ids;
    for (const auto& entry : watchers_->Handlers) ids.push_back(entry.first);
    for (std::size_t id : ids) {
        auto it = watchers_->Handlers.find(id);
        if (it != watchers_->Handlers.end() && it->second) it->second();
    }
}
