#pragma once
// A map from integer keys to values, kept in key order in chunks of a few hundred
// entries: an entry costs its key and its value and little more, a write anywhere a
// search and a short move, and a map filled in key order (as a loaded state block
// fills it) holds no slack but in its last chunk.

#include <algorithm>
#include <cstddef>
#include <utility>
#include <vector>

namespace chart::engine {

template <class K, class V> class ChunkMap {
public:
    using key_type = K;

    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    void clear() {
        chunks_.clear();
        size_ = 0;
    }

    const V *find(K k) const {
        std::size_t c = chunkFor(k);
        if (c == chunks_.size()) return nullptr;
        const Chunk &ch = chunks_[c];
        auto it = std::lower_bound(ch.keys.begin(), ch.keys.end(), k);
        return it != ch.keys.end() && *it == k ? &ch.values[static_cast<std::size_t>(it - ch.keys.begin())] : nullptr;
    }
    bool contains(K k) const { return find(k) != nullptr; }

    void set(K k, V v) {
        if (chunks_.empty()) {
            chunks_.emplace_back();
            chunks_.back().keys.push_back(k);
            chunks_.back().values.push_back(std::move(v));
            size_ = 1;
            return;
        }
        std::size_t c = std::min(chunkFor(k), chunks_.size() - 1);
        Chunk &ch = chunks_[c];
        auto it = std::lower_bound(ch.keys.begin(), ch.keys.end(), k);
        auto at = it - ch.keys.begin();
        if (it != ch.keys.end() && *it == k) {
            ch.values[static_cast<std::size_t>(at)] = std::move(v);
            return;
        }
        ch.keys.insert(it, k);
        ch.values.insert(ch.values.begin() + at, std::move(v));
        ++size_;
        if (ch.keys.size() > 2 * kChunk) split(c);
    }

    bool erase(K k) {
        std::size_t c = chunkFor(k);
        if (c == chunks_.size()) return false;
        Chunk &ch = chunks_[c];
        auto it = std::lower_bound(ch.keys.begin(), ch.keys.end(), k);
        if (it == ch.keys.end() || *it != k) return false;
        ch.values.erase(ch.values.begin() + (it - ch.keys.begin()));
        ch.keys.erase(it);
        --size_;
        if (ch.keys.empty()) chunks_.erase(chunks_.begin() + static_cast<std::ptrdiff_t>(c));
        return true;
    }

    // The greatest key at most k, if there is one.
    bool lastAtMost(K k, K &out) const {
        // The first chunk whose first key is above k; the one before holds the answer.
        auto it =
            std::partition_point(chunks_.begin(), chunks_.end(), [k](const Chunk &c) { return !(k < c.keys.front()); });
        if (it == chunks_.begin()) return false;
        const Chunk &ch = *(it - 1);
        auto e = std::upper_bound(ch.keys.begin(), ch.keys.end(), k);
        out = *(e - 1);
        return true;
    }

    // f(key, value) in key order.
    template <class F> void forEach(F &&f) const {
        for (const Chunk &ch : chunks_)
            for (std::size_t i = 0; i < ch.keys.size(); ++i) f(ch.keys[i], ch.values[i]);
    }

    bool operator==(const ChunkMap &o) const {
        if (size_ != o.size_) return false;
        std::vector<std::pair<K, const V *>> mine;
        mine.reserve(size_);
        forEach([&](K k, const V &v) { mine.emplace_back(k, &v); });
        std::size_t i = 0;
        bool same = true;
        o.forEach([&](K k, const V &v) {
            same = same && mine[i].first == k && *mine[i].second == v;
            ++i;
        });
        return same;
    }

private:
    struct Chunk {
        std::vector<K> keys;
        std::vector<V> values;
    };
    static constexpr std::size_t kChunk = 256;

    // The first chunk whose last key is at least k (the number of chunks when none).
    std::size_t chunkFor(K k) const {
        auto it =
            std::partition_point(chunks_.begin(), chunks_.end(), [k](const Chunk &c) { return c.keys.back() < k; });
        return static_cast<std::size_t>(it - chunks_.begin());
    }

    // A full chunk becomes two halves, each allocated to its size.
    void split(std::size_t c) {
        Chunk upper;
        Chunk &ch = chunks_[c];
        auto half = static_cast<std::ptrdiff_t>(ch.keys.size() / 2);
        upper.keys.assign(ch.keys.begin() + half, ch.keys.end());
        upper.values.assign(std::make_move_iterator(ch.values.begin() + half),
                            std::make_move_iterator(ch.values.end()));
        ch.keys.resize(static_cast<std::size_t>(half));
        ch.values.erase(ch.values.begin() + half, ch.values.end());
        ch.keys.shrink_to_fit();
        ch.values.shrink_to_fit();
        chunks_.insert(chunks_.begin() + static_cast<std::ptrdiff_t>(c) + 1, std::move(upper));
    }

    std::vector<Chunk> chunks_;
    std::size_t size_ = 0;
};

} // namespace chart::engine
