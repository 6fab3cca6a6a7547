#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace torvex {

// The name table's hash: h starts as the first byte (0 for ""), then h = h * 38 + c for every byte
// from the first; the result is (h * 19 + 12451) mod 8882693, in wrapping 32-bit arithmetic.
inline std::uint32_t nameHash(const char* key) {
    const auto* p   = reinterpret_cast<const unsigned char*>(key);
    std::uint32_t h = *p;
    for (; *p; ++p) h = h * 38u + *p;
    return (h * 19u + 12451u) % 8882693u;
}

// A chained hash table keyed by exact, case-sensitive texts. Buckets keep their entries in
// insertion order; the bucket count starts at 8 on the first insert and doubles whenever the
// entries would outnumber the buckets. Walks go bucket by bucket, entry by entry.
template <typename Value> class NameTable {
public:
    struct Entry {
        std::string key;
        std::uint32_t hash;
        Value value;
        Entry* next = nullptr;
    };

    NameTable()                            = default;
    NameTable(const NameTable&)            = delete;
    NameTable& operator=(const NameTable&) = delete;
    NameTable(NameTable&& other) noexcept
        : buckets_(std::move(other.buckets_)), count_(std::exchange(other.count_, 0)) {
        other.buckets_.clear();
    }
    NameTable& operator=(NameTable&& other) noexcept {
        if (this != &other) {
            clear();
            buckets_ = std::move(other.buckets_);
            other.buckets_.clear();
            count_ = std::exchange(other.count_, 0);
        }
        return *this;
    }
    ~NameTable() { clear(); }

    Value* find(const char* key) {
        if (buckets_.empty()) return nullptr;
        std::uint32_t h = nameHash(key);
        for (Entry* e = buckets_[h % buckets_.size()].first; e; e = e->next)
            if (e->hash == h && e->key == key) return &e->value;
        return nullptr;
    }
    const Value* find(const char* key) const { return const_cast<NameTable*>(this)->find(key); }

    // Adds an entry without looking for an existing one; the value's address stays stable.
    Value& insert(const char* key, Value value) {
        auto* e = new Entry{key, nameHash(key), std::move(value)};
        if (++count_ >= buckets_.size()) grow();
        link(e);
        return e->value;
    }

    // Replaces the value of an existing entry, or adds one.
    Value& assign(const char* key, Value value) {
        if (Value* existing = find(key)) return *existing = std::move(value);
        return insert(key, std::move(value));
    }

    // Removes the entry of `key`; false when there is none. The bucket count does not shrink.
    bool erase(const char* key) {
        if (buckets_.empty()) return false;
        std::uint32_t h = nameHash(key);
        Bucket& b       = buckets_[h % buckets_.size()];
        for (Entry *e = b.first, *before = nullptr; e; before = e, e = e->next) {
            if (e->hash != h || e->key != key) continue;
            (before ? before->next : b.first) = e->next;
            if (b.last == e) b.last = before;
            delete e;
            --count_;
            return true;
        }
        return false;
    }

    template <typename Visit> void forEach(Visit visit) {
        for (Bucket& b : buckets_)
            for (Entry* e = b.first; e; e = e->next) visit(e->key, e->value);
    }
    template <typename Visit> void forEach(Visit visit) const {
        for (const Bucket& b : buckets_)
            for (const Entry* e = b.first; e; e = e->next) visit(e->key, e->value);
    }

    std::size_t size() const { return count_; }
    std::size_t bucketCount() const { return buckets_.size(); }

    void clear() {
        for (Bucket& b : buckets_) {
            for (Entry* e = b.first; e;) delete std::exchange(e, e->next);
        }
        buckets_.clear();
        count_ = 0;
    }

private:
    struct Bucket {
        Entry* first = nullptr;
        Entry* last  = nullptr;
    };

    void link(Entry* e) {
        e->next                           = nullptr;
        Bucket& b                         = buckets_[e->hash % buckets_.size()];
        (b.last ? b.last->next : b.first) = e;
        b.last                            = e;
    }

    // Relinks every entry, in walk order, into twice as many buckets (8 at first).
    void grow() {
        std::vector<Bucket> old(buckets_.empty() ? 8 : buckets_.size() * 2);
        old.swap(buckets_);
        for (Bucket& b : old) {
            for (Entry* e = b.first; e;) link(std::exchange(e, e->next));
        }
    }

    std::vector<Bucket> buckets_;
    std::size_t count_ = 0;
};

} // namespace torvex
