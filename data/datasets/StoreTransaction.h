#pragma once
class StoreConnection;

/// Statements that must stand or fall together: begun on construction, rolled
/// back on destruction unless committed, so an error part-way leaves the store
/// as it was before the first of them.
///
///     StoreTransaction transaction(*dm->ADOConnection1);
///     copy->ExecSQL();   // throws: the destructor rolls back, nothing stands
///     remove->ExecSQL();
///     transaction.commit();
///
/// A commit whose answer never came throws EOutcomeUnknown: the caller shows
/// the rows as the store holds them, and pressing again does only what is not
/// stored yet (the archive move is written so).
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
