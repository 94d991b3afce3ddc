// One registry design for every resource kind: static IDs 0..65535 in a table, and for every entry,
// static or automatic, a handle: (generation << 20) | slot, generation 1..2047, so a handle is always
// positive, at least 1 << 20 (a bit in 0xFFFF0000), never -1 and never MVE_IGNORE. A stale or forged
// handle looks up as null, never as freed memory. An automatic entry's ID is its handle.
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

// Handle layout. 1,048,576 live entries per kind; the 2047 generations of a slot detect stale handles.
inline constexpr uint32_t MVE_HANDLE_SLOT_BITS = 20;
inline constexpr uint32_t MVE_HANDLE_SLOTS = 1u << MVE_HANDLE_SLOT_BITS;
inline constexpr uint32_t MVE_HANDLE_GENERATIONS = 0x7FFu;

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

    // Create an empty record under *id (-1 = automatic) and name; writes the final ID back to *id and
    // the entry's handle to *handle (either may be null).
    T *Create(int *id, const char *name, int *handle = nullptr) {
        int requested = id ? *id : -1;
        std::string key = (kind_.bNamed && name) ? name : "";
        if (!key.empty()) {
            auto it = names_.find(key);
            if (it != names_.end()) {
                Free(it->second);
                MVE_RegistryReport(kind_, kind_.sNotice, 0xFFFF0000u);
            }
        }
        if (requested != -1 && MVE_IsAutomaticID(requested)) {
            if (kind_.bNamed) MVE_RegistryReport(kind_, MVE_FAIL_ID_NOT_AVAILABLE, 0xFF0000FFu);
            return nullptr;
        }
        if (requested != -1) {
            // A static ID that is taken is released silently first; its slot is then free again.
            size_t index = static_cast<size_t>(requested);
            if (index < table_.size() && table_[index]) Free(requested);
        }
        uint32_t slot;
        if (!freeSlots_.empty()) {
            slot = freeSlots_.front();
            freeSlots_.pop_front();
        } else if (slots_.size() < MVE_HANDLE_SLOTS) {
            slot = static_cast<uint32_t>(slots_.size());
            slots_.push_back({nullptr, 1});
        } else {
            if (kind_.bNamed) MVE_RegistryReport(kind_, MVE_FAIL_NO_AUTOMATIC_ID, 0xFF0000FFu);
            return nullptr;
        }
        Entry *entry = Append();
        slots_[slot].pEntry = entry;
        entry->iHandle = static_cast<int>((static_cast<uint32_t>(slots_[slot].iGeneration) << MVE_HANDLE_SLOT_BITS) | slot);
        if (requested == -1) {
            entry->iID = entry->iHandle;
        } else {
            size_t index = static_cast<size_t>(requested);
            if (index >= table_.size()) table_.resize(index + 1, nullptr);
            table_[index] = entry;
            entry->iID = requested;
        }
        if (!key.empty()) names_[key] = entry->iID;
        entry->pRecord->iID = entry->iID;
        entry->pRecord->sName = key;
        entry->sName = key;
        current_ = entry->pRecord.get();
        if (id) *id = entry->iID;
        if (handle) *handle = entry->iHandle;
        return entry->pRecord.get();
    }

    // The handle of the entry an ID or handle designates; 0 when there is none.
    int Handle(int id) const {
        const Entry *e = Find(id);
        return e ? e->iHandle : 0;
    }

    T *Get(int id) const {
        const Entry *e = Find(id);
        return e ? e->pRecord.get() : nullptr;
    }

    T *GetByName(const std::string &name) const {
        auto it = names_.find(name);
        return it == names_.end() ? nullptr : Get(it->second);
    }

    // Release the record's resources, then forget it. Takes an ID or a handle; unknown ones are ignored.
    void Free(int id) {
        Entry *e = Find(id);
        if (!e || e->bFreeing) return;
        e->bFreeing = true;
        if (release_) release_(e->pRecord.get());
        uint32_t slot = static_cast<uint32_t>(e->iHandle) & (MVE_HANDLE_SLOTS - 1);
        slots_[slot].pEntry = nullptr;
        slots_[slot].iGeneration = slots_[slot].iGeneration >= MVE_HANDLE_GENERATIONS ? 1 : slots_[slot].iGeneration + 1;
        freeSlots_.push_back(slot);
        if (!MVE_IsAutomaticID(e->iID)) table_[static_cast<size_t>(e->iID)] = nullptr;
        if (!e->sName.empty()) {
            auto it = names_.find(e->sName);
            if (it != names_.end() && it->second == e->iID) names_.erase(it);
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
        int iHandle = 0;
        std::string sName;
        bool bFreeing = false;
        typename std::list<Entry>::iterator Self;
    };
    struct Slot {
        Entry *pEntry;
        uint16_t iGeneration;  // 1..MVE_HANDLE_GENERATIONS
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
            uint32_t slot = u & (MVE_HANDLE_SLOTS - 1), generation = u >> MVE_HANDLE_SLOT_BITS;
            if (slot >= slots_.size() || slots_[slot].iGeneration != generation) return nullptr;
            return slots_[slot].pEntry;
        }
        if (id < 0 || static_cast<size_t>(id) >= table_.size()) return nullptr;
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
