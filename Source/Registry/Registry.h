// One registry design for every resource kind: static IDs 0..65535 in a table, automatic IDs as
// tagged handles (generation << 16 | slot, generation 1..0x7FFF, so always >= 65536 and positive),
// optional names as case-sensitive keys. A stale or forged ID looks up as null, never as freed memory.
// Main thread only; records are owned here and destroyed by Free.
#pragma once
#include <cstdint>
#include <deque>
#include <list>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

struct MVE_REGISTRY_KIND {
    const char *sCreateProcedure;  // name used in log rows, e.g. "MVE_CreateTextureListEntry"
    const char *sNotice;           // blue row when a name is reused; null for unnamed kinds
    bool bNamed;                   // unnamed kinds keep no names and write no rows
};

// Reasons a create can fail (the row texts live here so tests can refer to them).
inline constexpr const char *MVE_FAIL_ID_NOT_AVAILABLE = "Fail: This ID is not available!";
inline constexpr const char *MVE_FAIL_NO_AUTOMATIC_ID = "Fail: No automatic ID is left!";

void MVE_RegistryReport(const MVE_REGISTRY_KIND &kind, const char *message, uint32_t color);

inline bool MVE_IsAutomaticID(int id) { return (static_cast<uint32_t>(id) & 0xFFFF0000u) != 0; }

template <class T>
class MVE_Registry {
  public:
    using Release = void (*)(T *);

    MVE_Registry(MVE_REGISTRY_KIND kind, Release release) : kind_(kind), release_(release) {}
    MVE_Registry(const MVE_Registry &) = delete;
    MVE_Registry &operator=(const MVE_Registry &) = delete;
    ~MVE_Registry() = default;  // records go without their release hook: the GL context may be gone

    // Create an empty record under *id (-1 = automatic) and name; writes the final ID back.
    T *Create(int *id, const char *name) {
        int requested = id ? *id : -1;
        std::string key = (kind_.bNamed && name) ? name : "";
        if (!key.empty()) {
            auto it = names_.find(key);
            if (it != names_.end()) {
                Free(it->second);
                MVE_RegistryReport(kind_, kind_.sNotice, 0xFFFF0000u);
            }
        }
        Entry *entry = nullptr;
        if (requested == -1) {
            uint32_t slot;
            if (!freeSlots_.empty()) {
                slot = freeSlots_.front();
                freeSlots_.pop_front();
            } else if (slots_.size() < 0x10000) {
                slot = static_cast<uint32_t>(slots_.size());
                slots_.push_back({nullptr, 1});
            } else {
                if (kind_.bNamed) MVE_RegistryReport(kind_, MVE_FAIL_NO_AUTOMATIC_ID, 0xFF0000FFu);
                return nullptr;
            }
            entry = Append();
            slots_[slot].pEntry = entry;
            entry->iID = static_cast<int>((static_cast<uint32_t>(slots_[slot].iGeneration) << 16) | slot);
        } else if (MVE_IsAutomaticID(requested)) {
            if (kind_.bNamed) MVE_RegistryReport(kind_, MVE_FAIL_ID_NOT_AVAILABLE, 0xFF0000FFu);
            return nullptr;
        } else {
            size_t index = static_cast<size_t>(requested);
            if (index >= table_.size())
                table_.resize(index + 1, nullptr);
            else if (table_[index])
                Free(requested);
            entry = Append();
            table_[index] = entry;
            entry->iID = requested;
        }
        if (!key.empty()) names_[key] = entry->iID;
        entry->pRecord->iID = entry->iID;
        entry->pRecord->sName = key;
        entry->sName = key;
        current_ = entry->pRecord.get();
        if (id) *id = entry->iID;
        return entry->pRecord.get();
    }

    T *Get(int id) const {
        const Entry *e = Find(id);
        return e ? e->pRecord.get() : nullptr;
    }

    T *GetByName(const std::string &name) const {
        auto it = names_.find(name);
        return it == names_.end() ? nullptr : Get(it->second);
    }

    // Release the record's resources, then forget it. Unknown IDs are ignored.
    void Free(int id) {
        Entry *e = Find(id);
        if (!e || e->bFreeing) return;
        e->bFreeing = true;
        if (release_) release_(e->pRecord.get());
        if (MVE_IsAutomaticID(id)) {
            uint32_t slot = static_cast<uint32_t>(id) & 0xFFFFu;
            slots_[slot].pEntry = nullptr;
            slots_[slot].iGeneration = slots_[slot].iGeneration >= 0x7FFF ? 1 : slots_[slot].iGeneration + 1;
            freeSlots_.push_back(slot);
        } else {
            table_[static_cast<size_t>(id)] = nullptr;
        }
        if (!e->sName.empty()) {
            auto it = names_.find(e->sName);
            if (it != names_.end() && it->second == id) names_.erase(it);
        }
        if (current_ == e->pRecord.get()) current_ = nullptr;
        entries_.erase(e->Self);
    }

    // Free every entry, newest first.
    void FreeAll() {
        while (!entries_.empty()) Free(entries_.back().iID);
    }

    // Visit records in creation order. The visitor must not free entries.
    template <class F> void ForEach(F &&visit) const {
        for (const Entry &e : entries_) visit(e.pRecord.get());
    }

    size_t Count() const { return entries_.size(); }
    T *Current() const { return current_; }
    const MVE_REGISTRY_KIND &Kind() const { return kind_; }

  private:
    struct Entry {
        std::unique_ptr<T> pRecord;
        int iID = 0;
        std::string sName;
        bool bFreeing = false;
        typename std::list<Entry>::iterator Self;
    };
    struct Slot {
        Entry *pEntry;
        uint16_t iGeneration;
    };

    Entry *Append() {
        entries_.emplace_back();
        Entry &e = entries_.back();
        e.Self = std::prev(entries_.end());
        e.pRecord = std::make_unique<T>();
        return &e;
    }

    Entry *Find(int id) const {
        if (MVE_IsAutomaticID(id)) {
            uint32_t u = static_cast<uint32_t>(id);
            uint32_t slot = u & 0xFFFFu, generation = u >> 16;
            if (slot >= slots_.size() || slots_[slot].iGeneration != generation) return nullptr;
            return slots_[slot].pEntry;
        }
        if (static_cast<size_t>(id) >= table_.size()) return nullptr;
        return table_[static_cast<size_t>(id)];
    }

    MVE_REGISTRY_KIND kind_;
    Release release_;
    std::list<Entry> entries_;
    std::vector<Entry *> table_;
    std::vector<Slot> slots_;
    std::deque<uint32_t> freeSlots_;  // oldest freed slot first, so generations spread out
    std::unordered_map<std::string, int> names_;
    T *current_ = nullptr;
};
