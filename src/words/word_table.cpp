// The word table: entries live in an array indexed by an entry id; their rank order is an
// implicit treap over those ids, also threaded as a doubly linked list. Each entry carries
// an "ascent" flag (its key value is greater than that of the entry before it) and every
// treap node counts the flags of its subtree, so the ordering step finds the first
// out-of-order entry by one descent. The entries before that one are in descending order,
// so the place it moves to is found by a search-tree descent over them. A known word's
// update therefore touches only the entry and its two neighbours.
// A hash index maps each word to the ids that hold it, ordered by rank: plural folding can
// leave two entries with the same word, and "the entry holding a word" always means the
// one ranked highest. Index records link a word to the records of its singular and plural
// spellings, so an occurrence costs one hash lookup. The index is a flat open-addressing
// table because it is probed for every word of the page.
#include "words/word_table.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <set>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "memory/huge_pages.h"
#include "text/text_hash.h"

namespace lumora::words {

namespace {

using memory::LargeArray;
using Id = std::uint32_t;
constexpr Id kNil = 0;  // id 0 is never an entry

using RecordId = std::uint32_t;
constexpr RecordId kNoRecord = 0;  // record 0 is never used

// A position in the ranking, 1 = first; used to search an index group by rank.
struct AtRank {
    std::int32_t rank;
};

// Only a word of three or more characters whose characters after the first are all lower
// case looks for case variants of itself further down the table.
bool CanLeadMerge(TextView word) {
    const std::size_t first = CharAt(word, 0).length;
    const TextView tail = word.substr(first);
    if (tail.empty() || CharCount(tail) < 2)
        return false;
    return LowerLetters(tail) == tail;
}

}  // namespace

struct WordTable::Impl {
    // Orders the ids of one index group by their current rank.
    struct ByRank {
        using is_transparent = void;
        const Impl* table;
        bool operator()(Id a, Id b) const { return a != b && table->Rank(a) < table->Rank(b); }
        bool operator()(Id a, AtRank r) const { return table->Rank(a) < r.rank; }
        bool operator()(AtRank r, Id b) const { return r.rank < table->Rank(b); }
    };

    using Group = std::set<Id, ByRank>;

    // 32 bytes, two to a cache line: a word of up to 16 bytes lies in the record itself,
    // so that looking a word up reads its slot and its record and nothing else. A longer
    // word lies in `longWords`, and the record holds where.
    static constexpr std::uint32_t kInlineBytes = 16;
    struct Record {
        Id first = kNil;                // the highest-ranked entry holding the word
        RecordId singular = kNoRecord;  // the record of the word without its final "s"
        RecordId plural = kNoRecord;    // the record of the word plus "s"
        std::uint32_t length : 31 = 0;  // of the word, in bytes
        std::uint32_t grouped : 1 = 0;  // several entries hold the word: see `groups`
        Char text[kInlineBytes] = {};   // the word, or its offset in `longWords`
    };
    static_assert(sizeof(Record) == 32);

    struct Slot {
        std::uint32_t hash = 0;
        RecordId record = kNoRecord;
    };

    // An entry's place in the treap. Kept apart from the entry itself: counting a known
    // word reads only the entry and its two neighbours, so that array stays small enough
    // for the cache on a page with a hundred thousand distinct words.
    struct TreeNode {
        Id left = kNil;
        Id right = kNil;
        Id parent = kNil;
        std::uint32_t priority = 0;
        std::int32_t size = 0;
        std::int32_t ascents = 0;  // counted flags in the subtree
        bool counted = false;      // the ascent flag as the subtree counts see it
    };

    struct Entry {
        // the ranked list
        Id prev = kNil;
        Id next = kNil;
        float value = 0.0f;
        std::int32_t frequency = 0;
        RecordId record = kNoRecord;
        bool ascent = false;
        bool title = false;
    };

    LargeArray<TreeNode> tree;  // by id; tree[kNil] and ent[kNil] stay empty
    LargeArray<Entry> ent;
    std::vector<Id> freeIds;
    std::vector<Id> changedFlags;  // entries whose flag may differ from the one counted
    Id root = kNil;
    Id last = kNil;
    LargeArray<Record> records;  // by record id
    LargeArray<Char> longWords;  // the words too long for their records, one after another
    // All entries holding a word, for each word that several entries hold (rare: only
    // plural folding leaves two entries with one word).
    std::unordered_map<RecordId, std::unique_ptr<Group>> groups;
    LargeArray<Slot> slots;  // a power of two, at most half full
    // One bit for each hash of a word in the table, four bits to a slot: small enough to
    // stay in the cache, it answers most look-ups of a word that is not there (the plural
    // of a new word, the other case of a word) without reading the slots.
    LargeArray<std::uint64_t> hashSeen;
    std::uint32_t seed = 0x2545F491u;
    Text probe;

    Impl() { Clear(); }

    void Clear() {
        tree.assign(1, TreeNode{});
        ent.assign(1, Entry{});
        freeIds.clear();
        changedFlags.clear();
        root = last = kNil;
        records.clear();
        records.emplace_back();
        longWords.clear();
        groups.clear();
        EmptySlots(1024);
    }

    // `count` empty slots, and a bit set that has seen no hash.
    void EmptySlots(std::size_t count) {
        slots.assign(count, Slot{});
        hashSeen.assign(count * 4 / 64, 0);
    }

    std::int32_t Count() const { return tree[root].size; }
    // Whether the table has grown beyond what a second-level cache holds of its slots,
    // records and entries.
    bool Large() const { return records.size() > 16384; }
    TextView WordOf(RecordId r) const {
        const Record& x = records[r];
        if (x.length <= kInlineBytes)
            return TextView(x.text, x.length);
        std::uint32_t offset = 0;
        std::memcpy(&offset, x.text, sizeof offset);
        return TextView(longWords.data() + offset, x.length);
    }
    TextView Word(Id n) const { return WordOf(ent[n].record); }

    std::uint32_t NextPriority() {
        seed ^= seed << 13;
        seed ^= seed >> 17;
        seed ^= seed << 5;
        return seed;
    }

    // ---- the treap ----

    void Pull(Id n) {
        TreeNode& x = tree[n];
        x.size = 1 + tree[x.left].size + tree[x.right].size;
        x.ascents = (x.counted ? 1 : 0) + tree[x.left].ascents + tree[x.right].ascents;
    }

    void PullUp(Id n) {
        for (Id x = n; x != kNil; x = tree[x].parent) Pull(x);
    }

    void SetParent(Id child, Id parent) {
        if (child != kNil)
            tree[child].parent = parent;
    }

    Id Merge(Id a, Id b) {
        if (a == kNil)
            return b;
        if (b == kNil)
            return a;
        if (tree[a].priority > tree[b].priority) {
            const Id m = Merge(tree[a].right, b);
            tree[a].right = m;
            SetParent(m, a);
            Pull(a);
            return a;
        }
        const Id m = Merge(a, tree[b].left);
        tree[b].left = m;
        SetParent(m, b);
        Pull(b);
        return b;
    }

    // Splits t into its first k entries and the rest.
    void Split(Id t, std::int32_t k, Id& first, Id& rest) {
        if (t == kNil) {
            first = rest = kNil;
            return;
        }
        const std::int32_t leftSize = tree[tree[t].left].size;
        Id a = kNil;
        Id b = kNil;
        if (k <= leftSize) {
            Split(tree[t].left, k, a, b);
            tree[t].left = b;
            SetParent(b, t);
            Pull(t);
            first = a;
            rest = t;
        } else {
            Split(tree[t].right, k - leftSize - 1, a, b);
            tree[t].right = a;
            SetParent(a, t);
            Pull(t);
            first = t;
            rest = b;
        }
    }

    std::int32_t Rank(Id n) const {
        std::int32_t rank = tree[tree[n].left].size + 1;
        for (Id x = n; tree[x].parent != kNil; x = tree[x].parent) {
            const Id p = tree[x].parent;
            if (tree[p].right == x)
                rank += tree[tree[p].left].size + 1;
        }
        return rank;
    }

    Id NodeAt(std::int32_t rank) const {
        Id t = root;
        while (t != kNil) {
            const std::int32_t leftSize = tree[tree[t].left].size;
            if (rank <= leftSize) {
                t = tree[t].left;
            } else if (rank == leftSize + 1) {
                return t;
            } else {
                rank -= leftSize + 1;
                t = tree[t].right;
            }
        }
        return kNil;
    }

    // ---- the ranked list and the ascent flags ----

    bool IsAscent(Id n) const {
        const Id p = ent[n].prev;
        return p != kNil && ent[n].value > ent[p].value;
    }

    // Re-evaluates the flag of n, which is in the treap, after its value or its
    // predecessor changed.
    void Refresh(Id n) {
        if (n == kNil)
            return;
        const bool flag = IsAscent(n);
        if (flag == ent[n].ascent)
            return;
        ent[n].ascent = flag;
        // The counts up the tree are brought in line only when the ordering step asks:
        // between two steps a flag often turns and turns back.
        if (flag != tree[n].counted) {
            changedFlags.push_back(n);
            // A page that brings no new word for long would otherwise pile them up.
            if (changedFlags.size() > 1024 + static_cast<std::size_t>(Count()))
                SettleFlags();
        }
    }

    // Brings the counts up the tree in line with the flags that changed.
    void SettleFlags() {
        // A small table is in the cache: one path after the other is as fast as it gets,
        // and the side-by-side walk below measured a little slower there.
        if (!Large()) {
            for (const Id n : changedFlags) {
                const bool flag = ent[n].ascent;
                if (flag == tree[n].counted)
                    continue;
                tree[n].counted = flag;
                for (Id x = n; x != kNil; x = tree[x].parent) tree[x].ascents += flag ? 1 : -1;
            }
            changedFlags.clear();
            return;
        }
        // Each flag is counted in along its path to the root. On a large table every step
        // of a path misses the cache, and one path's steps wait on each other, so several
        // paths are walked side by side, a step of each in turn.
        constexpr int kPaths = 8;
        Id at[kPaths];
        std::int32_t delta[kPaths];
        int walking = 0;
        const auto walk = [&] {
            while (walking > 0) {
                for (int i = 0; i < walking;) {
                    tree[at[i]].ascents += delta[i];
                    at[i] = tree[at[i]].parent;
                    if (at[i] == kNil) {
                        --walking;
                        at[i] = at[walking];
                        delta[i] = delta[walking];
                    } else {
                        ++i;
                    }
                }
            }
        };
        for (const Id n : changedFlags) {
            const bool flag = ent[n].ascent;
            if (flag == tree[n].counted)
                continue;
            tree[n].counted = flag;
            at[walking] = n;
            delta[walking] = flag ? 1 : -1;
            if (++walking == kPaths)
                walk();
        }
        walk();
        changedFlags.clear();
    }

    // Puts the detached node n before `before`, or last when `before` is kNil.
    void Insert(Id n, Id before) {
        const std::int32_t rank = before == kNil ? Count() + 1 : Rank(before);
        const Id p = before == kNil ? last : ent[before].prev;
        ent[n].prev = p;
        ent[n].next = before;
        if (p != kNil)
            ent[p].next = n;
        (before == kNil ? last : ent[before].prev) = n;
        ent[n].ascent = tree[n].counted = IsAscent(n);
        Pull(n);
        TreeInsert(n, rank - 1);
        Refresh(before);
    }

    // Puts the detached node n last: a merge down the right spine, with no split.
    void Append(Id n) {
        ent[n].prev = last;
        ent[n].next = kNil;
        if (last != kNil)
            ent[last].next = n;
        last = n;
        ent[n].ascent = tree[n].counted = IsAscent(n);
        Pull(n);
        TreeInsert(n, Count());
    }

    // Puts the detached, pulled node n into the treap behind its first `k` entries: down
    // to where its priority belongs, counting it in on the way, then one split below.
    void TreeInsert(Id n, std::int32_t k) {
        Id parent = kNil;
        bool leftOfParent = false;
        Id t = root;
        const std::int32_t flag = tree[n].counted ? 1 : 0;
        while (t != kNil && tree[t].priority >= tree[n].priority) {
            TreeNode& x = tree[t];
            x.size += 1;
            x.ascents += flag;
            parent = t;
            const std::int32_t leftSize = tree[x.left].size;
            leftOfParent = k <= leftSize;
            if (leftOfParent) {
                t = x.left;
            } else {
                k -= leftSize + 1;
                t = x.right;
            }
        }
        Id a = kNil;
        Id b = kNil;
        Split(t, k, a, b);
        tree[n].left = a;
        tree[n].right = b;
        SetParent(a, n);
        SetParent(b, n);
        Pull(n);
        tree[n].parent = parent;
        if (parent == kNil)
            root = n;
        else
            (leftOfParent ? tree[parent].left : tree[parent].right) = n;
    }

    // Takes n out of the ranking; the others keep their order.
    void Detach(Id n) {
        TreeNode& x = tree[n];
        Entry& e = ent[n];
        const Id joined = Merge(x.left, x.right);
        const Id p = x.parent;
        SetParent(joined, p);
        if (p == kNil) {
            root = joined;
        } else {
            (tree[p].left == n ? tree[p].left : tree[p].right) = joined;
            PullUp(p);
        }
        const Id before = e.prev;
        const Id after = e.next;
        if (before != kNil)
            ent[before].next = after;
        (after == kNil ? last : ent[after].prev) = before;
        x.left = x.right = x.parent = e.prev = e.next = kNil;
        e.ascent = x.counted = false;
        Pull(n);
        Refresh(after);
    }

    // The first entry whose key value is greater than that of the entry before it.
    Id FirstAscent() {
        SettleFlags();
        if (tree[root].ascents == 0)
            return kNil;
        Id t = root;
        while (true) {
            const Id l = tree[t].left;
            if (tree[l].ascents > 0) {
                t = l;
            } else if (tree[t].counted) {
                return t;
            } else {
                t = tree[t].right;
            }
        }
    }

    // The first entry with a key value below `value` among the entries ranked before
    // `limit`, which must be in descending order.
    Id FirstBelow(float value, std::int32_t limit) const {
        Id t = root;
        Id found = kNil;
        std::int32_t skipped = 0;
        while (t != kNil) {
            const std::int32_t rank = skipped + tree[tree[t].left].size + 1;
            if (rank < limit && !(ent[t].value < value)) {
                skipped = rank;
                t = tree[t].right;
            } else {
                if (rank < limit)
                    found = t;
                t = tree[t].left;
            }
        }
        return found;
    }

    void CollectInOrder(std::vector<Id>& out) const {
        for (Id n = NodeAt(1); n != kNil; n = ent[n].next) out.push_back(n);
    }

    void PullAll(Id t) {
        if (t == kNil)
            return;
        PullAll(tree[t].left);
        PullAll(tree[t].right);
        Pull(t);
    }

    // Makes the ranking `order` afresh in one linear pass (the treap by the usual stack
    // construction over the entries' own priorities), instead of one removal at a time.
    void Rebuild(const std::vector<Id>& order) {
        std::vector<Id> spine;  // the right spine of the treap built so far
        Id previous = kNil;
        for (const Id n : order) {
            TreeNode& x = tree[n];
            x.left = x.right = x.parent = kNil;
            Id popped = kNil;
            while (!spine.empty() && tree[spine.back()].priority < x.priority) {
                popped = spine.back();
                spine.pop_back();
            }
            if (popped != kNil) {
                x.left = popped;
                tree[popped].parent = n;
            }
            if (!spine.empty()) {
                tree[spine.back()].right = n;
                x.parent = spine.back();
            }
            spine.push_back(n);
            ent[n].prev = previous;
            ent[n].next = kNil;
            if (previous != kNil)
                ent[previous].next = n;
            previous = n;
            ent[n].ascent = x.counted = IsAscent(n);
        }
        changedFlags.clear();
        root = spine.empty() ? kNil : spine.front();
        last = previous;
        PullAll(root);
    }

    // ---- the word index ----

    static std::uint32_t Hash(TextView word) { return static_cast<std::uint32_t>(HashText(word)); }

    // The slot that holds `word`, or the empty slot where it would go.
    std::size_t SlotOf(TextView word, std::uint32_t hash) const {
        const std::size_t mask = slots.size() - 1;
        std::size_t k = hash & mask;
        while (slots[k].record != kNoRecord &&
               (slots[k].hash != hash || WordOf(slots[k].record) != word)) {
            k = (k + 1) & mask;
        }
        return k;
    }

    RecordId Find(TextView word) const {
        const std::uint32_t hash = Hash(word);
        return Seen(hash) ? slots[SlotOf(word, hash)].record : kNoRecord;
    }

    // False only when no word with this hash is in the table.
    bool Seen(std::uint32_t hash) const {
        const std::size_t at = hash & (hashSeen.size() * 64 - 1);
        return (hashSeen[at / 64] >> (at % 64) & 1) != 0;
    }
    void MarkSeen(std::uint32_t hash) {
        const std::size_t at = hash & (hashSeen.size() * 64 - 1);
        hashSeen[at / 64] |= std::uint64_t{1} << (at % 64);
    }

    // The record of `word`, made and linked to its singular and plural records if new.
    RecordId RecordFor(TextView word) { return RecordFor(word, Hash(word)); }
    RecordId RecordFor(TextView word, std::uint32_t hash) {
        std::size_t k = SlotOf(word, hash);
        if (slots[k].record != kNoRecord)
            return slots[k].record;
        if (2 * records.size() >= slots.size()) {
            const LargeArray<Slot> old = std::move(slots);
            EmptySlots(2 * old.size());
            for (const Slot& slot : old) {
                if (slot.record == kNoRecord)
                    continue;
                MarkSeen(slot.hash);
                std::size_t free = slot.hash & (slots.size() - 1);
                while (slots[free].record != kNoRecord) free = (free + 1) & (slots.size() - 1);
                slots[free] = slot;
            }
            k = SlotOf(word, hash);
        }
        const auto id = static_cast<RecordId>(records.size());
        records.emplace_back();
        Record& made = records[id];
        made.length = static_cast<std::uint32_t>(word.size()) & 0x7FFFFFFFu;
        if (word.size() <= kInlineBytes) {
            std::memcpy(made.text, word.data(), word.size());
        } else {
            const auto offset = static_cast<std::uint32_t>(longWords.size());
            std::memcpy(made.text, &offset, sizeof offset);
            longWords.insert(longWords.end(), word.begin(), word.end());
        }
        slots[k] = Slot{hash, id};
        MarkSeen(hash);
        if (word.size() >= 2 && word.back() == 's') {
            const RecordId singular = Find(TextView(word).substr(0, word.size() - 1));
            if (singular != kNoRecord) {
                records[id].singular = singular;
                records[singular].plural = id;
            }
        }
        probe.assign(word);
        probe.push_back('s');
        if (const RecordId plural = Find(probe); plural != kNoRecord) {
            records[id].plural = plural;
            records[plural].singular = id;
        }
        return id;
    }

    void IndexAdd(Id n) {
        Record& r = records[ent[n].record];
        if (r.first == kNil) {
            r.first = n;
            return;
        }
        std::unique_ptr<Group>& group = groups[ent[n].record];
        if (!r.grouped) {
            group = std::make_unique<Group>(std::initializer_list<Id>{r.first}, ByRank{this});
            r.grouped = 1;
        }
        group->insert(n);
        r.first = *group->begin();
    }

    // Must run while n still stands where its group saw it last.
    void IndexRemove(Id n) {
        Record& r = records[ent[n].record];
        if (!r.grouped) {
            r.first = kNil;
            return;
        }
        const auto at = groups.find(ent[n].record);
        Group& group = *at->second;
        group.erase(n);
        r.first = *group.begin();
        if (group.size() == 1) {
            groups.erase(at);
            r.grouped = 0;
        }
    }

    void Rename(Id n, RecordId to) {
        IndexRemove(n);
        ent[n].record = to;
        IndexAdd(n);
    }

    // The highest-ranked entry holding the word of record r at a rank from `from` on.
    Id FirstFrom(const Record& r, std::int32_t from) const {
        if (!r.grouped)
            return r.first != kNil && Rank(r.first) >= from ? r.first : kNil;
        const Group& group = *groups.at(static_cast<RecordId>(&r - records.data()));
        const auto it = group.lower_bound(AtRank{from});
        return it == group.end() ? kNil : *it;
    }

    // ---- entries ----

    Id NewEntry(RecordId record, float weight, bool title) {
        Id n;
        if (freeIds.empty()) {
            n = static_cast<Id>(tree.size());
            tree.emplace_back();
            ent.emplace_back();
        } else {
            n = freeIds.back();
            freeIds.pop_back();
        }
        tree[n] = TreeNode{};
        tree[n].priority = NextPriority();
        Entry& x = ent[n];
        x = Entry{};
        x.record = record;
        x.frequency = 1;
        x.value = weight;
        x.title = title;
        return n;
    }

    void Remove(Id n) {
        IndexRemove(n);
        Detach(n);
        ent[n].record = kNoRecord;
        freeIds.push_back(n);
    }

    void AddValue(Id n, float weight) {
        ent[n].value += weight;
        Refresh(n);
        Refresh(ent[n].next);
    }

    // One step of an insertion sort on descending key value: the first entry that stands
    // above a smaller one moves up behind every entry with a greater or equal value.
    void PromoteEntry() {
        const Id moving = FirstAscent();
        if (moving == kNil)
            return;
        const Id target = FirstBelow(ent[moving].value, Rank(moving));
        if (target == kNil)
            return;  // only possible with a value that is not a number
        // Only a word held by several entries has an order among them to keep up.
        const bool reorder = records[ent[moving].record].grouped != 0;
        if (reorder)
            IndexRemove(moving);
        Detach(moving);
        Insert(moving, target);
        if (reorder)
            IndexAdd(moving);
    }

    // Counts one occurrence of the word of `record`. Plural folding against whichever
    // candidate ranks first: an entry holding the word without its final "s" takes the
    // occurrence (`folded`), an entry holding the word plus "s" is renamed to the word.
    // True when the word made a new entry.
    bool CountOccurrence(RecordId record, float weight, bool title, bool& folded) {
        const Record& r = records[record];
        Id singular = r.singular != kNoRecord ? records[r.singular].first : kNil;
        Id plural = r.plural != kNoRecord ? records[r.plural].first : kNil;
        if (singular != kNil && plural != kNil) {
            (Rank(singular) < Rank(plural) ? plural : singular) = kNil;
        }
        if (singular != kNil) {
            folded = true;
            record = r.singular;
        } else if (plural != kNil) {
            Rename(plural, record);
        }

        // A known word only adds to its counts; its rank is left for later ordering steps.
        if (const Id known = records[record].first; known != kNil) {
            ent[known].frequency += 1;
            AddValue(known, weight);
            return false;
        }

        const Id n = NewEntry(record, weight, title);
        // When every entry is in order and the new one is greater than the last, the
        // ordering step would move the new one: it goes to that place at once.
        SettleFlags();
        if (tree[root].ascents == 0 && last != kNil && weight > ent[last].value) {
            if (const Id target = FirstBelow(weight, Count() + 1); target != kNil) {
                Insert(n, target);
                IndexAdd(n);
                return true;
            }
        }
        Append(n);
        IndexAdd(n);
        if (Count() > 1)
            PromoteEntry();
        return true;
    }

    // Keeps the entries `keep` says yes to, in their order; the others are freed.
    template <typename Keep>
    void KeepOnly(const Keep& keep) {
        std::vector<Id> order;
        CollectInOrder(order);
        std::vector<Id> kept;
        kept.reserve(order.size());
        for (const Id n : order) {
            if (keep(n)) {
                kept.push_back(n);
            } else {
                ent[n].record = kNoRecord;
                freeIds.push_back(n);
            }
        }
        if (kept.size() != order.size())
            Reindex(kept);
    }

    // Makes the ranking `kept` and the index afresh from the entries in it.
    void Reindex(const std::vector<Id>& kept) {
        for (Record& r : records) {
            r.first = kNil;
            r.grouped = 0;
        }
        groups.clear();
        Rebuild(kept);
        for (const Id n : kept) IndexAdd(n);
    }

    // The highest-ranked entry at a rank from `from` to `to` whose word differs from
    // that of entry n at most in the case of its first letter.
    Id NextCaseVariant(Id n, std::int32_t from, std::int32_t to) {
        // The two spellings of the word that differ in the case of the first character:
        // its lower-case form, and the upper-case form when that maps back to it.
        const TextView word = Word(n);
        const Decoded firstChar = CharAt(word, 0);
        const TextView tail = word.substr(firstChar.length);
        const CodePoint lower = LowerChar(firstChar.cp);
        const CodePoint upper = UpperChar(lower);
        const int spellings = upper != lower && LowerChar(upper) == lower ? 2 : 1;
        Text spelling;
        Id best = kNil;
        std::int32_t bestRank = to + 1;
        for (int k = 0; k < spellings; ++k) {
            spelling.clear();
            AppendUtf8(spelling, k == 0 ? lower : upper);
            spelling.append(tail);
            // The word's own spelling needs no look-up, nor a search when n is the only
            // entry holding it: n itself stands before `from`.
            const bool own = spelling == word;
            if (own && !records[ent[n].record].grouped)
                continue;
            const RecordId r = own ? ent[n].record : Find(spelling);
            if (r == kNoRecord)
                continue;
            const Id candidate = FirstFrom(records[r], from);
            if (candidate == kNil)
                continue;
            const std::int32_t rank = Rank(candidate);
            if (rank < bestRank) {
                best = candidate;
                bestRank = rank;
            }
        }
        return best;
    }
};

WordTable::WordTable() : impl_(std::make_unique<Impl>()) {}
WordTable::~WordTable() = default;
WordTable::WordTable(WordTable&&) noexcept = default;
WordTable& WordTable::operator=(WordTable&&) noexcept = default;

WordTable::WordKey WordTable::KeyOf(TextView word) {
    return impl_->RecordFor(word);
}

std::uint32_t WordTable::HashOf(TextView word) {
    return Impl::Hash(word);
}

WordTable::WordKey WordTable::KeyOf(TextView word, std::uint32_t hash) {
    return impl_->RecordFor(word, hash);
}

void WordTable::Prefetch(std::uint32_t hash, Ahead what) const {
    // Each step reads only what the step before asked for; a word further down its probe
    // sequence, or not yet in the table, just gets no hint.
    const Impl& t = *impl_;
    const Impl::Slot& slot = t.slots[hash & (t.slots.size() - 1)];
    if (what == Ahead::kSlot) {
        __builtin_prefetch(&slot);
        return;
    }
    if (slot.hash != hash || slot.record == kNoRecord)
        return;
    const Impl::Record& record = t.records[slot.record];
    if (what == Ahead::kRecord) {
        __builtin_prefetch(&record);
        return;
    }
    for (const RecordId r : {slot.record, record.singular, record.plural}) {
        if (const Id n = t.records[r].first; r != kNoRecord && n != kNil) {
            __builtin_prefetch(&t.ent[n]);
            __builtin_prefetch(&t.tree[n]);
        }
    }
}

bool WordTable::Large() const {
    return impl_->Large();
}

TextView WordTable::WordOf(WordKey key) const {
    return impl_->WordOf(key);
}

bool WordTable::AddOccurrence(WordKey key, float weight, bool titleContext) {
    Impl& t = *impl_;
    if (key == kNoRecord || key >= t.records.size() || t.records[key].length == 0)
        return false;
    bool folded = false;
    return t.CountOccurrence(key, weight, titleContext, folded);
}

void WordTable::ApplyMinimumFrequency(int minimum) {
    Impl& t = *impl_;
    if (minimum <= 1)
        return;
    t.KeepOnly([&](Id n) { return t.ent[n].frequency >= minimum || t.ent[n].title; });
}

void WordTable::RemoveWords(const std::function<bool(TextView word)>& drop) {
    Impl& t = *impl_;
    t.KeepOnly([&](Id n) { return !drop(t.Word(n)); });
}

void WordTable::MergeAllCaseVariants(const std::function<bool(TextView lower)>& keepApart) {
    Impl& t = *impl_;
    std::vector<Id> order;
    t.CollectInOrder(order);
    // Each group of spellings is led by its highest-ranked entry, which takes the others'
    // counts and the spelling used most often. Entries are numbered in the order their words
    // arrived until the first removal, and nothing has been removed from a counted page yet,
    // so the lower number is the spelling seen first.
    struct Group {
        Id lead;
        Id shown;
        int members = 1;
    };
    // Only a spelling with a capital has variants to merge with: the lower-case forms of
    // those are found first, so that the many words written in lower case alone cost a
    // look-up each and nothing more.
    std::vector<Text> lowers(order.size());
    std::unordered_set<TextView> casedForms;
    for (std::size_t k = 0; k < order.size(); ++k) {
        const TextView word = t.Word(order[k]);
        Text lower = LowerLetters(word);
        if (lower != word) {
            lowers[k] = std::move(lower);
            casedForms.insert(lowers[k]);
        }
    }
    if (casedForms.empty())
        return;
    std::unordered_map<TextView, Group> groups;
    std::vector<Id> leadOf(t.ent.size(), kNil);
    for (std::size_t k = 0; k < order.size(); ++k) {
        const Id n = order[k];
        const TextView lower = lowers[k].empty() ? t.Word(n) : TextView(lowers[k]);
        if (casedForms.count(lower) == 0 || keepApart(lower))
            continue;
        auto [it, fresh] = groups.try_emplace(lower, Group{n, n});
        if (fresh)
            continue;
        Group& g = it->second;
        const std::int32_t frequency = t.ent[n].frequency;
        const std::int32_t shownFrequency = t.ent[g.shown].frequency;
        if (frequency > shownFrequency || (frequency == shownFrequency && n < g.shown))
            g.shown = n;
        ++g.members;
        leadOf[n] = g.lead;
    }
    std::vector<Id> kept;
    kept.reserve(order.size());
    int merges = 0;
    for (const Id n : order) {
        if (leadOf[n] == kNil) {
            kept.push_back(n);
            continue;
        }
        Impl::Entry& lead = t.ent[leadOf[n]];
        lead.frequency += t.ent[n].frequency;
        lead.value += t.ent[n].value;
        lead.title = lead.title || t.ent[n].title;
        ++merges;
    }
    if (merges == 0)
        return;
    for (const auto& [lower, g] : groups) {
        if (g.members > 1)
            t.ent[g.lead].record = t.ent[g.shown].record;
    }
    for (const Id n : order) {
        if (leadOf[n] != kNil) {
            t.ent[n].record = kNoRecord;
            t.freeIds.push_back(n);
        }
    }
    t.Reindex(kept);
    // As when two spellings merge one by one: an ordering step for each merge.
    for (int k = 0; k < merges; ++k) t.PromoteEntry();
}

void WordTable::MergeCaseVariants() {
    Impl& t = *impl_;
    const std::int32_t outerBound = t.Count() - 1;
    // The entry at position i: the next one in the list until a merge changes the ranking.
    Id at = t.NodeAt(1);
    bool changed = false;
    for (std::int32_t i = 1; i <= outerBound && i <= t.Count(); ++i) {
        at = changed ? t.NodeAt(i) : i == 1 ? at : t.ent[at].next;
        changed = false;
        if (!CanLeadMerge(t.Word(at)))
            continue;

        // The scan goes on past each merge with whatever entry then stands at position i
        // (the ordering step may have moved the merged one), up to the count taken here.
        const std::int32_t innerBound = t.Count();
        std::int32_t j = i + 1;
        while (j <= innerBound) {
            const Id keep = at;
            const Id other = t.NextCaseVariant(keep, j, innerBound);
            if (other == kNil)
                break;
            const std::int32_t otherRank = t.Rank(other);

            t.ent[keep].frequency += t.ent[other].frequency;
            t.AddValue(keep, t.ent[other].value);
            t.Remove(other);
            const Text lowered = LowerLetters(t.Word(keep));
            if (lowered != t.Word(keep))
                t.Rename(keep, t.RecordFor(lowered));
            t.PromoteEntry();
            changed = true;
            at = t.NodeAt(i);
            j = otherRank + 1;
        }
    }
}

void WordTable::NormaliseKeyValues() {
    Impl& t = *impl_;
    std::vector<Id> order;
    t.CollectInOrder(order);
    float maxValue = 0.0f;
    for (const Id n : order) maxValue = std::max(maxValue, t.ent[n].value);
    if (!(maxValue > 0.0f))
        return;
    for (const Id n : order) {
        float& v = t.ent[n].value;
        v = static_cast<float>(static_cast<double>(v) * 100.0 / static_cast<double>(maxValue));
    }
    for (const Id n : order) t.ent[n].ascent = t.tree[n].counted = t.IsAscent(n);
    t.changedFlags.clear();
    t.PullAll(t.root);
}

std::int32_t WordTable::WordCount() const {
    return impl_->Count();
}

std::vector<WordEntry> WordTable::Ranked() const {
    const Impl& t = *impl_;
    std::vector<Id> order;
    t.CollectInOrder(order);
    std::vector<WordEntry> result;
    result.reserve(order.size());
    for (const Id n : order) {
        const Impl::Entry& x = t.ent[n];
        result.push_back(WordEntry{Text(t.Word(n)), x.frequency, x.value, x.title});
    }
    return result;
}

}  // namespace lumora::words
