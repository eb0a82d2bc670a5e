#pragma once
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>
#include <vector>

class StoreConnection;

/// A row write the store was sent but never answered: the connection broke in
/// between, so it may have been stored or not. It is kept until the same write
/// is asked for again, which first reads the row back by its key: a write that
/// stood is never made twice, one that did not is made once. A press while no
/// server answers keeps it for the next one.
///
///     } catch (const EOutcomeUnknown &lost) {       // in TSqlDataSet::writeRow
///         m_unsure = UnsureWrite{kind, insertNumber(), key, names, bound, written, values};
///         throw EDatabaseError(UnsureWrite::text(kind, lost.message()));
///     }
///     ...                                          // the next post of that row
///     if (unsure->stood(store, target, rowKey)) ... // adopt it instead of writing
struct UnsureWrite {
    enum class Kind { Insert, Update, Delete };
    Kind kind = Kind::Insert;
    quint64 insert = 0;           // the Insert an unsure insert belongs to
    QVariant key;                 // the row's key, reserved before an insert
    QStringList names;            // the quoted columns written
    QVariantList bound;           // and their values
    std::vector<int> columns;     // the storage columns written
    std::vector<QVariant> values; // the whole row as written
    bool known = false;           // an insert found stored: only what followed it is unsure

    /// Whether the write stands in the store now: the row is there with the
    /// written values (insert, update), or is gone (delete).
    bool stood(StoreConnection &store, const QString &target, const QString &rowKey) const;
    /// The box: the store's words, then what pressing again does.
    static QString text(Kind kind, const QString &storeText);
};
