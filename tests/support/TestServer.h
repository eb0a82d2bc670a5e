#pragma once
// The test server's roles. DREVALON_TEST_PG logs in as the role that owns the
// stores' tables (scripts/pg-throwaway.sh makes it and prints its text); the
// program's workstations log in as a role that may only read and write rows,
// named by DREVALON_TEST_PG_WORKSTATION (the scripts make "shop").
#include "platform/ConnectionText.h"

#include <QString>

namespace TestServer {

inline QString ownerText() { return qEnvironmentVariable("DREVALON_TEST_PG"); }

inline QString workstationRole() {
    const QString role = qEnvironmentVariable("DREVALON_TEST_PG_WORKSTATION");
    return role.isEmpty() ? QStringLiteral("shop") : role;
}

/// `text` logging in as `role` instead of the role it names.
inline QString as(const QString &text, const QString &role) {
    return ConnectionText::withWord(text, QStringLiteral("user"), role);
}

inline QString workstationText() { return as(ownerText(), workstationRole()); }

} // namespace TestServer
