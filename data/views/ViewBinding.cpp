#include "data/views/ViewBinding.h"
#include "data/datasets/TDataLink.h"

#include <QList>
#include <QPair>

namespace {
struct State {
    ViewBinding::Resolver resolver;
    QList<QPair<TDataLink *, QString>> pending;
};

State &state() {
    static State s;
    return s;
}
} // namespace

void ViewBinding::request(TDataLink *link, const QString &dataSourceName) {
    cancel(link);
    if (state().resolver) {
        link->setDataSource(state().resolver(dataSourceName));
        return;
    }
    state().pending.append({link, dataSourceName});
}

void ViewBinding::cancel(TDataLink *link) {
    auto &pending = state().pending;
    for (int i = pending.size() - 1; i >= 0; --i)
        if (pending[i].first == link)
            pending.removeAt(i);
}

void ViewBinding::install(Resolver resolver) {
    state().resolver = std::move(resolver);
    const auto pending = state().pending;
    state().pending.clear();
    for (const auto &request : pending)
        request.first->setDataSource(state().resolver(request.second));
}

void ViewBinding::uninstall() { state().resolver = nullptr; }
