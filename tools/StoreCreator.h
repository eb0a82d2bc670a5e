// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QSqlDatabase>
#include <QString>

// Makes one SQLite store file from a schema script and keeps it open for filling.
// The file is built under a temporary name beside its target and takes the
// target's name only in install(), so a failed run never leaves a half-made
// store behind, nor destroys the one it was asked to replace. Without a
// schema the file is left empty for its maker to fill.
class StoreCreator {
public:
    StoreCreator(QString targetPath, QString schemaResource);
    ~StoreCreator();
    StoreCreator(const StoreCreator &) = delete;
    StoreCreator &operator=(const StoreCreator &) = delete;

    // True when something (even a dangling link) already sits at path.
    static bool occupied(const QString &path);
    // The directory a store goes in, made when missing: then the shop's group
    // alone may enter it, and what is made in it belongs to that group (2770).
    static bool makeDirectory(const QString &dir);

    bool create(QString *error);
    QSqlDatabase database() const { return m_db; }
    // The file being made, until install() names it.
    QString stagingPath() const { return m_staging; }
    // Gives the finished file the target's name; an occupied target is
    // replaced only when asked to.
    bool install(bool replace, QString *error) { return prepareInstall(replace, error) && completeInstall(error); }
    // The same in two halves, so that two stores can take their names one
    // right after the other: everything but the rename, then the rename.
    bool prepareInstall(bool replace, QString *error);
    bool completeInstall(QString *error);
    // Leaves the file being made where it is when this goes: something else
    // (a restore's mark) now answers for it.
    void keepStaging() { m_keepStaging = true; }

private:
    void close();
    bool runScript(const QString &script, QString *error);

    QString m_target;
    QString m_staging;
    QString m_schemaResource;
    QString m_connection;
    QSqlDatabase m_db;
    bool m_replace = false;
    bool m_installed = false;
    bool m_keepStaging = false;
};
