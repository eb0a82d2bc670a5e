#pragma once
#include <QString>
#include <functional>

class TDataLink;
class TDataSource;

/// Views name their data source; a window created before the data module keeps
/// the names open until the module is there, then every pending view binds.
namespace ViewBinding {
using Resolver = std::function<TDataSource *(const QString &name)>;
/// Binds the link to the named data source now, or once a resolver is installed.
void request(TDataLink *link, const QString &dataSourceName);
/// Forgets a pending request (the link is going away).
void cancel(TDataLink *link);
/// Installs the resolver and binds every pending request, oldest first.
void install(Resolver resolver);
/// Removes the resolver; later requests wait again.
void uninstall();
} // namespace ViewBinding
