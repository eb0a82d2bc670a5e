#pragma once
class StoreConnection;

/// Statements that must stand or fall together: begun on construction, rolled
/// back on destruction unless committed, so an error part-way leaves the store
/// as it was before the first of them.
class StoreTransaction {
public:
    explicit StoreTransaction(StoreConnection &store);
    ~StoreTransaction();
    StoreTransaction(const StoreTransaction &) = delete;
    StoreTransaction &operator=(const StoreTransaction &) = delete;

    /// Makes every statement since the start permanent; throws with the store's text.
    void commit();

private:
    StoreConnection &m_store;
    bool m_open = true;
};
