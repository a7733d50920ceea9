#pragma once
// An ordered list of strings that tells its watchers when it changes. Several watchers may
// watch at once; a watcher stops being told as soon as its subscription is destroyed.
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class TStringList {
    struct Watchers {
        std::map<std::size_t, std::function<void()>> Handlers;
        std::size_t NextId = 1;
    };

public:
    // Owning handle of one watcher; may outlive the list.
    class TSubscription {
    public:
        TSubscription() = default;
        TSubscription(TSubscription&& other) noexcept { *this = std::move(other); }
        TSubscription& operator=(TSubscription&& other) noexcept;
        TSubscription(const TSubscription&) = delete;
        TSubscription& operator=(const TSubscription&) = delete;
        ~TSubscription() { Reset(); }
        void Reset();

    private:
        friend class TStringList;
        TSubscription(std::weak_ptr<Watchers> owner, std::size_t id)
            : owner_(std::move(owner)), id_(id) {}
        std::weak_ptr<Watchers> owner_;
        std::size_t id_ = 0;
    };

    TStringList() = default;
    explicit TStringList(std::vector<std::string> items) : items_(std::move(items)) {}
    // Copies take the items, not the watchers.
    TStringList(const TStringList& other) : items_(other.items_) {}
    TStringList& operator=(const TStringList& other);

    [[nodiscard]] TSubscription Subscribe(std::function<void()> onChange);

    std::size_t Count() const { return items_.size(); }
    bool Empty() const { return items_.empty(); }
    // Throws EListIndexError outside 0 .. Count() - 1.
    const std::string& At(long long index) const;
    const std::string& operator[](std::size_t index) const {
        return At(static_cast<long long>(index));
    }
    const std::vector<std::string>& Items() const { return items_; }

    void Add(std::string item);
    void Insert(long long index, std::string item);
    void Delete(long long index);
    void Set(long long index, std::string item);
    void Move(long long from, long long to);
    void Clear();
    void Assign(std::vector<std::string> items);

private:
    void Changed();
    void CheckIndex(long long index, std::size_t limit) const;

    std::vector<std::string> items_;
    std::shared_ptr<Watchers> watchers_ = std::make_shared<Watchers>();
};
